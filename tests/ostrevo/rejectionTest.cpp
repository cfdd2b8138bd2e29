// Malformed, damaged, truncated and stale datagrams are refused by all five
// decoding functions, and refusal leaves the outputs untouched.
#include "testDatagrams.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using osvtest::Buffer;

// Calls every decoding function and reports whether any accepted the bytes.
// Sentinel outputs check that a refusal writes nothing.
bool anyAccepts(std::int32_t length, const char* bytes) {
    bool accepted = IsOsvBytes(length, bytes) || IsSkeletonDefinitionBytes(length, bytes) ||
                    IsFrameDataBytes(length, bytes);
    std::uint64_t u64 = 0xDEADull;
    std::uint32_t u32 = 0xBEEFu;
    std::int32_t i32a = -77;
    std::int32_t i32b = -78;
    float f = -9.0f;
    double d = -9.5;
    const std::int32_t* status = reinterpret_cast<const std::int32_t*>(&u64);
    const float* sentinel = &f;
    const float* a[7] = {sentinel, sentinel, sentinel, sentinel, sentinel, sentinel, sentinel};
    std::uint64_t u64b = 0xFEEDull;
    const bool skeleton =
        ConvertBytesToSkeletonDefinition(length, bytes, &u64, &u32, &i32a, &u64b, &u64b, &a[0],
                                         &a[1], &a[2], &a[3], &a[4], &a[5], &a[6]);
    const bool frame =
        ConvertBytesToFrameData(length, bytes, &u64, &u32, &i32a, &f, &d, &i32b, &status, &a[0],
                                &a[1], &a[2], &a[3], &a[4], &a[5], &a[6]);
    if (!skeleton && !frame) {
        EXPECT_EQ(u64, 0xDEADull);
        EXPECT_EQ(u32, 0xBEEFu);
        EXPECT_EQ(i32a, -77);
        EXPECT_EQ(i32b, -78);
        EXPECT_EQ(f, -9.0f);
        EXPECT_EQ(d, -9.5);
        EXPECT_EQ(u64b, 0xFEEDull);
        for (const float* p : a) {
            EXPECT_EQ(p, sentinel);
        }
    }
    return accepted || skeleton || frame;
}

class Rejection : public ::testing::Test {
protected:
    // A valid 27-joint frame in a 4096-byte buffer; `size` is its length.
    void SetUp() override {
        const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, 42, 7.5);
        size = OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES);
        ASSERT_GT(size, 0);
        ASSERT_TRUE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    }
    bool accepted() { return anyAccepts(OSV_MAX_DATAGRAM_BYTES, buffer.data()); }
    std::size_t total() const { return static_cast<std::size_t>(size); }

    std::vector<OsvJointPose> poses = osvtest::makePoses(27, 0.5f);
    Buffer buffer{};
    std::int32_t size = 0;
};

TEST_F(Rejection, NullBytesAndShortOrNegativeLengths) {
    EXPECT_FALSE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, nullptr));
    EXPECT_FALSE(anyAccepts(0, nullptr));
    EXPECT_FALSE(anyAccepts(0, buffer.data()));
    EXPECT_FALSE(anyAccepts(-1, buffer.data()));
    EXPECT_FALSE(anyAccepts(INT32_MIN, buffer.data()));
    // Every length short of the datagram refuses it, however much of the
    // header is visible.
    for (std::int32_t length = 1; length < size; ++length) {
        EXPECT_FALSE(anyAccepts(length, buffer.data())) << "length " << length;
    }
    EXPECT_TRUE(anyAccepts(size, buffer.data()));
}

TEST_F(Rejection, HeaderFieldsEvenWithACorrectCrc) {
    struct Damage {
        const char* what;
        std::function<void(Buffer&)> apply;
    };
    const std::size_t n = total();
    const std::vector<Damage> damages = {
        {"magic", [](Buffer& b) { b[0] = 'X'; }},
        {"magic, last byte", [](Buffer& b) { b[3] = 'd'; }},
        {"version 0", [](Buffer& b) { osvtest::poke<std::uint16_t>(b, 4, 0); }},
        {"version 3", [](Buffer& b) { osvtest::poke<std::uint16_t>(b, 4, 3); }},
        {"kind 0", [](Buffer& b) { osvtest::poke<std::uint16_t>(b, 6, 0); }},
        {"kind 3", [](Buffer& b) { osvtest::poke<std::uint16_t>(b, 6, 3); }},
        {"kind skeleton on a frame body", [](Buffer& b) { osvtest::poke<std::uint16_t>(b, 6, 1); }},
        {"joint count 26", [](Buffer& b) { osvtest::poke<std::int32_t>(b, 24, 26); }},
        {"joint count 28", [](Buffer& b) { osvtest::poke<std::int32_t>(b, 24, 28); }},
        {"joint count -1", [](Buffer& b) { osvtest::poke<std::int32_t>(b, 24, -1); }},
        {"joint count huge", [](Buffer& b) { osvtest::poke<std::int32_t>(b, 24, 0x7FFFFFFF); }},
        {"joint count most negative",
         [](Buffer& b) { osvtest::poke<std::int32_t>(b, 24, INT32_MIN); }},
    };
    const Buffer intact = buffer;
    for (const Damage& damage : damages) {
        buffer = intact;
        damage.apply(buffer);
        osvtest::reseal(buffer, n);
        EXPECT_FALSE(accepted()) << damage.what;
    }
}

