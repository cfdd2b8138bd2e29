// End to end: the bundled take streamed over UDP on 127.0.0.1, in real
// time, into the installed plug-in running in the embedded host, recorded
// and read back; the take is checked against the source frame by frame.
#include "tools/lib/captureSender.h"
#include "tools/lib/mayaAsciiWriter.h"
#include "tools/lib/takeComparison.h"
#include "tools/recorder/headlessRecorder.h"

#include "tests/e2e/e2eSupport.h"
#include "tests/tools/mayaAsciiReader.h"

#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ztools {
namespace {

struct StreamRun {
    RecordedTake take;
    SendStats sent;
    SendStats resent;  // by the restarted sender
    int senderRate = 0;
    double nodeFrameRate = 0.0;
    StreamFigures figures;    // the node's statistics after the take
    double liveRateHz = 0.0;  // the arrival rate read while recording
    std::string takeJson;     // as the recorder writes it
    mayahost::PlaybackSummary playback;
};

struct RunOptions {
    int fps = 50;
    double seconds = 2.5;
    int dropEvery = 0;
    bool flipSigns = false;
    double recordSeconds = 0.0;
    double restartSeconds = 0.0;
    bool throughUi = false;
    bool keyEveryFrame = false;
    double stallMs = 0.0;
    double stallEverySeconds = 0.0;
};

// Streams `seconds` of the take at `fps` while the scene plays in real time
// at 30 fps and records it; with `restartSeconds` the sender then starts
// again from frame 0 and streams as long again.
StreamRun streamAndRecord(const RunOptions& o) {
    StreamRun run;
    RecorderOptions options;
    options.ui = o.throughUi;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = freePort();
    options.progress = false;
    options.durationSeconds = o.recordSeconds;
    options.keyEveryFrame = o.keyEveryFrame;
    options.stallMs = o.stallMs;
    options.stallEverySeconds = o.stallEverySeconds;
    HeadlessRecorder recorder(options);
    std::string error;
    if (!recorder.start(error)) {
        ADD_FAILURE() << error;
        return run;
    }

    SenderOptions send;
    send.port = std::uint16_t(options.port);
    send.fps = o.fps;
    send.dropEvery = o.dropEvery;
    send.flipSigns = o.flipSigns;
    TakeSender sender(send, o.seconds, o.restartSeconds);
    std::atomic<bool> stop{false};
    const auto onStatus = [&](const RecorderStatus&) {
        const double rate = recorder.streamFigures().arrivalRateHz;
        if (rate > 0.0) run.liveRateHz = rate;
    };
    const bool ok = recorder.waitForSkeleton(stop, error) && recorder.characterize(stop, error) &&
                    recorder.record(stop, onStatus, error) && recorder.finish(run.take, error);
    sender.join();
    run.sent = sender.stats();
    run.resent = sender.resentStats();
    EXPECT_TRUE(ok) << error;
    run.figures = recorder.streamFigures();
    // A folder per test: CTest runs the cases of this program side by side.
    const std::string folder = ::testing::TempDir() + "e2e-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(folder);
    const std::string json = folder + "/take.json";
    EXPECT_EQ(takeJsonPathBeside(folder + "/take.ma"), json);
    EXPECT_TRUE(writeTakeJson(json, recorder.takeFigures(), error)) << error;
    std::ifstream file(json);
    run.takeJson.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    run.senderRate = recorder.senderRate();
    run.nodeFrameRate = recorder.nodeFrameRate();
    run.playback = recorder.playback();
    return run;
}

// The number under `key` in the recorder's take.json; -1 when absent.
long long jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return -1;
    return std::stoll(json.substr(at + key.size() + 4));
}

// The sender frame a key lies on; -1 when it lies between two.
int wholeSenderFrame(const RecordedTake& take, double time) {
    const double frame = take.senderFrameAt(time);
    return std::fabs(frame - std::round(frame)) < 1e-6 ? int(std::lround(frame)) : -1;
}

// The frames the sender sent between two frame numbers (every one, less
// every `dropEvery`th).
std::vector<int> sentBetween(int first, int last, int dropEvery) {
    std::vector<int> frames;
    for (int n = first; n <= last; ++n) {
        if (dropEvery == 0 || (n + 1) % dropEvery != 0) frames.push_back(n);
    }
    return frames;
}

// Nothing lost between the socket and the journal, and the take read all it needed.
void expectNothingLostToTheJournal(const StreamRun& run) {
    EXPECT_EQ(run.figures.framesJournalled, run.figures.framesDecoded);
    EXPECT_EQ(run.figures.framesFellOffJournal, 0);
    EXPECT_EQ(run.figures.framesLost, 0);
}

