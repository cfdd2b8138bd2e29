#include "recording/captureTimeline.h"
#include "recording/stageCut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

JournalFrame frame(int number, double stamp, double arrivalSeconds, float rootX = 0.0f) {
    JournalFrame f{};
    for (JournalJoint& joint : f.joints) joint.rotation[3] = 1.0f;
    f.joints[0].translate[0] = rootX;
    f.frameNumber = number;
    f.timestamp = stamp;
    f.arrivalNs = static_cast<std::int64_t>(arrivalSeconds * 1e9);
    return f;
}

std::vector<double> timesOf(const std::vector<TimedFrame>& timeline) {
    std::vector<double> times;
    for (const TimedFrame& placed : timeline) times.push_back(placed.time);
    return times;
}

// At 120 fps into a 30 fps scene each frame is a quarter frame. A frame that
// came late takes its own place, a repeat is kept once, a sender that starts
// its clock again goes on after the frames before by arrival, a timestamp
// that is not a number is left out, and frames before the anchor (pre-roll)
// lie before it.
TEST(CaptureTimelineTest, FramesLieAtTheirTimestampsAndNeverFoldBack) {
    const std::vector<JournalFrame> frames = {
        frame(0, 9.990, 0.000),                            // pre-roll
        frame(1, 10.000, 0.010),                           // anchor
        frame(3, 10.020, 0.030), frame(2, 10.010, 0.031),  // late
        frame(3, 10.020, 0.032),                           // repeated
        frame(0, 0.000, 0.050),                            // the sender restarted
        frame(1, 0.010, 0.060),  frame(2, NAN, 0.080),
    };
    TakeClock clock;
    clock.anchor = 1;
    clock.anchorTime = 100.0;
    clock.framesPerSecond = 30.0;
    std::int64_t mistimed = -1;
    const std::vector<TimedFrame> timeline = placeFrames(frames, clock, &mistimed);
    const std::vector<double> times = timesOf(timeline);
    ASSERT_EQ(times.size(), 6u);
    EXPECT_EQ(mistimed, 1);
    EXPECT_NEAR(times[0], 99.7, 1e-9);
    EXPECT_EQ(times[1], 100.0);
    EXPECT_NEAR(times[2], 100.3, 1e-9);
    EXPECT_NEAR(times[3], 100.6, 1e-9);
    EXPECT_EQ(timeline[3].index, 2u);                   // the first arrival of the repeat
    EXPECT_NEAR(times[4], 100.6 + 0.018 * 30.0, 1e-6);  // 18 ms after the frame before it
    EXPECT_NEAR(times[5], times[4] + 0.3, 1e-9);
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_LT(times[i - 1], times[i]);
}

// A 30 fps stream into a 30 fps scene, one frame a scene frame. One frame
// arrives two seconds late, one is stamped 1e18, one -1e18: the late one
// lies at its own time, the two liars are left out and counted, and no
// other frame moves. Then the sender restarts its clock: the frames after
// go on by arrival, and one late frame of the old clock still lies at its
// own time.
TEST(CaptureTimelineTest, OneLateOrLyingStampCostsNoNeighbour) {
    std::vector<JournalFrame> frames;
    for (int n = 0; n < 120; ++n) {
        if (n == 30) continue;  // comes late, below
        const double at = n / 30.0;
        frames.push_back(frame(n, 100.0 + at, at, static_cast<float>(n)));
        if (n == 90) frames.push_back(frame(30, 101.0, at + 0.001, 30.0f));
        if (n == 50) frames.push_back(frame(500, 1e18, at + 0.001));
        if (n == 70) frames.push_back(frame(700, -1e18, at + 0.001));
    }
    for (int n = 0; n < 10; ++n) {  // restarted at 0, 4 s of arrival on
        frames.push_back(frame(n, n / 30.0, 4.0 + n / 30.0, 1000.0f + n));
    }
    TakeClock clock;
    clock.anchor = 0;
    clock.anchorTime = 10.0;
    clock.framesPerSecond = 30.0;
    std::int64_t mistimed = 0;
    const std::vector<TimedFrame> timeline = placeFrames(frames, clock, &mistimed);
    EXPECT_EQ(mistimed, 2);
    ASSERT_EQ(timeline.size(), 130u);
    for (int n = 0; n < 120; ++n) {
        const TimedFrame& placed = timeline[static_cast<std::size_t>(n)];
        EXPECT_NEAR(placed.time, 10.0 + n, 1e-6) << n;
        EXPECT_EQ(frames[placed.index].frameNumber, n) << n;
    }
    // 4 s after the first arrival the restarted clock begins: 1/30 s after
    // the last frame of the old one by arrival, then by its own stamps.
    for (int n = 0; n < 10; ++n) {
        EXPECT_NEAR(timeline[120 + static_cast<std::size_t>(n)].time, 10.0 + 120.0 + n, 1e-6);
    }
}

// Gaps of exactly the bound are filled; one frame more is not.
TEST(CaptureTimelineTest, TheLongestFilledGapIsTheBound) {
    const std::vector<TimedFrame> timeline = {{0.0, 0}, {601.0, 1}, {1203.0, 2}};
    std::int64_t unfilled = -1;
    const std::vector<WholeFrameKey> keys = wholeFrameKeys(timeline, unfilled);
    EXPECT_EQ(keys.size(), 603u);  // 0..601 filled, then 1203 alone
    EXPECT_EQ(unfilled, 601);
    EXPECT_EQ(keys[600].time, 600.0);
    EXPECT_EQ(keys[602].time, 1203.0);
}