TEST_F(Rejection, JointCountAgreeingWithALengthBeyondTheLimit) {
    // 121 joints with a matching declared length: refused for the count even
    // though every byte is present and the CRC is right.
    const std::size_t n = osv::datagramBytes(osv::Kind::FrameData, OSV_MAX_JOINTS + 1);
    ASSERT_LE(n, buffer.size());
    osvtest::poke<std::uint32_t>(buffer, 8, static_cast<std::uint32_t>(n));
    osvtest::poke<std::int32_t>(buffer, 24, OSV_MAX_JOINTS + 1);
    osvtest::reseal(buffer, n);
    EXPECT_FALSE(accepted());
}

TEST_F(Rejection, DeclaredLengthBeyondWhatTheCallerPasses) {
    // Declared length longer than the passed length, even with the CRC right
    // for the declared extent.
    EXPECT_FALSE(anyAccepts(size - 1, buffer.data()));
    for (std::uint32_t declared :
         {0u, 47u, 48u, static_cast<std::uint32_t>(size) + 1u, 4097u, 0xFFFFFFFFu}) {
        Buffer copy = buffer;
        osvtest::poke<std::uint32_t>(copy, 8, declared);
        if (declared >= 48 && declared <= copy.size()) {
            osvtest::reseal(copy, declared);
        }
        EXPECT_FALSE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, copy.data())) << "declared " << declared;
    }
}

TEST_F(Rejection, AnyFlippedBitOrWrongCrc) {
    const Buffer intact = buffer;
    for (std::size_t byte = 0; byte < total(); byte += 7) {
        buffer = intact;
        buffer[byte] = static_cast<char>(buffer[byte] ^ 0x10);
        EXPECT_FALSE(accepted()) << "byte " << byte;
    }
    buffer = intact;
    buffer[total() - 1] = static_cast<char>(buffer[total() - 1] + 1);
    EXPECT_FALSE(accepted());
}

TEST_F(Rejection, EachVersionTakesOnlyItsOwnChecksum) {
    const std::size_t n = total();
    ASSERT_TRUE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    // Version 1, CRC-32: still read, and decoded the same.
    osvtest::poke<std::uint16_t>(buffer, 4, 1);
    osvtest::reseal(buffer, n);
    EXPECT_TRUE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    std::int32_t frameNumber = 0;
    EXPECT_TRUE(ConvertBytesToFrameData(OSV_MAX_DATAGRAM_BYTES, buffer.data(), nullptr, nullptr,
                                        &frameNumber, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(frameNumber, 42);
    // A version field that names the other checksum.
    osvtest::poke<std::uint16_t>(buffer, 4, 2);
    EXPECT_FALSE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
}

TEST_F(Rejection, BytesAcceptedOnceAreCheckedAgainWhenTheyChange) {
    // The library skips the checksum for the bytes it accepted last; the
    // same buffer, changed in one bit after that, must fail again.
    const std::size_t n = total();
    for (std::size_t byte = 0; byte < n; byte += 7) {
        ASSERT_TRUE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
        buffer[byte] = static_cast<char>(buffer[byte] ^ 0x10);
        EXPECT_FALSE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, buffer.data())) << "byte " << byte;
        buffer[byte] = static_cast<char>(buffer[byte] ^ 0x10);
    }
}

TEST_F(Rejection, BytesAfterTheDatagramAreIgnored) {
    // Stale bytes past the declared end do not matter.
    for (std::size_t i = total(); i < buffer.size(); ++i) {
        buffer[i] = static_cast<char>(i * 37);
    }
    EXPECT_TRUE(accepted());
}

TEST_F(Rejection, StaleTailOfAnEarlierLongerDatagram) {
    // A 27-joint frame arrives cut short: its first bytes overwrite a
    // 120-joint frame in the reused receive buffer, which supplies the rest.
    const auto longPoses = osvtest::makePoses(OSV_MAX_JOINTS, 9.0f);
    const OsvFrameData longFrame = osvtest::makeFrame(longPoses, nullptr, 41, 7.0);
    Buffer receive{};
    ASSERT_GT(OsvEncodeFrameData(&longFrame, receive.data(), OSV_MAX_DATAGRAM_BYTES), 0);
    ASSERT_TRUE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, receive.data()));

    const Buffer older = receive;
    for (std::size_t cut : {std::size_t{48}, total() / 2, total() - 4, total() - 1}) {
        receive = older;
        std::memcpy(receive.data(), buffer.data(), cut);
        EXPECT_FALSE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, receive.data())) << "cut at " << cut;
    }

    // The complete short datagram over the longer one is fine.
    receive = older;
    std::memcpy(receive.data(), buffer.data(), total());
    EXPECT_TRUE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, receive.data()));
}

TEST(RejectionOfNoise, ZeroAndPatternedBuffers) {
    Buffer buffer{};
    EXPECT_FALSE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    buffer.fill(static_cast<char>(0xFF));
    EXPECT_FALSE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
    // Correct magic, version and kind but nothing else.
    std::memcpy(buffer.data(), "OSVD\x01\x00\x02\x00", 8);
    EXPECT_FALSE(anyAccepts(OSV_MAX_DATAGRAM_BYTES, buffer.data()));
}

}  // namespace
