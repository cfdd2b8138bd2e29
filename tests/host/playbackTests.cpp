// Real-time playback: scene time on the wall clock, frames skipped after a
// stall, idle work between frames, looping.
// timeTests.cpp holds the plug-in version text.
#define MNoVersionString
#include "hostFixture.h"

#include <maya/MAnimControl.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MPxNode.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> gComputes{0};

// What ran on the main thread, in order, from the info lines: 'c' a compute
// (value: the time), 's' a frame shown (its time), 'm' an idle mark (its
// number).
std::vector<std::pair<char, double>> events() {
    std::vector<std::pair<char, double>> out;
    for (const std::string& line : mayahost::infoLines())
        out.emplace_back(line[0], std::stod(line.substr(1)));
    return out;
}
void note(char kind, double value) {
    MGlobal::displayInfo(MString((kind + std::to_string(value)).c_str()));
}

class Ticker : public MPxNode {
public:
    static MObject aTime, aOut;
    static void* creator() { return new Ticker; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aTime = fn.create("time", "tm", MFnNumericData::kDouble);
        aOut = fn.create("out", "o", MFnNumericData::kDouble);
        addAttribute(aTime);
        addAttribute(aOut);
        return attributeAffects(aTime, aOut);
    }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (plug != aOut) return MS::kUnknownParameter;
        const double time = block.inputValue(aTime).asDouble();
        note('c', time);
        ++gComputes;
        block.outputValue(aOut).set(time);
        block.setClean(plug);
        return MS::kSuccess;
    }
};
MObject Ticker::aTime, Ticker::aOut;

// Computes its output from a plug read, as no compute may where it runs in
// parallel, and notes the thread it ran on; its scheduling type is the
// test's to set.
class PlugReader : public Ticker {
public:
    static void* creator() { return new PlugReader; }
    static MPxNode::SchedulingType scheduling;
    static std::vector<std::thread::id> threads;
    SchedulingType schedulingType() const override { return scheduling; }
    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (plug != aOut) return MS::kUnknownParameter;
        threads.push_back(std::this_thread::get_id());
        block.outputValue(aOut).set(MPlug(thisMObject(), aTime).asDouble());
        block.setClean(plug);
        return MS::kSuccess;
    }
};
MPxNode::SchedulingType PlugReader::scheduling = MPxNode::kDefaultScheduling;
std::vector<std::thread::id> PlugReader::threads;

// A frame shown, and clock readings taken before the host read the clock
// for it and after it was shown.
struct Shown {
    double time;
    Clock::time_point before, after;
    bool stalled = false;  // the main thread slept after it
};

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Each frame shows the time of a frame the clock can have reached: the host
// started between `called` and `started` and read the clock for the frame
// between its `before` and `after`; `at(n)` is the time n frames on.
template <class At>
void expectOnTheClock(const std::vector<Shown>& frames, Clock::time_point called,
                      Clock::time_point started, double rate, At at) {
    for (const Shown& frame : frames) {
        const auto lo = static_cast<long>(std::floor(seconds(started, frame.before) * rate));
        const auto hi = static_cast<long>(std::floor(seconds(called, frame.after) * rate));
        bool reachable = false;
        for (long n = std::max(lo, 1L); n <= hi && !reachable; ++n) reachable = at(n) == frame.time;
        EXPECT_TRUE(reachable) << frame.time;
    }
}

class PlaybackTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        MObject plugin = testPlugin();
        MFnPlugin fn(plugin);
        ASSERT_TRUE(
            fn.registerNode("ticker", MTypeId(0x7F030), Ticker::creator, Ticker::initialize));
        gComputes = 0;
        mNode = mayahost::createNode("ticker");
        ASSERT_TRUE(mayahost::connectTime(mNode, "time"));
    }
    MObject mNode;
};

