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

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ztools {
namespace {

struct StreamRun {
    RecordedTake take;
    std::vector<int> received;
    LedgerCounts counts;
    SendStats sent;
    SendStats resent;  // by the restarted sender
    int senderRate = 0;
    double nodeFrameRate = 0.0;
    StreamFigures figures;    // the node's statistics after the take
    double liveRateHz = 0.0;  // the arrival rate read while recording
    std::string takeJson;     // as the recorder writes it
};

// Streams `seconds` of the take at `fps` while recording it; with
// `restartSeconds` the sender then starts again from frame 0 and streams as
// long again.
StreamRun streamAndRecord(int fps, double seconds, int dropEvery, bool flipSigns = false,
                          double recordSeconds = 0.0, double restartSeconds = 0.0,
                          bool throughUi = false) {
    StreamRun run;
    RecorderOptions options;
    options.ui = throughUi;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = freePort();
    options.progress = false;
    options.durationSeconds = recordSeconds;
    HeadlessRecorder recorder(options);
    std::string error;
    if (!recorder.start(error)) {
        ADD_FAILURE() << error;
        return run;
    }

    SenderOptions send;
    send.port = std::uint16_t(options.port);
    send.fps = fps;
    send.dropEvery = dropEvery;
    send.flipSigns = flipSigns;
    TakeSender sender(send, seconds, restartSeconds);
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
    run.received = recorder.receivedFrames();
    run.counts = recorder.counts();
    run.senderRate = recorder.senderRate();
    run.nodeFrameRate = recorder.nodeFrameRate();
    return run;
}

// The number under `key` in the recorder's take.json; -1 when absent.
long long jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return -1;
    return std::stoll(json.substr(at + key.size() + 4));
}

class StreamRecord : public ::testing::TestWithParam<int> {};

void expectFrameByFrame(const StreamRun& run, int fps) {
    ASSERT_EQ(run.take.curves.size(), 162u);
    EXPECT_EQ(run.senderRate, fps);
    EXPECT_EQ(run.take.fps, fps);
    EXPECT_EQ(run.nodeFrameRate, fps == 30 ? 60.0 : fps == 50 ? 80.0 : fps == 60 ? 90.0 : 150.0);

    // Every frame from the first recorded one to the last sent one, keyed
    // at its own frame number, nothing synthesized.
    ASSERT_GT(run.received.size(), std::size_t(fps));
    EXPECT_EQ(run.received.back(), run.sent.lastFrameNumber);
    for (std::size_t i = 1; i < run.received.size(); ++i)
        ASSERT_EQ(run.received[i], run.received[i - 1] + 1)
            << "frame lost on loopback, or not placed (" << run.counts.unplaced << ")";
    const std::vector<double> times = takeKeyTimes(run.take);
    ASSERT_EQ(times.size(), run.received.size());
    EXPECT_EQ(times.front(), run.received.front());
    for (const TakeCurve& c : run.take.curves)
        EXPECT_EQ(c.keys.size(), run.received.size()) << c.name;

    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(source(), kCmuUnitCm, run.take, run.received, c, error)) << error;
    EXPECT_EQ(c.framesCompared, int(run.received.size()));
    EXPECT_LT(c.maxPositionCm, 0.01);
    EXPECT_LT(c.maxRootCm, 0.01);
    EXPECT_LT(c.maxRotationDeg, 0.01);
}

TEST_P(StreamRecord, RecordedTakeReproducesTheSourceFrameByFrame) {
    expectFrameByFrame(streamAndRecord(GetParam(), 2.5, 0), GetParam());
}

// zemori-record --ui: the shelf button, the panel's port field, Live, Bind
// and Recording, as a user works them.
TEST(StreamRecord, ThroughTheShelfAndPanelTheTakeIsTheSame) {
    expectFrameByFrame(streamAndRecord(50, 2.5, 0, false, 0.0, 0.0, true), 50);
}

INSTANTIATE_TEST_SUITE_P(Rates, StreamRecord, ::testing::Values(30, 50, 60, 120),
                         [](const auto& info) { return std::to_string(info.param) + "fps"; });

TEST(StreamRecordWithLoss, KeysForDroppedFramesLieOnTheArcBetweenTheirNeighbours) {
    const StreamRun run = streamAndRecord(50, 2.5, 5);
    ASSERT_EQ(run.take.curves.size(), 162u);
    ASSERT_FALSE(run.received.empty());
    for (int frame : run.received) EXPECT_NE((frame + 1) % 5, 0) << frame;
    EXPECT_GT(run.counts.missing, 0);
    // Gaps of one frame are filled: the keys run without a hole.
    const std::vector<double> times = takeKeyTimes(run.take);
    ASSERT_EQ(times.size(), std::size_t(run.received.back() - run.received.front() + 1));
    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(source(), kCmuUnitCm, run.take, run.received, c, error)) << error;
    EXPECT_EQ(c.interpolatedCompared, int(times.size() - run.received.size()));
    EXPECT_GT(c.interpolatedCompared, 0);
    EXPECT_LT(c.maxArcDeviationDeg, 0.01);
    EXPECT_LT(c.maxLineDeviationCm, 0.01);
    EXPECT_LT(c.maxPositionCm, 0.01);  // the received frames still match

    // The written scene holds the same keys.
    const testing::MaScene scene =
        testing::readMayaAscii(writeMayaAscii(run.take.curves, run.take.fps, "take.ma"));
    ASSERT_EQ(scene.error, "");
    EXPECT_EQ(scene.timeUnit, "palf");
    ASSERT_EQ(scene.curves.size(), 162u);
    EXPECT_EQ(scene.curves[0].name, "zemoriCharacter0_Skeleton_root_tx");
    EXPECT_EQ(scene.curves[0].keys, run.take.curves[0].keys);
}

