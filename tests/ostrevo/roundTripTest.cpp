// Encoding then decoding gives back every value, for both kinds and for the
// edge joint counts; the layout is the documented one.
#include "testDatagrams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

extern "C" {
std::int32_t osvTestEncodeOneJointFrameFromC(char* out, std::int32_t capacity);
bool osvTestIsFrameFromC(const char* bytes, std::int32_t length);
}

namespace {

using osvtest::Buffer;

struct DecodedSkeleton {
    bool ok = false;
    std::uint64_t senderId = 0;
    std::uint32_t sequence = 0;
    std::int32_t jointCount = 0;
    std::uint64_t skeletonId = 0;
    std::uint64_t definitionTime = 0;
    const float* arrays[7] = {};
};

DecodedSkeleton decodeSkeleton(const Buffer& buffer, std::int32_t length = OSV_MAX_DATAGRAM_BYTES) {
    DecodedSkeleton d;
    d.ok = ConvertBytesToSkeletonDefinition(length, buffer.data(), &d.senderId, &d.sequence,
                                            &d.jointCount, &d.skeletonId, &d.definitionTime,
                                            &d.arrays[0], &d.arrays[1], &d.arrays[2], &d.arrays[3],
                                            &d.arrays[4], &d.arrays[5], &d.arrays[6]);
    return d;
}

struct DecodedFrame {
    bool ok = false;
    std::uint64_t senderId = 0;
    std::uint32_t sequence = 0;
    std::int32_t frameNumber = 0;
    float latency = 0;
    double timestamp = 0;
    std::int32_t jointCount = 0;
    const std::int32_t* status = nullptr;
    const float* arrays[7] = {};
};

DecodedFrame decodeFrame(const Buffer& buffer, std::int32_t length = OSV_MAX_DATAGRAM_BYTES) {
    DecodedFrame d;
    d.ok = ConvertBytesToFrameData(length, buffer.data(), &d.senderId, &d.sequence, &d.frameNumber,
                                   &d.latency, &d.timestamp, &d.jointCount, &d.status, &d.arrays[0],
                                   &d.arrays[1], &d.arrays[2], &d.arrays[3], &d.arrays[4],
                                   &d.arrays[5], &d.arrays[6]);
    return d;
}

// Component c of a pose in the order of the decoder's arrays.
float component(const OsvJointPose& pose, int c) {
    return c < 4 ? pose.rotation[c] : pose.translation[c - 4];
}

void expectPoses(const std::vector<OsvJointPose>& poses, const float* const (&arrays)[7]) {
    for (std::size_t i = 0; i < poses.size(); ++i) {
        for (int c = 0; c < 7; ++c) {
            ASSERT_NE(arrays[c], nullptr);
            EXPECT_EQ(arrays[c][i], component(poses[i], c)) << "joint " << i << " array " << c;
        }
    }
}

class SkeletonRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(SkeletonRoundTrip, GivesBackEveryValue) {
    const auto poses = osvtest::makePoses(GetParam(), 0.375f);
    const OsvSkeletonDefinition definition = osvtest::makeDefinition(poses);
    Buffer buffer{};
    const std::int32_t size =
        OsvEncodeSkeletonDefinition(&definition, buffer.data(), OSV_MAX_DATAGRAM_BYTES);
    ASSERT_EQ(size, static_cast<std::int32_t>(44 + 28 * poses.size() + 4));

