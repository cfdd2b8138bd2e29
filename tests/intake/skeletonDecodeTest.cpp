// Skeleton definitions through a scripted library: what counts as changed,
// what is taken over, and what is refused.
#include "fakeFormatLibrary.h"
#include "intake/motionDataStore.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

class SkeletonDecode : public ::testing::Test {
protected:
    void SetUp() override {
        installFakeLibrary();
        for (int i = 0; i < FakeLibrary::kArraySize; ++i) {
            const float f = static_cast<float>(i);
            gFake.setTranslation(i, 0.25f * f, 0.5f, -0.125f * f);
            gFake.setRotation(i, 0.0f, 0.5f, 0.5f, 0.5f);
        }
    }
    void TearDown() override { clearFormatLibrary(); }

    bool decode() { return store.decodeSkeletonDefinition(bytes, 4096); }
    std::vector<char> snapshot() const {
        const auto* p = reinterpret_cast<const char*>(store.poseRecords());
        return std::vector<char>(p, p + kPoseBufferBytes);
    }

    MotionDataStore store;
    char bytes[4096] = {};
};

TEST_F(SkeletonDecode, ChangedDefinitionReplacesRestAndCurrentPose) {
    gFake.jointCount = 27;
    EXPECT_TRUE(decode());
    EXPECT_TRUE(gFake.outputsWereZero);
    EXPECT_EQ(gFake.lastLength, 4096);
    EXPECT_EQ(gFake.lastBytes, bytes);
    for (int i = 0; i < 27; ++i) {
        const JointRecord& r = store.poseRecords()[i];
        EXPECT_EQ(r.definitionTranslation.x, 25.0 * i);
        EXPECT_EQ(r.definitionTranslation.y, 50.0);
        EXPECT_EQ(r.definitionTranslation.z, -12.5 * i);
        EXPECT_EQ(r.currentTranslation.z, -12.5 * i);
        EXPECT_EQ(r.definitionRotation.y, 0.5);
        EXPECT_EQ(r.currentRotation.x, 0.0);
        EXPECT_EQ(r.currentRotation.w, 0.5);
        EXPECT_EQ(r.name, kJointTable[i].name);
        EXPECT_EQ(r.parentIndex, kJointTable[i].parentIndex);
    }
}

TEST_F(SkeletonDecode, SameTranslationsAreUnchangedWhateverTheRotations) {
    gFake.jointCount = 27;
    ASSERT_TRUE(decode());
    const std::vector<char> before = snapshot();
    for (int i = 0; i < 27; ++i) {
        gFake.setRotation(i, 1.0f, 0.0f, 0.0f, 0.0f);
    }
    EXPECT_FALSE(decode());
    EXPECT_EQ(snapshot(), before);
}

TEST_F(SkeletonDecode, OneDifferentComponentRewritesEveryJointCarried) {
    gFake.jointCount = 27;
    ASSERT_TRUE(decode());
    for (int i = 0; i < 27; ++i) {
        gFake.setRotation(i, 0.25f, 0.0f, 0.0f, 1.0f);
    }
    gFake.arrays[6][13] += 0.5f;  // translation z of one joint
    EXPECT_TRUE(decode());
    for (int i = 0; i < 27; ++i) {
        EXPECT_EQ(store.poseRecords()[i].definitionRotation.x, 0.25) << i;
        EXPECT_EQ(store.poseRecords()[i].currentRotation.x, 0.25) << i;
    }
    EXPECT_EQ(store.poseRecords()[13].definitionTranslation.z,
              static_cast<double>(gFake.arrays[6][13]) * 100.0);
}

TEST_F(SkeletonDecode, OnlyTheJointsCarriedAreComparedAndTaken) {
    gFake.jointCount = 27;
    ASSERT_TRUE(decode());
    // A shorter definition that agrees on its joints is unchanged even though
    // the joints beyond it would differ.
    gFake.jointCount = 5;
    for (int i = 5; i < 27; ++i) {
        gFake.setTranslation(i, 3.0f, 3.0f, 3.0f);
    }
    EXPECT_FALSE(decode());
    // A shorter one that differs leaves the joints beyond it as they were.
    gFake.setTranslation(4, 3.0f, 3.0f, 3.0f);
    EXPECT_TRUE(decode());
    EXPECT_EQ(store.poseRecords()[4].definitionTranslation.x, 300.0);
    EXPECT_EQ(store.poseRecords()[5].definitionTranslation.x, 125.0);
}

TEST_F(SkeletonDecode, FirstDefinitionIsComparedWithTheDefaults) {
    // Single-precision 0.94 scaled is not 94: the first definition of a
    // sender whose root is 0.94 m high counts as changed.
    gFake.jointCount = 1;
    gFake.setTranslation(0, 0.0f, 0.94f, 0.0f);
    EXPECT_TRUE(decode());
    const double y = store.poseRecords()[0].definitionTranslation.y;
    EXPECT_NE(y, 94.0);
    EXPECT_NEAR(y, 93.99999976158142, 1e-12);
    EXPECT_EQ(y, static_cast<double>(0.94f) * 100.0);
    // Joints beyond the one carried keep the defaults.
    EXPECT_EQ(store.poseRecords()[1].definitionTranslation.y, 5.0);
    // Sent again, it matches what was taken over.
    EXPECT_FALSE(decode());
}

TEST_F(SkeletonDecode, NanTranslationAlwaysCountsAsChanged) {
    gFake.jointCount = 2;
    gFake.setTranslation(1, std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    EXPECT_TRUE(decode());
    EXPECT_TRUE(decode()) << "NaN never equals the stored NaN";
}

TEST_F(SkeletonDecode, EmptyNegativeOrRefusedDefinitionsChangeNothing) {
    const std::vector<char> before = snapshot();
    gFake.jointCount = 0;
    EXPECT_FALSE(decode());
    gFake.jointCount = -3;
    EXPECT_FALSE(decode());
    gFake.jointCount = 27;
    gFake.convertSucceeds = false;
    EXPECT_FALSE(decode());
    gFake.convertSucceeds = true;
    gFake.nullArrays = true;
    EXPECT_FALSE(decode());
    gFormatLibrary.convertBytesToSkeletonDefinition = nullptr;
    EXPECT_FALSE(decode());
    EXPECT_EQ(snapshot(), before);
}

TEST_F(SkeletonDecode, JointCountAboveTheTableIsClamped) {
    GuardedStore guarded;
    gFake.jointCount = 40;
    EXPECT_TRUE(guarded.store.decodeSkeletonDefinition(bytes, 4096));
    EXPECT_TRUE(guarded.intact());
    EXPECT_EQ(guarded.store.poseRecords()[26].definitionTranslation.x, 25.0 * 26);
    EXPECT_EQ(guarded.store.currentFrame().frameNumber, 0);
    EXPECT_EQ(guarded.store.detectedFrameRate(), 50);
    EXPECT_FALSE(guarded.store.decodeSkeletonDefinition(bytes, 4096))
        << "the 27 joints taken over compare equal";
}

}  // namespace
