#include "tools/lib/takeComparison.h"

#include "tools/lib/captureTake.h"
#include "tests/tools/toolsTestHelpers.h"

#include <gtest/gtest.h>

namespace ztools {
namespace {

// What a perfect recorder would key for the listed frames of the take:
// key time = frame number, rotations as XYZ degrees, and frames missing
// from `frames` filled along the arc between their neighbours.
RecordedTake recordPerfectly(const CaptureTake& take, const std::vector<int>& frames) {
    RecordedTake r;
    r.fps = take.fps;
    r.senderFps = take.fps;
    r.definition = take.definition;
    r.curves.resize(kCaptureJoints * 6);
    auto key = [&](double time, const CapturePose& p) {
        for (int j = 0; j < kCaptureJoints; ++j) {
            const Vec3 t = j == 0 ? p.translations[0] : take.definition[j];
            const Vec3 e = toEulerXYZDegrees(p.rotations[j]);
            const double v[6] = {t.x, t.y, t.z, e.x, e.y, e.z};
            for (int c = 0; c < 6; ++c) r.curves[j * 6 + c].keys.emplace_back(time, v[c]);
        }
    };
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (i > 0)
            for (int g = frames[i - 1] + 1; g < frames[i]; ++g) {
                const double f = double(g - frames[i - 1]) / (frames[i] - frames[i - 1]);
                CapturePose p;
                const CapturePose& a = take.frames[frames[i - 1]];
                const CapturePose& b = take.frames[frames[i]];
                for (int j = 0; j < kCaptureJoints; ++j) {
                    p.rotations[j] = slerp(a.rotations[j], b.rotations[j], f);
                    p.translations[j] = lerp(a.translations[j], b.translations[j], f);
                }
                key(g, p);
            }
        key(frames[i], take.frames[frames[i]]);
    }
    return r;
}

class TakeComparisonTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(takeFromBvh(testing::bundledTake(), 50, kCmuUnitCm, 3.0, take, error)) << error;
    }
    CaptureTake take;
};

TEST_F(TakeComparisonTest, AFaithfulRecordingMatchesTheSource) {
    std::vector<int> frames;
    for (int f = 0; f < int(take.frames.size()); ++f) frames.push_back(f);
    const RecordedTake recorded = recordPerfectly(take, frames);
    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(testing::bundledTake(), kCmuUnitCm, recorded, frames, c, error))
        << error;
    EXPECT_EQ(c.framesCompared, int(frames.size()));
    EXPECT_EQ(c.interpolatedCompared, 0);
    EXPECT_LT(c.maxRootCm, 1e-9);
    EXPECT_LT(c.maxRotationDeg, 1e-6);
    EXPECT_LT(c.maxPositionCm, 1e-6);
}

TEST_F(TakeComparisonTest, SynthesizedKeysAreCheckedAgainstTheArc) {
    std::vector<int> frames;
    for (int f = 0; f < int(take.frames.size()); ++f)
        if ((f + 1) % 5 != 0) frames.push_back(f);
    RecordedTake recorded = recordPerfectly(take, frames);
    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(testing::bundledTake(), kCmuUnitCm, recorded, frames, c, error));
    EXPECT_EQ(c.framesCompared, int(frames.size()));
    EXPECT_EQ(c.interpolatedCompared,
              int(take.frames.size() - frames.size()) - (take.frames.size() % 5 == 0));
    EXPECT_LT(c.maxArcDeviationDeg, 1e-6);
    EXPECT_LT(c.maxLineDeviationCm, 1e-9);
    EXPECT_LT(c.maxPositionCm, 1e-6);
    // The source itself bends away from the arc a little.
    EXPECT_GT(c.maxInterpolatedPositionCm, 0.0);

    // A synthesized key off the arc is seen.
    recorded.curves[5 * 6 + 3].keys[4].second += 2.0;  // torso_5 rx at frame 4
    ASSERT_TRUE(compareTake(testing::bundledTake(), kCmuUnitCm, recorded, frames, c, error));
    EXPECT_GT(c.maxArcDeviationDeg, 1.0);
}

TEST_F(TakeComparisonTest, ErrorsInReceivedFramesAreMeasured) {
    const RecordedTake good = recordPerfectly(take, {0, 1, 2, 3});
    TakeComparison c;
    std::string error;
    RecordedTake moved = good;
    moved.curves[1].keys[2].second += 0.5;  // root ty at frame 2
    ASSERT_TRUE(compareTake(testing::bundledTake(), kCmuUnitCm, moved, {}, c, error));
    EXPECT_NEAR(c.maxRootCm, 0.5, 1e-6);
    EXPECT_NEAR(c.maxPositionCm, 0.5, 1e-6);  // every joint moves with the root
    RecordedTake turned = good;
    turned.curves[20 * 6 + 3].keys[1].second += 3.0;  // left knee rx at frame 1
    ASSERT_TRUE(compareTake(testing::bundledTake(), kCmuUnitCm, turned, {}, c, error));
    EXPECT_NEAR(c.maxRotationDeg, 3.0, 1e-6);
    EXPECT_LT(c.maxRootCm, 1e-9);
    EXPECT_GT(c.maxPositionCm, 0.5);  // the ankle swings

    RecordedTake empty = good;
    for (TakeCurve& curve : empty.curves) curve.keys.clear();
    EXPECT_FALSE(compareTake(testing::bundledTake(), kCmuUnitCm, empty, {}, c, error));
}

}  // namespace
}  // namespace ztools
