// The fuzz targets' CRC repair: a datagram damaged inside its declared
// extent is accepted again once repaired, with the damage and the stale
// bytes behind it kept; an input with nothing to repair is left alone.
#include "checksumRepair.h"
#include "testDatagrams.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ChecksumRepair, SealsTheDeclaredExtentAndNothingElse) {
    osvtest::Buffer receive;
    receive.fill('\x5A');  // stale bytes of an earlier datagram
    const auto poses = osvtest::makePoses(3, 1.0f);
    const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, 41, 2.5);
    const std::int32_t total = OsvEncodeFrameData(&frame, receive.data(), OSV_MAX_DATAGRAM_BYTES);
    ASSERT_GT(total, 0);
    const std::size_t jointOneRotationX = osv::kHeadBytes + osv::kFrameJointBytes;
    osvtest::poke(receive, jointOneRotationX, 9.5f);
    ASSERT_FALSE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, receive.data()));

    const auto* input = reinterpret_cast<const std::uint8_t*>(receive.data());
    RepairBuffer repaired;
    ASSERT_EQ(repairChecksum(input, OSV_MAX_DATAGRAM_BYTES, repaired), OSV_MAX_DATAGRAM_BYTES);
    const char* bytes = reinterpret_cast<const char*>(repaired);
    const float* rx = nullptr;
    ASSERT_TRUE(ConvertBytesToFrameData(OSV_MAX_DATAGRAM_BYTES, bytes, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, &rx, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(rx[1], 9.5f);
    EXPECT_EQ(std::memcmp(bytes + total, receive.data() + total, OSV_MAX_DATAGRAM_BYTES - total),
              0);

    // A right CRC, a declared extent past the input or below a header, and
    // an input shorter than a header: nothing to repair.
    RepairBuffer again;
    EXPECT_EQ(repairChecksum(repaired, OSV_MAX_DATAGRAM_BYTES, again), 0u);
    EXPECT_EQ(repairChecksum(input, static_cast<std::size_t>(total) - 1, again), 0u);
    EXPECT_EQ(repairChecksum(input, osv::kMinDatagramBytes - 1, again), 0u);
    osvtest::poke(receive, osv::kTotalLengthOffset, std::uint32_t{osv::kMinDatagramBytes - 1});
    EXPECT_EQ(repairChecksum(input, OSV_MAX_DATAGRAM_BYTES, again), 0u);
}

}  // namespace
