// The store driven by the real motion-format library, as the receiving
// thread drives it: whole 4096-byte receive buffers.
#include "intake/linkedFormatLibrary.h"
#include "intake/motionDataStore.h"
#include "ostrevo/ostrevo.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace {

using Buffer = std::array<char, OSV_MAX_DATAGRAM_BYTES>;

void installRealLibrary() {
    static int moduleStandIn = 0;
    gFormatLibrary = linkedFormatLibrary(&moduleStandIn);
}

std::vector<OsvJointPose> posesFrom(float offset, int count = 27) {
    std::vector<OsvJointPose> poses(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const float f = static_cast<float>(i);
        poses[i] = OsvJointPose{{0.5f, -0.25f, 0.0f, 0.75f}, {0.25f * f + offset, 0.5f, -0.125f}};
    }
    return poses;
}

void encodeFrame(Buffer& buffer, const std::vector<OsvJointPose>& poses, std::int32_t number,
                 double time) {
    const OsvFrameData frame{
        1, 2, number, 0.0f, time, static_cast<std::int32_t>(poses.size()), nullptr, poses.data()};
    ASSERT_GT(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), 0);
}

void encodeDefinition(Buffer& buffer, const std::vector<OsvJointPose>& poses) {
    const OsvSkeletonDefinition definition{
        1, 2, 3, 4, static_cast<std::int32_t>(poses.size()), poses.data()};
    ASSERT_GT(OsvEncodeSkeletonDefinition(&definition, buffer.data(), OSV_MAX_DATAGRAM_BYTES), 0);
}

class StoreWithLibrary : public ::testing::Test {
protected:
    void SetUp() override { installRealLibrary(); }
    void TearDown() override { gFormatLibrary = FormatLibraryEntryPoints{}; }
    Buffer buffer{};
};

TEST_F(StoreWithLibrary, DefinitionThenFrames) {
    MotionDataStore store;
    const auto rest = posesFrom(0.0f);
    encodeDefinition(buffer, rest);
    ASSERT_TRUE(store.isSkeletonDefinition(buffer.data(), 4096));
    ASSERT_FALSE(store.isFrameData(buffer.data(), 4096));
    EXPECT_TRUE(store.decodeSkeletonDefinition(buffer.data(), 4096));
    EXPECT_FALSE(store.decodeSkeletonDefinition(buffer.data(), 4096)) << "same definition again";
    EXPECT_EQ(store.poseRecords()[4].definitionTranslation.x, 100.0);
    EXPECT_EQ(store.poseRecords()[4].definitionRotation.w, 0.75);

    // Frames 41 and 42, 1/60 s apart: the pose follows and the rate is 60.
    encodeFrame(buffer, posesFrom(1.0f), 41, 7.0);
    ASSERT_TRUE(store.isFrameData(buffer.data(), 4096));
    store.decodeFrameData(buffer.data(), 4096);
    encodeFrame(buffer, posesFrom(2.0f), 42, 7.0 + 1.0 / 60.0);
    store.decodeFrameData(buffer.data(), 4096);
    EXPECT_EQ(store.detectedFrameRate(), 60);
    EXPECT_EQ(store.poseRecords()[4].currentTranslation.x, 300.0);
    EXPECT_EQ(store.poseRecords()[4].definitionTranslation.x, 100.0);
    EXPECT_EQ(store.currentFrame().jointsInFrame, 27);
}

TEST_F(StoreWithLibrary, DamagedDatagramsAreNeitherAndDecodeNothing) {
    MotionDataStore store;
    encodeFrame(buffer, posesFrom(1.0f), 41, 7.0);
    buffer[60] = static_cast<char>(buffer[60] ^ 1);
    EXPECT_FALSE(store.isFrameData(buffer.data(), 4096));
    EXPECT_FALSE(store.isSkeletonDefinition(buffer.data(), 4096));
    store.decodeFrameData(buffer.data(), 4096);
    EXPECT_EQ(store.currentFrame().frameNumber, 0);
    EXPECT_EQ(store.poseRecords()[4].currentTranslation.x, kJointTable[4].translation.x);
}

TEST_F(StoreWithLibrary, SendersWithMoreJointsFillOnlyTheTable) {
    MotionDataStore store;
    encodeDefinition(buffer, posesFrom(0.0f, OSV_MAX_JOINTS));
    EXPECT_TRUE(store.decodeSkeletonDefinition(buffer.data(), 4096));
    EXPECT_EQ(store.poseRecords()[26].definitionTranslation.x, 650.0);
    EXPECT_EQ(store.currentFrame().jointsInFrame, 0);
}

TEST_F(StoreWithLibrary, StoresOnSeveralThreadsDecodeIndependently) {
    // One store per receiving thread, decoding at once, while another thread
    // reads each store's rate as the compute does.
    constexpr int kThreads = 4;
    MotionDataStore stores[kThreads];
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            for (const MotionDataStore& s : stores) {
                (void)s.detectedFrameRate();
            }
        }
    });
    const double steps[kThreads] = {1.0 / 30.0, 1.0 / 50.0, 1.0 / 60.0, 1.0 / 120.0};
    std::vector<std::thread> receivers;
    for (int t = 0; t < kThreads; ++t) {
        receivers.emplace_back([&, t] {
            Buffer local{};
            for (int n = 0; n < 300; ++n) {
                encodeFrame(local, posesFrom(static_cast<float>(t)), n, n * steps[t]);
                if (stores[t].isFrameData(local.data(), 4096)) {
                    stores[t].decodeFrameData(local.data(), 4096);
                }
            }
        });
    }
    for (std::thread& r : receivers) {
        r.join();
    }
    stop.store(true);
    reader.join();
    const int expected[kThreads] = {30, 50, 60, 120};
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(stores[t].currentFrame().frameNumber, 299);
        EXPECT_EQ(stores[t].poseRecords()[0].currentTranslation.x, 100.0 * t);
        EXPECT_EQ(stores[t].detectedFrameRate(), expected[t]) << "thread " << t;
    }
}

}  // namespace