// Keyed on every whole scene frame: the take holds a key on every frame it
// spans, each the capture at that time, matching the source.
void expectEveryWholeFrame(const StreamRun& run, int fps) {
    ASSERT_EQ(run.take.curves.size(), 162u);
    EXPECT_EQ(run.senderRate, fps);
    EXPECT_EQ(run.take.fps, 30);
    EXPECT_EQ(run.nodeFrameRate, fps == 30 ? 60.0 : fps == 50 ? 80.0 : fps == 60 ? 90.0 : 150.0);
    const std::vector<double> times = takeKeyTimes(run.take);
    ASSERT_GT(times.size(), 30u);
    for (std::size_t i = 0; i < times.size(); ++i) {
        ASSERT_EQ(times[i], times.front() + double(i)) << "a whole frame without a key";
    }
    for (const TakeCurve& c : run.take.curves) EXPECT_EQ(c.keys.size(), times.size()) << c.name;
    // The take spans from its first frame to its last: no whole frame of it
    // is missing at either end.
    EXPECT_LT(times.front() - run.take.captureTime, 1.0);

    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(source(), kCmuUnitCm, run.take, {}, c, error)) << error;
    EXPECT_EQ(c.framesCompared, int(times.size()));
    EXPECT_LT(c.maxPositionCm, 0.01);
    EXPECT_LT(c.maxRootCm, 0.01);
    EXPECT_LT(c.maxRotationDeg, 0.01);
    expectNothingLostToTheJournal(run);
}

class StreamRecord : public ::testing::TestWithParam<int> {};

TEST_P(StreamRecord, RecordedTakeReproducesTheSourceOnEverySceneFrame) {
    RunOptions o;
    o.fps = GetParam();
    expectEveryWholeFrame(streamAndRecord(o), GetParam());
}

// zemori-record --ui: the shelf button, the panel's port field, Live, Bind
// and Recording, as a user works them.
TEST(StreamRecord, ThroughTheShelfAndPanelTheTakeIsTheSame) {
    RunOptions o;
    o.throughUi = true;
    expectEveryWholeFrame(streamAndRecord(o), 50);
}

INSTANTIATE_TEST_SUITE_P(Rates, StreamRecord, ::testing::Values(30, 50, 60, 120),
                         [](const auto& info) { return std::to_string(info.param) + "fps"; });

// A busy scene: 120 frames a second into a 30 fps scene playing in real time
// whose main thread stalls 100 ms every 0.4 s. Playback skips frames; the
// take does not.
TEST(StalledPlayback, EveryWholeFrameIsKeyedFromTheCapture) {
    RunOptions o;
    o.fps = 120;
    o.stallMs = 100.0;
    o.stallEverySeconds = 0.4;
    const StreamRun run = streamAndRecord(o);
    EXPECT_GT(run.playback.framesSkipped, 0);
    expectEveryWholeFrame(run, 120);
}

TEST(StalledPlayback, EveryCapturedFrameIsKeyedOnceAtItsOwnTime) {
    RunOptions o;
    o.fps = 120;
    o.stallMs = 100.0;
    o.stallEverySeconds = 0.4;
    o.keyEveryFrame = true;
    const StreamRun run = streamAndRecord(o);
    EXPECT_GT(run.playback.framesSkipped, 0);
    ASSERT_EQ(run.take.curves.size(), 162u);
    const std::vector<double> times = takeKeyTimes(run.take);
    ASSERT_GT(times.size(), 120u);
    // Every key on a frame the sender sent, each frame once, none missing
    // from the first to the last, which is the last one sent.
    std::vector<int> frames;
    for (double time : times) {
        const int frame = wholeSenderFrame(run.take, time);
        ASSERT_GE(frame, 0) << "a key between captured frames at " << time;
        frames.push_back(frame);
    }
    EXPECT_EQ(frames, sentBetween(frames.front(), run.sent.lastFrameNumber, 0));
    // A quarter of a scene frame apart, on the capture's clock.
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_NEAR(times[i] - times[i - 1], 0.25, 1e-9);
    }
    EXPECT_EQ(jsonNumber(run.takeJson, "framesRecorded"), (long long)frames.size());
    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(source(), kCmuUnitCm, run.take, {}, c, error)) << error;
    EXPECT_LT(c.maxPositionCm, 0.01);
    expectNothingLostToTheJournal(run);
}

