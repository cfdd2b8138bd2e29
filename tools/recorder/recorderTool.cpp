// zemori-record's command-line flow: options, signals, the session, the
// written files, the comparison and the summary.
#include "tools/lib/bvhFile.h"
#include "tools/lib/mayaAsciiWriter.h"
#include "tools/lib/takeComparison.h"
#include "tools/recorder/headlessRecorder.h"
#include "tools/recorder/stageRecorder.h"

#include <csignal>
#include <cstdio>
#include <ostream>

namespace ztools {

namespace {

std::atomic<bool> gStop{false};

extern "C" void onStopSignal(int) {
    gStop.store(true);
}

int fail(std::ostream& err, const std::string& message) {
    err << "\nzemori-record: " << message << "\n";
    return 1;
}

}  // namespace

void showRecorderStatus(std::ostream& err, const RecorderStatus& s, const StreamFigures& f) {
    char line[240];
    std::snprintf(
        line, sizeof line,
        "\rdatagrams %lld | frames decoded %lld | rate %s | arriving %.1f/s, jitter "
        "%.2f ms | lost %lld | keys %zu | %.1f s ",
        static_cast<long long>(f.datagramsReceived), static_cast<long long>(f.framesDecoded),
        s.senderRate ? (std::to_string(s.senderRate) + " fps").c_str() : "?", f.arrivalRateHz,
        f.jitterMs, static_cast<long long>(f.framesLost), s.keys, s.elapsedSeconds);
    err << line;
    err.flush();
}

int runRecorder(const std::vector<std::string>& args, const std::string& defaultPrefix,
                std::ostream& out, std::ostream& err) {
    RecorderOptions options;
    std::string error;
    switch (parseRecorderOptions(args, defaultPrefix, options, error)) {
        case RecorderParse::kHelp:
            out << recorderUsage();
            return 0;
        case RecorderParse::kError:
            err << "zemori-record: " << error << "\n" << recorderUsage();
            return 2;
        case RecorderParse::kRun:
            break;
    }
    // Read the source first: a bad comparison file should not cost a take.
    BvhMotion source;
    if (!options.comparePath.empty() && !readBvhFile(options.comparePath, source, error))
        return fail(err, error);

    gStop.store(false);
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    struct RestoreSignals {
        ~RestoreSignals() {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
        }
    } restore;

    HeadlessRecorder recorder(options);
    if (options.triggerPort != 0) {
        if (!startForStage(recorder, error)) return fail(err, error);
        return recordFromStage(recorder, options, options.comparePath.empty() ? nullptr : &source,
                               out, err, gStop);
    }
    if (!recorder.start(error)) return fail(err, error);
    err << "zemori-record: listening on port " << options.port << "\n";
    if (!recorder.waitForSkeleton(gStop, error)) return fail(err, error);
    if (!recorder.characterize(gStop, error)) return fail(err, error);
    err << "zemori-record: skeleton bound, sender at " << recorder.senderRate()
        << " fps, recording\n";
    const auto onStatus = [&](const RecorderStatus& s) {
        if (options.progress) showRecorderStatus(err, s, recorder.streamFigures());
    };
    if (!recorder.record(gStop, onStatus, error)) return fail(err, error);
    if (options.progress) err << "\n";
    RecordedTake take;
    if (!recorder.finish(take, error)) return fail(err, error);

    if (!options.maPath.empty() &&
        !writeMayaAsciiFile(options.maPath, take.curves, take.fps, error))
        return fail(err, error);
    if (!options.bvhPath.empty()) {
        BvhMotion bvh;
        if (!takeToBvh(take, bvh, error) || !writeBvhFile(options.bvhPath, bvh, error))
            return fail(err, error);
    }

    const TakeFigures& report = recorder.takeFigures();
    const std::string jsonPath =
        takeJsonPathBeside(!options.maPath.empty() ? options.maPath : options.bvhPath);
    if (!writeTakeJson(jsonPath, report, error)) return fail(err, error);

    const StreamFigures figures = recorder.streamFigures();
    const mayahost::PlaybackSummary& playback = recorder.playback();
    const std::size_t keys = take.curves.empty() ? 0 : take.curves[0].keys.size();
    out << "datagrams received: " << figures.datagramsReceived << "\n"
        << "frames decoded: " << figures.framesDecoded << "\n"
        << "frames lost in the stream: " << figures.framesLost << "\n"
        << "frames out of order or repeated: " << figures.framesOutOfOrder << "\n"
        << "datagrams refused: " << figures.datagramsRefused << "\n"
        << "last frame number: " << figures.lastFrameNumber << "\n"
        << "frames journalled: " << figures.framesJournalled
        << ", fell off the journal before the take read them: " << figures.framesFellOffJournal
        << "\n"
        << "detected rate: " << take.senderFps << " fps\n"
        << "scene: " << take.fps << " fps in real time, " << playback.framesShown
        << " frames shown, " << playback.framesSkipped << " skipped\n"
        << "keys per curve: " << keys << " (162 curves, " << keys * 162 << " keys, "
        << (options.keyEveryFrame ? "every captured frame" : "every scene frame") << ")\n";
    out << "take report: " << report.framesRecorded << " frames recorded, " << report.gapsFilled
        << " gaps filled (longest " << report.longestGapFilled << " frames), "
        << report.gapsUnfilled << " gaps left unfilled, " << report.framesLost
        << " frames lost in the stream during the take\n";
    out << "wrote " << jsonPath << "\n";
    if (!options.maPath.empty()) out << "wrote " << options.maPath << "\n";
    if (!options.bvhPath.empty()) out << "wrote " << options.bvhPath << "\n";

    if (!options.comparePath.empty()) {
        TakeComparison c;
        // Every key against the source: where the stream lost frames, the
        // keys across the gap show how far the filling is from the source.
        if (!compareTake(source, options.unitCm, take, {}, c, error)) return fail(err, error);
        char text[600];
        std::snprintf(text, sizeof text,
                      "compared with %s: %d keys\n"
                      "largest root position difference: %.6f cm\n"
                      "largest joint rotation difference: %.6f degrees\n"
                      "largest joint position difference (hips, knees, ankles, head, wrists): "
                      "%.6f cm\n",
                      options.comparePath.c_str(), c.framesCompared, c.maxRootCm, c.maxRotationDeg,
                      c.maxPositionCm);
        out << text;
    }
    return 0;
}

}  // namespace ztools