    EXPECT_TRUE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    EXPECT_TRUE(IsSkeletonDefinitionBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    EXPECT_FALSE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    EXPECT_TRUE(IsOsvBytes(size, buffer.data())) << "the exact length suffices";

    const DecodedSkeleton d = decodeSkeleton(buffer);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.senderId, definition.senderId);
    EXPECT_EQ(d.sequence, definition.sequence);
    EXPECT_EQ(d.jointCount, definition.jointCount);
    EXPECT_EQ(d.skeletonId, definition.skeletonId);
    EXPECT_EQ(d.definitionTime, definition.definitionTimeNs);
    expectPoses(poses, d.arrays);
}

TEST_P(SkeletonRoundTrip, FrameDecoderRefusesIt) {
    const auto poses = osvtest::makePoses(GetParam(), 1.0f);
    const OsvSkeletonDefinition definition = osvtest::makeDefinition(poses);
    Buffer buffer{};
    ASSERT_GT(OsvEncodeSkeletonDefinition(&definition, buffer.data(), OSV_MAX_DATAGRAM_BYTES), 0);
    EXPECT_FALSE(decodeFrame(buffer).ok);
}

INSTANTIATE_TEST_SUITE_P(JointCounts, SkeletonRoundTrip,
                         ::testing::Values(0, 1, 27, OSV_MAX_JOINTS));

class FrameRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(FrameRoundTrip, GivesBackEveryValue) {
    const auto poses = osvtest::makePoses(GetParam(), -2.5f);
    std::vector<std::int32_t> status(poses.size());
    for (std::size_t i = 0; i < status.size(); ++i) {
        status[i] = static_cast<std::int32_t>(i % 3) - 1;
    }
    const OsvFrameData frame = osvtest::makeFrame(poses, &status, 41, 7.0 + 1.0 / 30.0);
    Buffer buffer{};
    const std::int32_t size = OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES);
    ASSERT_EQ(size, static_cast<std::int32_t>(44 + 32 * poses.size() + 4));

    EXPECT_TRUE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    EXPECT_TRUE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    EXPECT_FALSE(IsSkeletonDefinitionBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));

    const DecodedFrame d = decodeFrame(buffer);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.senderId, frame.senderId);
    EXPECT_EQ(d.sequence, frame.sequence);
    EXPECT_EQ(d.frameNumber, frame.frameNumber);
    EXPECT_EQ(d.latency, frame.latencyMs);
    EXPECT_EQ(d.timestamp, frame.timestamp);
    EXPECT_EQ(d.jointCount, frame.jointCount);
    ASSERT_NE(d.status, nullptr);
    for (std::size_t i = 0; i < status.size(); ++i) {
        EXPECT_EQ(d.status[i], status[i]);
    }
    expectPoses(poses, d.arrays);
    EXPECT_FALSE(decodeSkeleton(buffer).ok);
}

INSTANTIATE_TEST_SUITE_P(JointCounts, FrameRoundTrip, ::testing::Values(0, 1, 27, OSV_MAX_JOINTS));

TEST(RoundTrip, CarriesSpecialFloatValuesBitForBit) {
    std::vector<OsvJointPose> poses(1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    poses[0] = OsvJointPose{{nan, -inf, -0.0f, std::numeric_limits<float>::denorm_min()},
                            {inf, std::numeric_limits<float>::max(), 0.94f}};
    const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, -5, -1.25);
    Buffer buffer{};
    ASSERT_GT(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), 0);
    const DecodedFrame d = decodeFrame(buffer);
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(std::isnan(d.arrays[0][0]));
    EXPECT_EQ(d.arrays[1][0], -inf);
    EXPECT_TRUE(std::signbit(d.arrays[2][0]));
    EXPECT_EQ(d.arrays[3][0], poses[0].rotation[3]);
    EXPECT_EQ(d.arrays[4][0], inf);
    EXPECT_EQ(d.arrays[6][0], 0.94f);
    EXPECT_EQ(d.status[0], 0) << "no status array means status 0";
    EXPECT_EQ(d.frameNumber, -5);
    EXPECT_EQ(d.timestamp, -1.25);
}

TEST(RoundTrip, NullOutputsAreSkipped) {
    const auto poses = osvtest::makePoses(3, 0.0f);
    const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, 1, 0.5);
    Buffer buffer{};
    ASSERT_GT(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), 0);
    std::int32_t count = 0;
    const float* tx = nullptr;
    EXPECT_TRUE(ConvertBytesToFrameData(OSV_MAX_DATAGRAM_BYTES, buffer.data(), nullptr, nullptr,
                                        nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, &tx, nullptr, nullptr));
    EXPECT_EQ(count, 3);
    ASSERT_NE(tx, nullptr);
    EXPECT_EQ(tx[2], poses[2].translation[0]);
}

TEST(RoundTrip, WorksFromC) {
    Buffer buffer{};
    ASSERT_EQ(osvTestEncodeOneJointFrameFromC(buffer.data(), OSV_MAX_DATAGRAM_BYTES), 44 + 32 + 4);
    EXPECT_TRUE(osvTestIsFrameFromC(buffer.data(), OSV_MAX_DATAGRAM_BYTES));
    const DecodedFrame d = decodeFrame(buffer);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.frameNumber, 9);
    EXPECT_EQ(d.arrays[5][0], 0.5f);
}