// Every fifth frame dropped: keys that need a dropped frame are filled
// between the frames around it, on the arc; the others match the source.
// A sender may send q or -q for the same rotation: the filling must still
// take the short arc.
TEST(StreamRecordWithLoss, KeysAcrossDroppedFramesLieOnTheArcBetweenTheirNeighbours) {
    for (const bool flipSigns : {false, true}) {
        SCOPED_TRACE(flipSigns ? "signs flipped" : "signs kept");
        RunOptions o;
        o.dropEvery = 5;
        o.flipSigns = flipSigns;
        const StreamRun run = streamAndRecord(o);
        ASSERT_EQ(run.take.curves.size(), 162u);
        const std::vector<double> times = takeKeyTimes(run.take);
        ASSERT_GT(times.size(), 30u);
        const int first = int(std::floor(run.take.senderFrameAt(times.front())));
        const std::vector<int> received = sentBetween(first, run.sent.lastFrameNumber, 5);
        TakeComparison c;
        std::string error;
        ASSERT_TRUE(compareTake(source(), kCmuUnitCm, run.take, received, c, error)) << error;
        EXPECT_GT(c.interpolatedCompared, 0);
        EXPECT_GT(c.framesCompared, 0);
        EXPECT_LT(c.maxArcDeviationDeg, 0.01);
        EXPECT_LT(c.maxLineDeviationCm, 0.01);
        EXPECT_LT(c.maxPositionCm, 0.01);   // keys of received frames still match
        EXPECT_LT(c.maxRotationDeg, 0.01);  // -q is the same rotation

        // The written scene holds the same keys, rotations on angle curves.
        const testing::MaScene scene =
            testing::readMayaAscii(writeMayaAscii(run.take.curves, run.take.fps, "take.ma"));
        ASSERT_EQ(scene.error, "");
        EXPECT_EQ(scene.timeUnit, "ntsc");
        ASSERT_EQ(scene.curves.size(), 162u);
        EXPECT_EQ(scene.curves[0].name, "zemoriCharacter0_Skeleton_root_tx");
        EXPECT_EQ(scene.curves[0].keys, run.take.curves[0].keys);
        EXPECT_EQ(scene.curves[3].type, "animCurveTA");
    }
}

// Every fifth frame dropped: the node's statistics and the take report count
// what the sender dropped, within what each of them saw.
TEST(StreamRecordWithLoss, FramesLostAreWhatTheSenderDropped) {
    RunOptions o;
    o.dropEvery = 5;
    o.keyEveryFrame = true;
    const StreamRun run = streamAndRecord(o);
    const auto dropped = [](int n) { return (n + 1) % 5 == 0; };
    ASSERT_GT(run.sent.framesDropped, 0);
    const std::vector<double> times = takeKeyTimes(run.take);
    ASSERT_FALSE(times.empty());
    // Every key lies on a frame that was sent: a dropped frame is not made
    // up (at 50 fps into 30 no gap reaches a whole scene frame to fill).
    std::vector<int> keyed;
    for (double time : times) keyed.push_back(wholeSenderFrame(run.take, time));
    EXPECT_EQ(keyed, sentBetween(keyed.front(), run.sent.lastFrameNumber, 5));

    const int last = run.sent.lastFrameNumber - (dropped(run.sent.lastFrameNumber) ? 1 : 0);
    EXPECT_EQ(run.figures.lastFrameNumber, last);
    EXPECT_EQ(run.figures.framesOutOfOrder, 0);
    EXPECT_EQ(run.figures.datagramsRefused, 0);
    EXPECT_EQ(run.figures.datagramsReceived, run.sent.framesSent + run.sent.definitionsSent);
    EXPECT_EQ(run.figures.framesJournalled, run.figures.framesDecoded);
    // 40 frames (50, less every fifth) and one definition a second.
    EXPECT_NEAR(run.liveRateHz, 41.0, 6.0);

    // A dropped frame counts as lost when the frame after it is decoded: so
    // the one just before the take's first frame counts too.
    long long inTake = 0;
    for (int n = keyed.front() - 1; n <= keyed.back(); ++n) inTake += dropped(n);
    ASSERT_GT(inTake, 0);
    EXPECT_EQ(jsonNumber(run.takeJson, "framesRecorded"), (long long)keyed.size());
    EXPECT_EQ(jsonNumber(run.takeJson, "gapsUnfilled"), 0);
    EXPECT_EQ(jsonNumber(run.takeJson, "framesLost"), inTake);
}

