#include "recording/captureTimeline.h"

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
// that is not a number is placed by arrival too, and frames before the
// anchor (pre-roll) lie before it.
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
    const std::vector<TimedFrame> timeline = placeFrames(frames, clock);
    const std::vector<double> times = timesOf(timeline);
    ASSERT_EQ(times.size(), 7u);
    EXPECT_NEAR(times[0], 99.7, 1e-9);
    EXPECT_EQ(times[1], 100.0);
    EXPECT_NEAR(times[2], 100.3, 1e-9);
    EXPECT_NEAR(times[3], 100.6, 1e-9);
    EXPECT_EQ(timeline[3].index, 2u);                   // the first arrival of the repeat
    EXPECT_NEAR(times[4], 100.6 + 0.018 * 30.0, 1e-6);  // 18 ms after the frame before it
    EXPECT_NEAR(times[5], times[4] + 0.3, 1e-9);
    EXPECT_NEAR(times[6], times[5] + 0.6, 1e-6);
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_LT(times[i - 1], times[i]);
}

TEST(CaptureTimelineTest, ResamplingKeysEveryWholeFrameAndSkipsWhatCannotBeFilled) {
    // 120 fps into 30 fps: the root moves 1 cm a captured frame; frames
    // 6..9 are lost; then a jump longer than any gap that is filled.
    std::vector<JournalFrame> frames;
    for (int n = 0; n <= 12; ++n) {
        if (n < 6 || n > 9) frames.push_back(frame(n, n / 120.0, n / 120.0, static_cast<float>(n)));
    }
    frames.push_back(frame(13, 1000.0, 1.0, 500.0f));
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

}  // namespace