TEST_F(PlaybackTest, FollowsTheClockSkipsAfterStallsAndRunsIdleWorkBetweenFrames) {
    ASSERT_TRUE(MTime::setUIUnit(MTime::kNTSCFrame));
    const double rate = 30.0, start = 100.0;
    MAnimControl::setCurrentTime(MTime(start, MTime::kNTSCFrame));

    // Another thread queues numbered marks; each notes how many frames had
    // begun once it was queued.
    const int kMarks = 60;
    std::vector<int> framesBegun(kMarks);
    std::atomic<bool> allQueued{false};
    std::thread queuer([&] {
        for (int i = 0; i < kMarks; ++i) {
            MGlobal::executeCommandOnIdle(
                MString(("print \"m" + std::to_string(i) + "\"").c_str()));
            framesBegun[i] = gComputes.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        allQueued = true;
    });

    std::vector<Shown> frames;
    int stalls = 0;
    const Clock::time_point called = Clock::now();
    Clock::time_point firstCheck{}, lastCheck{}, lastStall = called;
    mayahost::RealTimePlayback options;
    options.outputs = {{mNode, "out"}};
    options.seconds = 20.0;  // only a host that never runs the marks gets there
    options.stop = [&] {
        lastCheck = Clock::now();
        if (firstCheck == Clock::time_point{}) firstCheck = lastCheck;
        int marksRun = 0;
        for (const auto& event : events()) marksRun += event.first == 'm';
        return allQueued && marksRun == kMarks && stalls >= 2;
    };
    options.afterFrame = [&](const MTime& shown) {
        EXPECT_TRUE(MAnimControl::isPlaying());
        frames.push_back({shown.as(MTime::kNTSCFrame), lastCheck, Clock::now()});
        note('s', frames.back().time);
        // A stall every 0.4 s; between the first two, each frame takes longer
        // than a frame, so that the scene stays behind the clock.
        if (seconds(lastStall, frames.back().after) >= 0.4) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            lastStall = Clock::now();
            frames.back().stalled = true;
            ++stalls;
        } else if (stalls == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    };
    const mayahost::PlaybackSummary summary = mayahost::playRealTime(options);
    const Clock::time_point returned = Clock::now();
    queuer.join();

    ASSERT_FALSE(frames.empty());
    EXPECT_FALSE(MAnimControl::isPlaying());
    expectOnTheClock(frames, called, firstCheck, rate, [&](long n) { return start + n; });
    // Increasing; a stall of 100 ms passes three frames: two never shown.
    int skipped = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double gap = frames[i].time - (i == 0 ? start : frames[i - 1].time);
        EXPECT_GE(gap, i > 0 && frames[i - 1].stalled ? 3.0 : 1.0) << frames[i].time;
        skipped += static_cast<int>(gap) - 1;
    }
    EXPECT_EQ(summary.framesShown, static_cast<int>(frames.size()));
    EXPECT_EQ(summary.framesSkipped, skipped);
    EXPECT_GT(skipped, 0);
    EXPECT_EQ(start + summary.framesShown + summary.framesSkipped, frames.back().time);
    EXPECT_EQ(summary.firstTime, frames.front().time);
    EXPECT_EQ(summary.lastTime, frames.back().time);
    EXPECT_EQ(MAnimControl::currentTime().as(MTime::kNTSCFrame), frames.back().time);
    EXPECT_GE(summary.wallSeconds, seconds(firstCheck, lastCheck));
    EXPECT_LE(summary.wallSeconds, seconds(called, returned));

    // Each frame computed once at its time, then shown; the marks ran in
    // order, between frames, before the second frame after their queueing.
    const auto run = events();
    std::size_t shown = 0;
    int mark = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
        if (run[i].first == 'm') {
            EXPECT_EQ(run[i].second, mark);
            EXPECT_LE(shown, framesBegun[mark] + 1u) << "mark " << mark;
            ++mark;
        } else if (run[i].first == 'c') {
            ASSERT_LT(shown, frames.size());
            EXPECT_EQ(run[i].second, frames[shown++].time);
            EXPECT_EQ(i + 1 < run.size() ? run[i + 1] : run[i], std::make_pair('s', run[i].second));
        }
    }
    EXPECT_EQ(shown, frames.size());
    EXPECT_EQ(mark, kMarks);
}

