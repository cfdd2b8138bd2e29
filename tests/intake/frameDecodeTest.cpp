// Frame decoding through a scripted library: scaling, counts, headers,
// failures and the detection of the sender's frame rate.
#include "fakeFormatLibrary.h"
#include "intake/motionDataStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class FrameDecode : public ::testing::Test {
protected:
    void SetUp() override { installFakeLibrary(); }
    void TearDown() override { clearFormatLibrary(); }

    void decode(std::int32_t frameNumber, double timestamp) {
        gFake.frameNumber = frameNumber;
        gFake.timestamp = timestamp;
        store.decodeFrameData(bytes, 4096);
    }
    std::vector<char> snapshot() const {
        const auto* p = reinterpret_cast<const char*>(store.poseRecords());
        return std::vector<char>(p, p + kPoseBufferBytes);
    }

    MotionDataStore store;
    char bytes[4096] = {};
};

TEST_F(FrameDecode, TranslationsAreScaledRotationsAreNot) {
    gFake.jointCount = 27;
    for (int i = 0; i < 27; ++i) {
        gFake.setTranslation(i, 0.5f, -0.25f * static_cast<float>(i), 0.94f);
        gFake.setRotation(i, 0.5f, -0.5f, 0.125f, 0.75f);
    }
    decode(1, 0.0);
    EXPECT_TRUE(gFake.outputsWereZero);
    EXPECT_EQ(gFake.lastLength, 4096);
    EXPECT_EQ(gFake.lastBytes, bytes);
    for (int i = 0; i < 27; ++i) {
        const JointRecord& r = store.poseRecords()[i];
        EXPECT_EQ(r.currentTranslation.x, 50.0);
        EXPECT_EQ(r.currentTranslation.y, -25.0 * i);
        EXPECT_EQ(r.currentTranslation.z, static_cast<double>(0.94f) * 100.0);
        EXPECT_EQ(r.currentRotation.x, 0.5);
        EXPECT_EQ(r.currentRotation.y, -0.5);
        EXPECT_EQ(r.currentRotation.z, 0.125);
        EXPECT_EQ(r.currentRotation.w, 0.75);
        // The rest pose belongs to skeleton definitions only.
        EXPECT_EQ(r.definitionTranslation.y, kJointTable[i].translation.y);
        EXPECT_EQ(r.definitionRotation.w, kJointTable[i].rotation.w);
    }
}

TEST_F(FrameDecode, HeadersMoveFromCurrentToPrevious) {
    gFake.jointCount = 3;
    decode(10, 1.25);
    EXPECT_EQ(store.currentFrame().frameNumber, 10);
    EXPECT_EQ(store.currentFrame().timestamp, 1.25);
    EXPECT_EQ(store.currentFrame().jointsInFrame, 3);
    EXPECT_EQ(store.previousFrame().frameNumber, 0);
    gFake.jointCount = 5;
    decode(11, 1.5);
    EXPECT_EQ(store.previousFrame().frameNumber, 10);
    EXPECT_EQ(store.previousFrame().timestamp, 1.25);
    EXPECT_EQ(store.previousFrame().jointsInFrame, 3);
    EXPECT_EQ(store.currentFrame().frameNumber, 11);
    EXPECT_EQ(store.currentFrame().jointsInFrame, 5);
}

TEST_F(FrameDecode, JointCountIsClampedToTheTable) {
    for (int i = 0; i < FakeLibrary::kArraySize; ++i) {
        gFake.setTranslation(i, 0.01f * static_cast<float>(i), 1.0f, 2.0f);
    }
    // Only the first three joints change.
    gFake.jointCount = 3;
    decode(1, 0.0);
    EXPECT_EQ(store.poseRecords()[2].currentTranslation.y, 100.0);
    EXPECT_EQ(store.poseRecords()[3].currentTranslation.y, kJointTable[3].translation.y);

    // 40 joints: all 27 records written and not a byte past the store.
    GuardedStore guarded;
    gFake.jointCount = 40;
    gFake.frameNumber = 77;
    gFake.timestamp = 3.0;
    guarded.store.decodeFrameData(bytes, 4096);
    EXPECT_TRUE(guarded.intact());
    EXPECT_EQ(guarded.store.poseRecords()[26].currentTranslation.x,
              static_cast<double>(0.26f) * 100.0);
    EXPECT_EQ(guarded.store.currentFrame().frameNumber, 77);
    EXPECT_EQ(guarded.store.currentFrame().jointsInFrame, 40);

    // A negative count stores no joint but still counts as a frame.
    const std::vector<char> before = snapshot();
    gFake.jointCount = -3;
    gFake.setTranslation(0, 7.0f, 7.0f, 7.0f);
    decode(78, 3.5);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(store.currentFrame().frameNumber, 78);
    EXPECT_EQ(store.currentFrame().jointsInFrame, -3);
    EXPECT_EQ(store.previousFrame().frameNumber, 1);
}