// A sender restarted mid-take sends frame numbers the node has seen: each
// counts as out of order or repeated, none as lost, and the take goes on
// after the frames before, never folding back onto their keys.
TEST(StreamRecord, ARestartedSenderCountsItsFramesAsOutOfOrderAndTheTakeGoesOn) {
    RunOptions o;
    o.seconds = 2.0;
    o.restartSeconds = 1.0;
    o.keyEveryFrame = true;
    const StreamRun run = streamAndRecord(o);
    ASSERT_GT(run.resent.framesSent, 0);
    ASSERT_LT(run.resent.lastFrameNumber, run.sent.lastFrameNumber);
    EXPECT_EQ(run.figures.framesOutOfOrder, run.resent.framesSent);
    EXPECT_EQ(run.figures.framesLost, 0);
    EXPECT_EQ(run.figures.lastFrameNumber, run.resent.lastFrameNumber);
    EXPECT_EQ(jsonNumber(run.takeJson, "framesLost"), 0);
    const std::vector<double> times = takeKeyTimes(run.take);
    const long long recorded = jsonNumber(run.takeJson, "framesRecorded");
    EXPECT_EQ((long long)run.take.curves[0].keys.size(), recorded);
    EXPECT_GT(recorded, run.resent.framesSent);
    EXPECT_EQ(times.size(), std::size_t(recorded));  // every frame a key of its own
}

TEST(StreamRecord, StopsAfterTheRequestedDuration) {
    RunOptions o;
    o.fps = 30;
    o.recordSeconds = 1.0;
    o.keyEveryFrame = true;
    const StreamRun run = streamAndRecord(o);
    ASSERT_EQ(run.take.curves.size(), 162u);
    // About a second of frames, while the sender went on for longer.
    const std::vector<double> times = takeKeyTimes(run.take);
    ASSERT_FALSE(times.empty());
    EXPECT_GE(run.playback.wallSeconds, 1.0);
    EXPECT_GT(run.sent.lastFrameNumber, wholeSenderFrame(run.take, times.back()));
}

TEST(RecorderFailures, PortInUseAndSilenceAreReported) {
    platform::socketStartup();
    const platform::SocketHandle holder = platform::openUdpSocket();
    ASSERT_EQ(platform::bindAnyAddress(holder, 0), 0);
    RecorderOptions options;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = platform::boundPort(holder);
    options.noDataSeconds = 0.5;
    std::string error;
    {
        HeadlessRecorder recorder(options);
        EXPECT_FALSE(recorder.start(error));
        EXPECT_NE(error.find("is in use"), std::string::npos) << error;
    }
    platform::closeSocket(holder);
    platform::socketCleanup();
    {
        options.port = freePort();
        HeadlessRecorder recorder(options);
        ASSERT_TRUE(recorder.start(error)) << error;
        std::atomic<bool> stop{false};
        EXPECT_FALSE(recorder.waitForSkeleton(stop, error));
        EXPECT_NE(error.find("no datagram on port " + std::to_string(options.port)),
                  std::string::npos)
            << error;
        // Waiting for the stage, the same advice is told once and the wait
        // goes on until it is stopped.
        std::atomic<int> told{0};
        std::thread stopper([&] {
            while (told.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            stop = true;
        });
        const bool bound = recorder.waitForSkeleton(stop, error, [&](const std::string& advice) {
            EXPECT_NE(advice.find("no datagram on port"), std::string::npos) << advice;
            ++told;
        });
        stopper.join();
        EXPECT_FALSE(bound);
        EXPECT_EQ(told.load(), 1);
        EXPECT_EQ(error, "interrupted before a skeleton definition arrived");
    }
    options.modulePrefix = "/nonexistent";
    HeadlessRecorder recorder(options);
    EXPECT_FALSE(recorder.start(error));
    EXPECT_NE(error.find("no plug-in at /nonexistent"), std::string::npos) << error;
}

TEST(RecorderFailures, TheToolExitsWithAClearMessage) {
    std::ostringstream out, err;
    EXPECT_EQ(runRecorder({"--port", "0"}, ZEMORI_E2E_PREFIX, out, err), 2);
    EXPECT_NE(err.str().find("--port takes a number from 1 to 65535, not '0'"), std::string::npos);
    err.str("");
    EXPECT_EQ(runRecorder({"--module", "/nonexistent", "--quiet"}, ZEMORI_E2E_PREFIX, out, err), 1);
    EXPECT_NE(err.str().find("no plug-in at /nonexistent/ZemoriMayaPlugin/plug-ins/"),
              std::string::npos)
        << err.str();
    err.str("");
    EXPECT_EQ(runRecorder({"--compare", "/nonexistent.bvh"}, ZEMORI_E2E_PREFIX, out, err), 1);
    EXPECT_NE(err.str().find("cannot open /nonexistent.bvh"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");  // no summary for a run that failed
}

}  // namespace
}  // namespace ztools
