// zemori-record --trigger-port: waits for the stage, and writes each take
// it starts and stops under the name it gave, never over another's files.
#include "tools/recorder/stageRecorder.h"

#include "tools/lib/mayaAsciiWriter.h"
#include "tools/lib/takeComparison.h"
#include "tools/lib/takeFileNames.h"

#include <cstdio>
#include <filesystem>
#include <ostream>

namespace ztools {

namespace {

// The take's three files; false with a message when one cannot be written.
bool writeTakeFiles(const std::string& base, const RecordedTake& take, const TakeFigures& figures,
                    std::string& error) {
    BvhMotion bvh;
    return writeMayaAsciiFile(base + ".ma", take.curves, take.fps, error) &&
           takeToBvh(take, bvh, error) && writeBvhFile(base + ".bvh", bvh, error) &&
           writeTakeJson(base + ".json", figures, error);
}

void showComparison(std::ostream& out, int number, const BvhMotion& source, double unitCm,
                    const RecordedTake& take) {
    TakeComparison c;
    std::string error;
    if (!compareTake(source, unitCm, take, {}, c, error)) {
        out << "take " << number << ": no comparison: " << error << "\n";
        return;
    }
    char line[300];
    std::snprintf(line, sizeof line,
                  "take %d compared with the source: %d keys, largest root position difference "
                  "%.6f cm, joint rotation %.6f degrees, joint position %.6f cm\n",
                  number, c.framesCompared, c.maxRootCm, c.maxRotationDeg, c.maxPositionCm);
    out << line;
}

}  // namespace

bool startForStage(HeadlessRecorder& recorder, std::string& error) {
    return recorder.start(error) && recorder.followStage(error);
}

int recordFromStage(HeadlessRecorder& recorder, const RecorderOptions& options,
                    const BvhMotion* source, std::ostream& out, std::ostream& err,
                    const std::atomic<bool>& stop) {
    std::string error;
    const auto fail = [&](const std::string& message) {
        err << "\nzemori-record: " << message << "\n";
        return 1;
    };
    if (!options.outDir.empty()) {
        std::error_code code;
        std::filesystem::create_directories(options.outDir, code);
        if (code) return fail("cannot make the folder " + options.outDir + ": " + code.message());
    }
    err << "zemori-record: listening on port " << options.port << ", the stage on port "
        << options.triggerPort << "\n";
    const auto stillSilent = [&](const std::string& advice) {
        err << "zemori-record: " << advice << "; still waiting (Ctrl-C ends)\n";
    };
    if (!recorder.waitForSkeleton(stop, error, stillSilent)) return fail(error);
    if (!recorder.bindForStage(error)) return fail(error);
    err << "zemori-record: skeleton bound, waiting for the stage\n";
    const auto onStatus = [&](const RecorderStatus& s) {
        if (options.progress) showRecorderStatus(err, s, recorder.streamFigures());
    };
    int written = 0;
    int ended = 0;  // takes the stage began, written or not
    const char* why = "the stream ended";
    while (options.takes == 0 || written < options.takes) {
        const HeadlessRecorder::StageWait wait = recorder.waitForStageStart(stop);
        if (wait != HeadlessRecorder::StageWait::kStarted) {
            if (wait == HeadlessRecorder::StageWait::kStopped) why = "interrupted";
            break;
        }
        ++ended;
        err << "zemori-record: the stage started take " << ended << "\n";
        recorder.recordStageTake(stop, onStatus);
        if (options.progress) err << "\n";
        RecordedTake take;
        if (!recorder.finishStageTake(take, error)) {
            err << "zemori-record: take " << ended << ": " << error << "\n";
        } else {
            const TakeFigures& figures = recorder.takeFigures();
            const std::string base = unusedTakePath(
                options.outDir, safeTakeName(figures.stage.name, ended), {".ma", ".bvh", ".json"});
            if (!writeTakeFiles(base, take, figures, error)) return fail(error);
            ++written;
            out << "take " << ended << " \"" << figures.stage.name << "\" ("
                << (figures.stage.result.empty() ? "no result" : figures.stage.result)
                << "): " << figures.framesRecorded << " frames recorded, timecode "
                << (figures.startTimecode.empty()
                        ? "none"
                        : figures.startTimecode + " to " + figures.endTimecode)
                << "\nwrote " << base << ".ma\nwrote " << base << ".bvh\nwrote " << base
                << ".json\n";
            if (source) showComparison(out, ended, *source, options.unitCm, take);
        }
        if (stop.load()) {
            why = "interrupted";
            break;
        }
        if (options.takes > 0 && written >= options.takes) why = "all takes written";
    }
    const StreamFigures figures = recorder.streamFigures();
    out << "takes written: " << written << " (" << why << ")\n"
        << "datagrams received: " << figures.datagramsReceived << "\n"
        << "frames decoded: " << figures.framesDecoded << "\n"
        << "frames lost in the stream: " << figures.framesLost << "\n";
    return 0;
}

}  // namespace ztools