// Pins the wire layout to the documented offsets, independently of the
// constants the codec uses.
TEST(WireLayout, FrameHeaderIsAsDocumented) {
    const auto poses = osvtest::makePoses(2, 0.0f);
    const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, 0x01020304, 2.0);
    Buffer buffer{};
    const std::int32_t size = OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES);
    ASSERT_EQ(size, 44 + 2 * 32 + 4);
    const auto* p = reinterpret_cast<const unsigned char*>(buffer.data());
    EXPECT_EQ(std::memcmp(p, "OSVD", 4), 0);
    EXPECT_EQ(p[4] | (p[5] << 8), 2) << "version";
    EXPECT_EQ(p[6] | (p[7] << 8), 2) << "kind: frame data";
    EXPECT_EQ(p[8] | (p[9] << 8) | (p[10] << 16) | (p[11] << 24), size);
    EXPECT_EQ(p[12], 0x08) << "sender id, low byte first";
    EXPECT_EQ(p[24], 2) << "joint count";
    EXPECT_EQ(p[28], 0x04) << "frame number, low byte first";
    double timestamp = 0;
    std::memcpy(&timestamp, p + 36, 8);
    EXPECT_EQ(timestamp, 2.0);
    float secondJointTranslationX = 0;
    std::memcpy(&secondJointTranslationX, p + 44 + 32 + 16, 4);
    EXPECT_EQ(secondJointTranslationX, poses[1].translation[0]);
    std::uint32_t crc = 0;
    std::memcpy(&crc, p + size - 4, 4);
    EXPECT_EQ(crc, osv::crc32c(p, static_cast<std::size_t>(size) - 4));
}

TEST(WireLayout, SkeletonHeaderIsAsDocumented) {
    const auto poses = osvtest::makePoses(1, 0.0f);
    const OsvSkeletonDefinition definition = osvtest::makeDefinition(poses);
    Buffer buffer{};
    ASSERT_EQ(OsvEncodeSkeletonDefinition(&definition, buffer.data(), OSV_MAX_DATAGRAM_BYTES),
              44 + 28 + 4);
    const auto* p = reinterpret_cast<const unsigned char*>(buffer.data());
    EXPECT_EQ(p[6], 1) << "kind: skeleton definition";
    std::uint64_t skeletonId = 0;
    std::memcpy(&skeletonId, p + 28, 8);
    EXPECT_EQ(skeletonId, definition.skeletonId);
    float rotationW = 0;
    std::memcpy(&rotationW, p + 44 + 12, 4);
    EXPECT_EQ(rotationW, poses[0].rotation[3]);
}

TEST(Encoder, RefusesInvalidArguments) {
    const auto poses = osvtest::makePoses(OSV_MAX_JOINTS + 1, 0.0f);
    Buffer buffer{};
    OsvFrameData frame = osvtest::makeFrame(poses, nullptr, 1, 0.0);
    frame.jointCount = OSV_MAX_JOINTS + 1;
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), -1);
    frame.jointCount = -1;
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), -1);
    frame.jointCount = 2;
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), 44 + 2 * 32 + 3), -1) << "one byte short";
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), 44 + 2 * 32 + 4), 44 + 2 * 32 + 4);
    EXPECT_EQ(OsvEncodeFrameData(&frame, nullptr, OSV_MAX_DATAGRAM_BYTES), -1);
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), -1), -1);
    EXPECT_EQ(OsvEncodeFrameData(nullptr, buffer.data(), OSV_MAX_DATAGRAM_BYTES), -1);
    frame.joints = nullptr;
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), -1);
    frame.jointCount = 0;
    EXPECT_EQ(OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES), 48)
        << "no joints need no array";

    OsvSkeletonDefinition definition = osvtest::makeDefinition(poses);
    EXPECT_EQ(OsvEncodeSkeletonDefinition(&definition, buffer.data(), OSV_MAX_DATAGRAM_BYTES), -1);
    definition.jointCount = 1;
    EXPECT_EQ(OsvEncodeSkeletonDefinition(&definition, buffer.data(), 75), -1);
    EXPECT_EQ(OsvEncodeSkeletonDefinition(nullptr, buffer.data(), OSV_MAX_DATAGRAM_BYTES), -1);
}

}  // namespace