TEST_F(FrameDecode, RefusedFrameChangesNothing) {
    gFake.jointCount = 27;
    decode(41, 7.0);
    const std::vector<char> before = snapshot();

    gFake.convertSucceeds = false;
    gFake.setTranslation(0, 9.0f, 9.0f, 9.0f);
    decode(42, 7.5);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(store.currentFrame().frameNumber, 41);
    EXPECT_EQ(store.currentFrame().timestamp, 7.0);
    EXPECT_EQ(store.previousFrame().frameNumber, 0);

    // The next good frame is measured against the last good one.
    gFake.convertSucceeds = true;
    decode(42, 7.0 + 1.0 / 60.0);
    EXPECT_EQ(store.previousFrame().frameNumber, 41);
    EXPECT_EQ(store.detectedFrameRate(), 60);
}

TEST_F(FrameDecode, SuccessWithoutArraysChangesNothing) {
    decode(5, 0.5);
    const std::vector<char> before = snapshot();
    gFake.nullArrays = true;
    decode(6, 0.52);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(store.currentFrame().frameNumber, 5);
    EXPECT_EQ(store.detectedFrameRate(), 50);
}

TEST_F(FrameDecode, AbsentConverterDecodesNothing) {
    gFormatLibrary.convertBytesToFrameData = nullptr;
    const std::vector<char> before = snapshot();
    decode(1, 0.0);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(store.currentFrame().frameNumber, 0);
}

struct RateCase {
    const char* name;
    std::int32_t firstNumber;
    double firstTime;
    std::int32_t secondNumber;
    double secondTime;
    int expected;  // 0: unchanged
};

class FrameRate : public FrameDecode, public ::testing::WithParamInterface<RateCase> {};

TEST_P(FrameRate, FromTwoConsecutiveFrames) {
    const RateCase c = GetParam();
    gFake.jointCount = 0;
    // Start from a rate different from the one expected, so that a change
    // and its absence are both visible.
    const int start = c.expected == 30 ? 60 : 30;
    decode(1000, 0.0);
    decode(1001, start == 30 ? 1.0 / 30.0 : 1.0 / 60.0);
    ASSERT_EQ(store.detectedFrameRate(), start);

    decode(c.firstNumber, c.firstTime);
    decode(c.secondNumber, c.secondTime);
    EXPECT_EQ(store.detectedFrameRate(), c.expected == 0 ? start : c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FrameRate,
    ::testing::Values(RateCase{"Step1Over30", 41, 7.0, 42, 7.0 + 1.0 / 30.0, 30},
                      RateCase{"Step1Over50", 41, 7.0, 42, 7.0 + 1.0 / 50.0, 50},
                      RateCase{"Step1Over60", 41, 7.0, 42, 7.0 + 1.0 / 60.0, 60},
                      RateCase{"Step1Over120", 41, 7.0, 42, 7.0 + 1.0 / 120.0, 120},
                      RateCase{"JustBelow120Band", 41, 7.0, 42, 7.0079, 0},
                      RateCase{"JustAbove120Band", 41, 7.0, 42, 7.0091, 0},
                      RateCase{"Step1Over100", 41, 7.0, 42, 7.0 + 1.0 / 100.0, 0},
                      RateCase{"Step1Over25", 41, 7.0, 42, 7.0 + 1.0 / 25.0, 0},
                      RateCase{"SkippedFrame", 41, 7.0, 43, 7.0 + 1.0 / 50.0, 0},
                      RateCase{"RepeatedFrame", 41, 7.0, 41, 7.0 + 1.0 / 50.0, 0},
                      RateCase{"AcrossAWholeSecond", 41, 6.99, 42, 7.02, 0},
                      RateCase{"SameTime", 41, 7.0, 42, 7.0, 0},
                      RateCase{"WholeSecondsIgnored", 41, 12.5, 42, 3.52, 50},
                      RateCase{"NegativeTimesTruncateTowardZero", 41, -0.5, 42, -0.48, 50},
                      RateCase{"FrameNumberWrap", 2147483647, 7.0, -2147483647 - 1, 7.02, 0}),
    [](const ::testing::TestParamInfo<RateCase>& info) { return std::string(info.param.name); });

TEST_F(FrameDecode, RateIsReadSafelyWhileFramesArrive) {
    // The compute reads the rate on another thread while frames come in.
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const int rate = store.detectedFrameRate();
            if (rate != 30 && rate != 50 && rate != 60 && rate != 120) {
                unexpected.fetch_add(1);
            }
        }
    });
    gFake.jointCount = 0;
    const double steps[] = {1.0 / 30.0, 1.0 / 50.0, 1.0 / 120.0, 1.0 / 60.0};
    for (int i = 0; i < 3000; ++i) {
        decode(2 * i, 0.0);
        decode(2 * i + 1, steps[i % 4]);
    }
    stop.store(true);
    reader.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(store.detectedFrameRate(), 60);  // the last pair is 1/60 s apart
}

}  // namespace