// A sender may send q or -q for the same rotation: the gap filling must
// still put its keys on the short arc between the received frames.
TEST(StreamRecordWithLoss, KeysStayOnTheArcWhateverTheQuaternionSigns) {
    const StreamRun run = streamAndRecord(50, 2.5, 5, true);
    ASSERT_EQ(run.take.curves.size(), 162u);
    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(source(), kCmuUnitCm, run.take, run.received, c, error)) << error;
    EXPECT_GT(c.interpolatedCompared, 0);
    EXPECT_LT(c.maxRotationDeg, 0.01);  // received frames: -q is the same rotation
    EXPECT_LT(c.maxArcDeviationDeg, 0.01);
}

// Every fifth frame dropped: the node's statistics and the take report count
// what the sender dropped, within what each of them saw.
TEST(StreamRecordWithLoss, FramesLostAndGapsFilledAreWhatTheSenderDropped) {
    const StreamRun run = streamAndRecord(50, 2.5, 5);
    const auto dropped = [](int n) { return (n + 1) % 5 == 0; };
    ASSERT_GT(run.sent.framesDropped, 0);
    ASSERT_FALSE(run.received.empty());
    // The node decodes from its first frame after binding to the last sent.
    const int first = run.counts.firstFrame;
    int last = run.sent.lastFrameNumber;
    int droppedOutside = 0;
    for (int n = 0; n <= first; ++n) droppedOutside += dropped(n);
    for (; dropped(last); --last) ++droppedOutside;
    const long long lost = run.sent.framesDropped - droppedOutside;
    EXPECT_EQ(run.figures.framesLost, lost);
    EXPECT_EQ(run.figures.lastFrameNumber, last);
    EXPECT_EQ(run.figures.framesDecoded, last - first + 1 - lost);
    EXPECT_EQ(run.figures.framesOutOfOrder, 0);
    EXPECT_EQ(run.figures.datagramsRefused, 0);
    EXPECT_EQ(run.figures.datagramsReceived, run.sent.framesSent + run.sent.definitionsSent);
    // 40 frames (50, less every fifth) and one definition a second.
    EXPECT_NEAR(run.liveRateHz, 41.0, 6.0);
    EXPECT_EQ(run.counts.unplaced, 0);

    // The take runs from the first recorded frame to the last: each frame
    // dropped inside it is a gap of one, filled, and a frame lost.
    long long inTake = 0;
    for (int n = run.received.front(); n <= run.received.back(); ++n) inTake += dropped(n);
    ASSERT_GT(inTake, 0);
    EXPECT_EQ(jsonNumber(run.takeJson, "framesRecorded"), (long long)run.received.size());
    EXPECT_EQ(jsonNumber(run.takeJson, "gapsFilled"), inTake);
    EXPECT_EQ(jsonNumber(run.takeJson, "longestGapFilled"), 1);
    EXPECT_EQ(jsonNumber(run.takeJson, "gapsUnfilled"), 0);
    EXPECT_EQ(jsonNumber(run.takeJson, "framesLost"), inTake);
}

// A sender restarted mid-take sends frame numbers the node has seen: each
// counts as out of order or repeated, and none as lost.
TEST(StreamRecord, ARestartedSenderCountsItsFramesAsOutOfOrder) {
    const StreamRun run = streamAndRecord(50, 2.0, 0, false, 0.0, 1.0);
    ASSERT_GT(run.resent.framesSent, 0);
    ASSERT_LT(run.resent.lastFrameNumber, run.sent.lastFrameNumber);
    EXPECT_EQ(run.figures.framesOutOfOrder, run.resent.framesSent);
    EXPECT_EQ(run.figures.framesLost, 0);
    EXPECT_EQ(run.figures.lastFrameNumber, run.resent.lastFrameNumber);
    EXPECT_EQ(run.figures.framesDecoded,
              run.sent.lastFrameNumber - run.counts.firstFrame + 1 + run.resent.framesSent);
    EXPECT_EQ(jsonNumber(run.takeJson, "framesLost"), 0);
}

TEST(StreamRecord, StopsAfterTheRequestedDuration) {
    const StreamRun run = streamAndRecord(30, 2.5, 0, false, 1.0);
    ASSERT_EQ(run.take.curves.size(), 162u);
    // One second of frames from the first recorded one, while the sender
    // went on for longer.
    ASSERT_EQ(run.received.size(), 30u);
    EXPECT_EQ(run.received.back() - run.received.front(), 29);
    EXPECT_GT(run.sent.lastFrameNumber, run.received.back());
    EXPECT_EQ(run.take.curves[0].keys.size(), 30u);
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