TEST(CaptureTimelineTest, ResamplingKeysEveryWholeFrameAndSkipsWhatCannotBeFilled) {
    // 120 fps into 30 fps: the root moves 1 cm a captured frame; frames
    // 6..9 are lost; then a jump longer than any gap that is filled.
    std::vector<JournalFrame> frames;
    for (int n = 0; n <= 12; ++n) {
        if (n < 6 || n > 9) frames.push_back(frame(n, n / 120.0, n / 120.0, static_cast<float>(n)));
    }
    frames.push_back(frame(13, 1000.0, 1000.0, 500.0f));
    TakeClock clock;
    clock.anchorTime = 10.0;
    clock.framesPerSecond = 30.0;
    const std::vector<TimedFrame> timeline = placeFrames(frames, clock);
    std::int64_t unfilled = -1;
    const std::vector<WholeFrameKey> keys = wholeFrameKeys(timeline, unfilled);
    ASSERT_EQ(keys.size(), 5u);  // 10, 11, 12, 13, and 30010 at the far frame
    for (int k = 0; k < 4; ++k) {
        const RecordedSample sample = resampledSample(frames, keys[k], 0);
        EXPECT_EQ(sample.time, 10.0 + k);
        EXPECT_NEAR(sample.translateX, 4.0 * k, 1e-5) << k;  // frame 8 interpolated
    }
    EXPECT_NEAR(keys[2].fraction, 0.6, 1e-12);  // from frame 5 (11.25) to 10 (12.5)
    EXPECT_EQ(keys[4].time, 10.0 + 30000.0);
    EXPECT_NEAR(resampledSample(frames, keys[4], 0).translateX, 500.0, 1e-5);
    EXPECT_EQ(unfilled, 29996);  // frames 14 to 30009

    std::vector<RecordedSample> samples;
    captureSamples(frames, timeline, 0, samples);
    EXPECT_EQ(samples.size(), frames.size());
    EXPECT_EQ(samples[1].time, 10.25);

    // Time stamps a sender could send but no scene can hold: placed by
    // arrival where the product overflows, and no walk past 2^53 frames
    // (where adding a frame changes nothing) runs for ever.
    const std::vector<JournalFrame> absurd = {frame(0, 0.0, 0.0), frame(1, 1.0, 0.01),
                                              frame(2, 1e308, 0.02)};
    TakeClock far = clock;
    far.anchorTime = 1e17;
    const std::vector<TimedFrame> placed = placeFrames(absurd, far);
    ASSERT_FALSE(placed.empty());  // times this large may coincide
    for (const TimedFrame& p : placed) EXPECT_TRUE(std::isfinite(p.time));
    EXPECT_LE(wholeFrameKeys(placed, unfilled).size(), 3u);
}

// The stage's messages name a moment on the capture clock: the clock at
// the message's arrival, read from the frame that came before it and the
// time since, plus Delay. A start and a stop at one moment share no frame
// and lose none; a frame that came long before the start (a sender gone
// quiet, then another in its place, or the same one after a pause) is not
// the take's first.
TEST(StageCutTest, TakesBeginAndEndAtTheMomentOnTheCaptureClock) {
    const auto ns = [](double seconds) { return static_cast<std::int64_t>(seconds * 1e9); };
    // 30 fps, each frame 5 ms on the way; the message 40 ms after frame 3.
    std::vector<JournalFrame> live;
    for (int n = 0; n < 10; ++n) live.push_back(frame(n, 20.0 + n / 30.0, 1.005 + n / 30.0));
    const std::int64_t pressed = live[3].arrivalNs + ns(0.040);
    EXPECT_EQ(stageTakeStart(live, 3, pressed, 0.0), 5u);  // frame 4 was captured before
    EXPECT_EQ(stageTakeEnd(live, pressed, 0.0, false), 5u);
    EXPECT_EQ(stageTakeStart(live, 3, pressed, 0.1), 8u);
    EXPECT_EQ(stageTakeEnd(live, pressed, 0.1, false), 8u);
    EXPECT_EQ(stageTakeEnd(live, pressed, 0.0, true), 5u);
    // With the frame's own arrival the moment is its stamp.
    EXPECT_EQ(stageTakeStart(live, 3, live[3].arrivalNs, 0.0), 3u);

    // The followed sender's last frame came 300 ms before the start; the
    // next sender's frames came after it, on a clock of their own.
    std::vector<JournalFrame> replaced = {frame(90, 3.0, 10.0)};
    for (int n = 0; n < 3; ++n) replaced.push_back(frame(n, 0.5 + n / 60.0, 11.2 + n / 60.0));
    EXPECT_EQ(stageTakeStart(replaced, 0, ns(10.3), 0.0), 1u);
    EXPECT_EQ(stageTakeStart(replaced, 0, ns(10.3), 0.033), 1u);

    // The same sender paused for 2 s: the start came 1 s into the pause.
    const std::vector<JournalFrame> paused = {frame(5, 7.0, 30.0), frame(66, 9.0, 32.0),
                                              frame(67, 9.0 + 1 / 30.0, 32.0 + 1 / 30.0)};
    EXPECT_EQ(stageTakeStart(paused, 0, ns(31.0), 0.0), 1u);
    EXPECT_EQ(stageTakeStart(paused, 0, ns(31.0), 1.02), 2u);
}

}  // namespace