TEST_F(PlaybackTest, LoopsOverTheRangeForADuration) {
    ASSERT_TRUE(MTime::setUIUnit(MTime::kFilm));
    const double rate = 24.0;
    auto play = [&](double min, double max, bool keepPlaying) {
        // n frames on from `base`, a step at a time: after max comes min.
        const double base = MAnimControl::currentTime().as(MTime::kFilm);
        auto at = [&](long n) {
            double time = base < min || base > max ? min - 1 : base;
            for (long k = 0; k < n; ++k) time = time >= max ? min : time + 1;
            return time;
        };
        std::vector<Shown> frames;
        mayahost::RealTimePlayback options;
        options.outputs = {{mNode, "out"}};
        options.seconds = 0.375;  // ends on a frame: 9 at 24 fps
        options.loop = true;
        options.loopMin = min;
        options.loopMax = max;
        options.keepPlaying = keepPlaying;
        const Clock::time_point called = Clock::now();
        options.afterFrame = [&](const MTime& shown) {
            // The host reads the clock for a frame after the last one's callback.
            const Clock::time_point before = frames.empty() ? called : frames.back().after;
            frames.push_back({shown.as(MTime::kFilm), before, Clock::now()});
        };
        const mayahost::PlaybackSummary summary = mayahost::playRealTime(options);
        ASSERT_FALSE(frames.empty());
        expectOnTheClock(frames, called, frames[0].after, rate, at);
        const long passed = summary.framesShown + summary.framesSkipped;
        EXPECT_EQ(at(passed), frames.back().time);
        EXPECT_LT(passed, options.seconds * rate) << "a frame at or after the end";
        EXPECT_GE(summary.wallSeconds, options.seconds);
        EXPECT_EQ(MAnimControl::isPlaying(), keepPlaying);
        EXPECT_EQ(MAnimControl::currentTime().as(MTime::kFilm), frames.back().time);
    };
    MAnimControl::setCurrentTime(MTime(13.0, MTime::kFilm));
    play(10.0, 15.0, true);
    // Now outside the range: the loop begins at its start.
    play(20.0, 23.0, false);

    // A stop from the scene ends playback at once.
    mayahost::RealTimePlayback options;
    options.seconds = 5.0;
    options.afterFrame = [](const MTime&) { MAnimControl::stop(); };
    EXPECT_EQ(mayahost::playRealTime(options).framesShown, 1);
}

// Frames of playback compute on a worker, where a plug read breaks a rule;
// an untrusted node, and the serial evaluation, compute on the main thread.
TEST_F(PlaybackTest, FramesComputeOnAWorkerUnlessUntrustedOrSerial) {
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    ASSERT_TRUE(
        fn.registerNode("plugReader", MTypeId(0x7F031), PlugReader::creator, Ticker::initialize));
    const MObject reader = mayahost::createNode("plugReader");
    ASSERT_TRUE(mayahost::connectTime(reader, "time"));
    const auto play = [&](MPxNode::SchedulingType scheduling) {
        PlugReader::scheduling = scheduling;
        PlugReader::threads.clear();
        mayahost::RealTimePlayback options;
        options.outputs = {{reader, "out"}};
        options.seconds = 0.15;
        testing::internal::CaptureStderr();
        const mayahost::PlaybackSummary summary = mayahost::playRealTime(options);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_GT(summary.framesShown, 0);
        EXPECT_EQ(PlugReader::threads.size(), static_cast<std::size_t>(summary.framesShown));
        return printed;
    };
    const auto ranOnMain = [] {
        for (const std::thread::id id : PlugReader::threads) {
            if (id != std::this_thread::get_id()) return false;
        }
        return true;
    };

    const std::string printed = play(MPxNode::kGloballySerial);
    EXPECT_FALSE(ranOnMain());
    const auto breaches = mayahost::takeRuleBreaches();
    ASSERT_EQ(breaches.size(), PlugReader::threads.size());
    EXPECT_EQ(breaches[0].rule, "a compute evaluated in parallel uses its data block, not plugs");
    EXPECT_EQ(breaches[0].operation, "MPlug read");
    EXPECT_EQ(printed.rfind("host rule broken: a compute evaluated in parallel", 0), 0u);

    play(MPxNode::kUntrusted);
    EXPECT_TRUE(ranOnMain());
    mayahost::setPlaybackEvaluation(mayahost::PlaybackEvaluation::kSerial);
    play(MPxNode::kParallel);
    EXPECT_TRUE(ranOnMain());
    EXPECT_TRUE(mayahost::takeRuleBreaches().empty());
}

}  // namespace
