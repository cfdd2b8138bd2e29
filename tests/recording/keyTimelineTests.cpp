#include "recording/keyTimeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct Key {
    double time;
    RecordedSample sample;
};

std::vector<Key> keysOf(const std::vector<RecordedSample>& samples,
                        std::int64_t* unfilled = nullptr) {
    std::vector<Key> keys;
    const std::int64_t left = forEachTakeKey(samples.data(), samples.size(),
                                             [&](double time, const RecordedSample& sample) {
                                                 keys.push_back({time, sample});
                                             });
    if (unfilled != nullptr) *unfilled = left;
    return keys;
}

// A sample whose translation equals its time and whose rotation turns about
// Y by `degrees`.
RecordedSample sampleAt(double time, double degrees = 0.0) {
    const double half = degrees * 3.141592653589793 / 360.0;
    return {time, 2 * time, -time, 0, degrees, 0, time, std::cos(half), 0, std::sin(half), 0};
}

std::vector<double> timesOf(const std::vector<Key>& keys) {
    std::vector<double> times;
    for (const Key& key : keys) {
        times.push_back(key.time);
    }
    return times;
}

void expectSameSample(const RecordedSample& got, const RecordedSample& want) {
    EXPECT_EQ(got.translateX, want.translateX);
    EXPECT_EQ(got.translateY, want.translateY);
    EXPECT_EQ(got.translateZ, want.translateZ);
    EXPECT_EQ(got.rotateX, want.rotateX);
    EXPECT_EQ(got.rotateY, want.rotateY);
    EXPECT_EQ(got.rotateZ, want.rotateZ);
    EXPECT_EQ(got.quatW, want.quatW);
    EXPECT_EQ(got.quatX, want.quatX);
    EXPECT_EQ(got.quatY, want.quatY);
    EXPECT_EQ(got.quatZ, want.quatZ);
}

TEST(TakeKeys, SkippedWholeFramesAreFilledTowardsTheNextSample) {
    const RecordedSample s10 = sampleAt(10, 0), s11 = sampleAt(11, 10), s14 = sampleAt(14, 70);
    const std::vector<Key> keys = keysOf({s10, s11, s14});
    ASSERT_EQ(timesOf(keys), (std::vector<double>{10, 11, 12, 13, 14}));

    expectSameSample(keys[0].sample, s10);
    expectSameSample(keys[1].sample, s11);
    // 12: a third of the way from 11 to 14; 13: half way from 12 to 14.
    const RecordedSample g12 = interpolateSample(s11, s14, 1.0 / 3.0);
    expectSameSample(keys[2].sample, g12);
    RecordedSample from12 = g12;
    from12.time = 12;
    expectSameSample(keys[3].sample, interpolateSample(from12, s14, 0.5));
    expectSameSample(keys[4].sample, s14);

    // Evenly spaced between the two real samples.
    EXPECT_NEAR(keys[2].sample.translateX, 12.0, 1e-12);
    EXPECT_NEAR(keys[3].sample.translateY, 26.0, 1e-12);
    EXPECT_NEAR(keys[2].sample.rotateY, 30.0, 1e-9);
    EXPECT_NEAR(keys[3].sample.rotateY, 50.0, 1e-9);
    EXPECT_EQ(keys[2].sample.time, 12.0);
}

TEST(TakeKeys, FractionalGapUsesTheRemainingDistance) {
    const RecordedSample s10 = sampleAt(10, 0), s125 = sampleAt(12.5, 50);
    const std::vector<Key> keys = keysOf({s10, s125});
    ASSERT_EQ(timesOf(keys), (std::vector<double>{10, 11, 12.5}));
    expectSameSample(keys[1].sample, interpolateSample(s10, s125, 0.4));
    EXPECT_NEAR(keys[1].sample.translateX, 11.0, 1e-12);
}

