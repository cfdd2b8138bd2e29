// How the store asks the library what a datagram is.
#include "fakeFormatLibrary.h"
#include "intake/motionDataStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Classification : public ::testing::Test {
protected:
    void SetUp() override { installFakeLibrary(); }
    void TearDown() override { clearFormatLibrary(); }

    MotionDataStore store;
    char bytes[4096] = {};
};

TEST_F(Classification, FrameDataNeedsBothAnswers) {
    gFake.isFrame = true;
    EXPECT_TRUE(store.isFrameData(bytes, 4096));
    EXPECT_EQ(gFake.isOsvCalls, 1);
    EXPECT_EQ(gFake.isFrameCalls, 1);
    EXPECT_EQ(gFake.isSkeletonCalls, 0);
    EXPECT_EQ(gFake.lastLength, 4096);
    EXPECT_EQ(gFake.lastBytes, bytes);
    EXPECT_FALSE(store.isSkeletonDefinition(bytes, 4096));
    EXPECT_EQ(gFake.isOsvCalls, 2) << "each classification asks IsOsvBytes itself";
    EXPECT_EQ(gFake.isSkeletonCalls, 1);
}

TEST_F(Classification, NotOurFormatAsksNoFurther) {
    gFake.isOsv = false;
    gFake.isFrame = true;
    gFake.isSkeleton = true;
    EXPECT_FALSE(store.isFrameData(bytes, 4096));
    EXPECT_FALSE(store.isSkeletonDefinition(bytes, 4096));
    EXPECT_EQ(gFake.isOsvCalls, 2);
    EXPECT_EQ(gFake.isFrameCalls, 0);
    EXPECT_EQ(gFake.isSkeletonCalls, 0);
}

TEST_F(Classification, SkeletonDefinitionNeedsBothAnswers) {
    gFake.isSkeleton = true;
    EXPECT_TRUE(store.isSkeletonDefinition(bytes, 100));
    EXPECT_EQ(gFake.lastLength, 100);
    EXPECT_FALSE(store.isFrameData(bytes, 100));
}

TEST_F(Classification, AbsentEntryPointsMakeEveryDatagramNeither) {
    gFake.isFrame = true;
    gFake.isSkeleton = true;
    clearFormatLibrary();
    MotionDataStore fresh;
    const auto* before = reinterpret_cast<const char*>(fresh.poseRecords());
    const std::vector<char> snapshot(before, before + kPoseBufferBytes);
    EXPECT_FALSE(fresh.isFrameData(bytes, 4096));
    EXPECT_FALSE(fresh.isSkeletonDefinition(bytes, 4096));
    fresh.decodeFrameData(bytes, 4096);
    EXPECT_FALSE(fresh.decodeSkeletonDefinition(bytes, 4096));
    EXPECT_EQ(std::vector<char>(before, before + kPoseBufferBytes), snapshot);
    EXPECT_EQ(gFake.isOsvCalls + gFake.isFrameCalls + gFake.isSkeletonCalls + gFake.convertCalls,
              0);
}

TEST_F(Classification, AMissingSecondFunctionCallsNothing) {
    gFake.isFrame = true;
    gFake.isSkeleton = true;
    gFormatLibrary.isFrameDataBytes = nullptr;
    EXPECT_FALSE(store.isFrameData(bytes, 4096));
    EXPECT_EQ(gFake.isOsvCalls, 0);
    EXPECT_TRUE(store.isSkeletonDefinition(bytes, 4096));
    gFormatLibrary.isOsvBytes = nullptr;
    EXPECT_FALSE(store.isSkeletonDefinition(bytes, 4096));
    EXPECT_EQ(gFake.isSkeletonCalls, 1);
}

TEST_F(Classification, AnyNonZeroAnswerIsTrue) {
    float x = 1.0f;
    for (const LibraryAnswer yes : {1, 2, 0x80, 0xFF}) {
        SCOPED_TRACE(static_cast<int>(yes));
        installFakeLibrary();
        gFake.isOsv = yes;
        gFake.isFrame = yes;
        gFake.convertSucceeds = yes;
        EXPECT_TRUE(store.isFrameData(bytes, 4096));
        EXPECT_FALSE(store.isSkeletonDefinition(bytes, 4096));
        gFake.isSkeleton = yes;
        EXPECT_TRUE(store.isSkeletonDefinition(bytes, 4096));

        // Both conversions count as done: a new rest pose, then a frame.
        gFake.setTranslation(0, x, 0.0f, 0.0f);
        EXPECT_TRUE(store.decodeSkeletonDefinition(bytes, 4096));
        EXPECT_EQ(store.poseRecords()[0].definitionTranslation.x, 100.0 * x);
        gFake.setTranslation(0, x + 0.5f, 0.0f, 0.0f);
        store.decodeFrameData(bytes, 4096);
        EXPECT_EQ(store.poseRecords()[0].currentTranslation.x, 100.0 * (x + 0.5f));
        x += 1.0f;
    }
    gFake.convertSucceeds = 0;
    gFake.setTranslation(0, -7.0f, 0.0f, 0.0f);
    EXPECT_FALSE(store.decodeSkeletonDefinition(bytes, 4096));
    store.decodeFrameData(bytes, 4096);
    EXPECT_NE(store.poseRecords()[0].currentTranslation.x, -700.0);
}

}  // namespace
