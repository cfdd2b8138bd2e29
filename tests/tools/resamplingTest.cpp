#include "tools/lib/captureTake.h"

#include "tests/tools/toolsTestHelpers.h"

#include <gtest/gtest.h>

namespace ztools {
namespace {

using testing::near;
using testing::sameRotation;

CaptureTake takeAt(int fps, double seconds = 0.0) {
    CaptureTake take;
    std::string error;
    EXPECT_TRUE(takeFromBvh(testing::bundledTake(), fps, kCmuUnitCm, seconds, take, error))
        << error;
    return take;
}

TEST(Resampling, FrameCountsCoverTheTake) {
    // 994 frames at 120 fps last 993 / 120 = 8.275 s.
    EXPECT_EQ(takeAt(60).frames.size(), 497u);
    EXPECT_EQ(takeAt(30).frames.size(), 249u);
    EXPECT_EQ(takeAt(50).frames.size(), 414u);
    EXPECT_EQ(takeAt(50, 2.0).frames.size(), 101u);
    EXPECT_EQ(takeAt(60, 100.0).frames.size(), 497u);
    EXPECT_EQ(takeAt(30).fps, 30);
}

TEST(Resampling, RatesDividingTheSourceRateKeepItsFrames) {
    const CaptureTake full = takeAt(120);
    for (int fps : {30, 60}) {
        const CaptureTake take = takeAt(fps);
        const int step = 120 / fps;
        for (std::size_t i = 0; i < take.frames.size(); ++i) {
            const CapturePose& a = take.frames[i];
            const CapturePose& b = full.frames[i * step];
            for (int j = 0; j < kCaptureJoints; ++j) {
                ASSERT_EQ(a.rotations[j].x, b.rotations[j].x);
                ASSERT_EQ(a.rotations[j].w, b.rotations[j].w);
                ASSERT_EQ(length(a.translations[j] - b.translations[j]), 0.0);
            }
        }
    }
}

TEST(Resampling, FiftyFramesInterpolateBetweenSourceFrames) {
    const BvhMotion& m = testing::bundledTake();
    const CaptureTake take = takeAt(50);
    const CaptureTake full = takeAt(120);
    // Frame 3 of 50 fps lies at 0.06 s, source position 7.2: between source
    // frames 7 and 8, a fifth of the way.
    const int hips = 0;
    const SkeletonPose a = poseAtFrame(m, 7);
    const SkeletonPose b = poseAtFrame(m, 8);
    EXPECT_TRUE(near(take.frames[3].translations[0],
                     lerp(a.translations[hips], b.translations[hips], 0.2) * kCmuUnitCm, 1e-9));
    EXPECT_TRUE(sameRotation(take.frames[3].rotations[0],
                             slerp(a.rotations[hips], b.rotations[hips], 0.2), 1e-9));
    // Frame 5 (0.1 s) falls on source frame 12 exactly.
    for (int j = 0; j < kCaptureJoints; ++j)
        EXPECT_TRUE(sameRotation(take.frames[5].rotations[j], full.frames[12].rotations[j], 1e-9));
    // Interpolated frames stay between their neighbours.
    for (std::size_t i = 0; i < take.frames.size(); ++i) {
        const double position = i * 120.0 / 50.0;
        const std::size_t lo = std::size_t(position);
        const std::size_t hi = std::min(lo + 1, full.frames.size() - 1);
        for (int j = 0; j < kCaptureJoints; ++j) {
            const double span =
                angleBetweenDegrees(full.frames[lo].rotations[j], full.frames[hi].rotations[j]);
            EXPECT_LE(
                angleBetweenDegrees(take.frames[i].rotations[j], full.frames[lo].rotations[j]),
                span + 1e-9);
        }
    }
}

TEST(Resampling, SyntheticMotionUsesTheDefaultSkeleton) {
    const CaptureTake take = syntheticTake(30, 2.0);
    EXPECT_EQ(take.frames.size(), 61u);
    EXPECT_EQ(take.fps, 30);
    EXPECT_TRUE(near(take.definition[0], {0, 94, 0}, 0));
    EXPECT_TRUE(near(take.definition[13], {0, -28, 0}, 0));
    // It moves: consecutive frames differ, every rotation is a unit quaternion.
    EXPECT_GT(angleBetweenDegrees(take.frames[0].rotations[5], take.frames[10].rotations[5]), 1.0);
    for (const CapturePose& p : take.frames)
        for (const Quat& q : p.rotations)
            EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0, 1e-12);
}

}  // namespace
}  // namespace ztools

namespace ztools {
namespace {

TEST(Resampling, RoundedFrameTimesMeanWholeRates) {
    BvhMotion m;
    m.frameCount = 10;
    m.frameTime = 0.0083333;  // as the bundled take writes 1/120
    EXPECT_DOUBLE_EQ(framePeriod(m), 1.0 / 120);
    EXPECT_DOUBLE_EQ(takeDuration(m), 9.0 / 120);
    m.frameTime = 0.033333;
    EXPECT_DOUBLE_EQ(framePeriod(m), 1.0 / 30);
    m.frameTime = 0.0123;  // no whole rate near it: kept as written
    EXPECT_DOUBLE_EQ(framePeriod(m), 0.0123);
    m.frameTime = 2.5;  // slower than a frame a second
    EXPECT_DOUBLE_EQ(framePeriod(m), 2.5);
}

}  // namespace
}  // namespace ztools