TEST(TakeKeys, NoGapWithinOneFrame) {
    EXPECT_EQ(timesOf(keysOf({sampleAt(10), sampleAt(11)})), (std::vector<double>{10, 11}));
    EXPECT_EQ(timesOf(keysOf({sampleAt(10), sampleAt(10.5)})), (std::vector<double>{10, 10.5}));
    EXPECT_EQ(timesOf(keysOf({sampleAt(1), sampleAt(2), sampleAt(3)})),
              (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(timesOf(keysOf({sampleAt(1), sampleAt(4)})), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_TRUE(keysOf({}).empty());
}

TEST(TakeKeys, EqualAndDecreasingTimesAreKeyedAsTheyCome) {
    EXPECT_EQ(timesOf(keysOf({sampleAt(5), sampleAt(5), sampleAt(5.5)})),
              (std::vector<double>{5, 5, 5.5}));
    // After going back to 8, the gap to 12 is measured from 8.
    EXPECT_EQ(timesOf(keysOf({sampleAt(10), sampleAt(8), sampleAt(12)})),
              (std::vector<double>{10, 8, 9, 10, 11, 12}));
}

TEST(TakeKeys, NoFillAfterAKeyAtMinusOneOrBelow) {
    EXPECT_EQ(timesOf(keysOf({sampleAt(-3), sampleAt(2)})), (std::vector<double>{-3, 2}));
    EXPECT_EQ(timesOf(keysOf({sampleAt(-1), sampleAt(5)})), (std::vector<double>{-1, 5}));
    EXPECT_EQ(timesOf(keysOf({sampleAt(-0.5), sampleAt(2)})), (std::vector<double>{-0.5, 0.5, 2}));
    EXPECT_EQ(timesOf(keysOf({sampleAt(0), sampleAt(3)})), (std::vector<double>{0, 1, 2, 3}));
}

TEST(TakeKeys, NonFiniteTimesAreKeyedWithoutFilling) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Key> toInfinity = keysOf({sampleAt(10), sampleAt(inf), sampleAt(12)});
    ASSERT_EQ(toInfinity.size(), 3u);
    EXPECT_EQ(toInfinity[1].time, inf);
    const std::vector<Key> throughNan = keysOf({sampleAt(10), sampleAt(nan), sampleAt(14)});
    ASSERT_EQ(throughNan.size(), 3u);
    EXPECT_TRUE(std::isnan(throughNan[1].time));
}

TEST(TakeKeys, GapsBeyondTheBoundKeepTheirEndsAndAreCounted) {
    const double bound = kMaxFilledGapFrames;
    std::int64_t unfilled = -1;

    // A gap of exactly the bound is still filled, one frame more is not.
    EXPECT_EQ(keysOf({sampleAt(0), sampleAt(bound + 1)}, &unfilled).size(),
              static_cast<std::size_t>(kMaxFilledGapFrames) + 2);
    EXPECT_EQ(unfilled, 0);
    EXPECT_EQ(timesOf(keysOf({sampleAt(0), sampleAt(bound + 2)}, &unfilled)),
              (std::vector<double>{0, bound + 2}));
    EXPECT_EQ(unfilled, kMaxFilledGapFrames + 1);

    // After a jump, filling goes on from the real sample past it; the
    // frames of every long gap add up, fractional ends truncated as for
    // filled gaps.
    const RecordedSample s1e6 = sampleAt(1e6, 0), s1e6p3 = sampleAt(1e6 + 3, 30);
    const std::vector<Key> keys =
        keysOf({sampleAt(5), s1e6, s1e6p3, sampleAt(3e6 + 0.5)}, &unfilled);
    ASSERT_EQ(timesOf(keys), (std::vector<double>{5, 1e6, 1e6 + 1, 1e6 + 2, 1e6 + 3, 3e6 + 0.5}));
    expectSameSample(keys[1].sample, s1e6);
    EXPECT_NEAR(keys[2].sample.rotateY, 10.0, 1e-9);
    EXPECT_EQ(unfilled, (1000000 - 5 - 1) + (2000000 - 3 - 1));

    // A jump no count can hold returns at once with a saturated count.
    EXPECT_EQ(keysOf({sampleAt(0), sampleAt(1e300), sampleAt(1e300)}, &unfilled).size(), 3u);
    EXPECT_EQ(unfilled, 2147483647);
}

TEST(TakeKeys, SkippedFrameCountTruncatesAndSaturates) {
    EXPECT_EQ(skippedFrameCount(3.0), 2);
    EXPECT_EQ(skippedFrameCount(2.5), 1);
    EXPECT_EQ(skippedFrameCount(1.5), 0);
    EXPECT_EQ(skippedFrameCount(1e300), 2147483647);
    EXPECT_EQ(skippedFrameCount(std::numeric_limits<double>::infinity()), 2147483647);
    EXPECT_EQ(skippedFrameCount(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
