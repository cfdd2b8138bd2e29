// Version 3 frame data: the timecode's round trip, the earlier versions
// read beside it, and every field the decoder refuses.
#include "testDatagrams.h"

#include <gtest/gtest.h>

namespace {

using osvtest::Buffer;

constexpr std::uint8_t kDrop = OSV_TIMECODE_PRESENT | OSV_TIMECODE_DROP_FRAME;

OsvTimecode readTimecode(const Buffer& buffer) {
    OsvTimecode t{};
    EXPECT_TRUE(ConvertBytesToFrameTimecode(OSV_MAX_DATAGRAM_BYTES, buffer.data(), &t));
    return t;
}

bool same(const OsvTimecode& a, const OsvTimecode& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(TimecodeCodec, RoundTripEarlierVersionsAndEveryRefusedField) {
    const auto poses = osvtest::makePoses(27, 1.0f);
    const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, 42, 3.5);
    const OsvTimecode sent{10, 1, 0, 2, 3, OSV_TIMECODE_RATE_29_97, kDrop, 0};
    Buffer v3{};
    const int total =
        OsvEncodeFrameDataWithTimecode(&frame, &sent, v3.data(), OSV_MAX_DATAGRAM_BYTES);
    ASSERT_EQ(total, 56 + 32 * 27);
    EXPECT_EQ(v3[4], 3);
    EXPECT_TRUE(same(readTimecode(v3), sent));
    // The pose and header come out as from version 2.
    std::int32_t number = 0;
    double stamp = 0.0;
    const float* tz = nullptr;
    ASSERT_TRUE(ConvertBytesToFrameData(OSV_MAX_DATAGRAM_BYTES, v3.data(), nullptr, nullptr,
                                        &number, nullptr, &stamp, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, &tz));
    EXPECT_EQ(number, 42);
    EXPECT_EQ(stamp, 3.5);
    EXPECT_EQ(tz[26], poses[26].translation[2]);

    // Without a timecode the encoder writes version 2; versions 1 and 2 read
    // with none.
    Buffer v2{};
    const int v2Total = OsvEncodeFrameData(&frame, v2.data(), OSV_MAX_DATAGRAM_BYTES);
    ASSERT_EQ(v2Total, 48 + 32 * 27);
    EXPECT_EQ(v2[4], 2);
    OsvTimecode none{};
    EXPECT_TRUE(same(readTimecode(v2), none));
    osvtest::poke<std::uint16_t>(v2, 4, 1);
    osvtest::reseal(v2, static_cast<std::size_t>(v2Total));
    EXPECT_TRUE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, v2.data()));
    EXPECT_TRUE(same(readTimecode(v2), none));
    // A version 2 datagram relabelled 3 is too short for its joints.
    osvtest::poke<std::uint16_t>(v2, 4, 3);
    osvtest::reseal(v2, static_cast<std::size_t>(v2Total));
    EXPECT_FALSE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, v2.data()));
    // A version 3 frame may say it has no timecode: all eight bytes zero.
    Buffer absent{};
    const OsvTimecode notPresent{};
    ASSERT_GT(OsvEncodeFrameDataWithTimecode(&frame, &notPresent, absent.data(), 4096), 0);
    EXPECT_EQ(absent[4], 2) << "no timecode: version 2, read by older receivers";

    // Each field out of range, edited into the version 3 datagram and
    // resealed, is refused by all five functions and the export.
    struct Bad {
        std::size_t field;  // byte of the timecode
        std::uint8_t value;
        const char* what;
    };
    const Bad bad[] = {
        {0, 24, "hours"},
        {1, 60, "minutes"},
        {2, 60, "seconds"},
        {3, 30, "frames at 29.97"},
        {4, 100, "subframe"},
        {5, 0, "no rate"},
        {5, 11, "unknown rate code"},
        {5, OSV_TIMECODE_RATE_30, "drop-frame at 30"},
        {6, 0x07, "unknown flag"},
        {6, 0x00, "not present yet filled in"},
        {7, 1, "reserved"},
        {3, 0, "label ;00 drop-frame skips"},
        {3, 1, "label ;01 drop-frame skips"},
    };
    for (const Bad& b : bad) {
        Buffer edited = v3;
        edited[osv::kTimecodeOffset + b.field] = static_cast<char>(b.value);
        osvtest::reseal(edited, static_cast<std::size_t>(total));
        EXPECT_FALSE(IsOsvBytes(OSV_MAX_DATAGRAM_BYTES, edited.data())) << b.what;
        EXPECT_FALSE(IsFrameDataBytes(OSV_MAX_DATAGRAM_BYTES, edited.data())) << b.what;
        OsvTimecode untouched{1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_FALSE(ConvertBytesToFrameTimecode(OSV_MAX_DATAGRAM_BYTES, edited.data(), &untouched))
            << b.what;
        EXPECT_EQ(untouched.hours, 1) << b.what;
        EXPECT_FALSE(ConvertBytesToFrameData(
            OSV_MAX_DATAGRAM_BYTES, edited.data(), nullptr, nullptr, nullptr, nullptr, nullptr,
            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            << b.what;
        // The encoder refuses the same timecode.
        OsvTimecode asSent{};
        std::memcpy(&asSent, edited.data() + osv::kTimecodeOffset, sizeof asSent);
        if (asSent.flags & OSV_TIMECODE_PRESENT) {
            Buffer out{};
            EXPECT_EQ(OsvEncodeFrameDataWithTimecode(&frame, &asSent, out.data(), 4096), -1)
                << b.what;
        }
    }
    // Every tenth minute keeps ;00, and 59.94 skips four labels, not two.
    const OsvTimecode kept[] = {{10, 10, 0, 0, 0, OSV_TIMECODE_RATE_29_97, kDrop, 0},
                                {0, 1, 0, 4, 0, OSV_TIMECODE_RATE_59_94, kDrop, 0},
                                {23, 59, 59, 59, 99, OSV_TIMECODE_RATE_60, 1, 0},
                                {0, 0, 0, 23, 0, OSV_TIMECODE_RATE_23_976, 1, 0}};
    for (const OsvTimecode& t : kept) {
        Buffer out{};
        ASSERT_GT(OsvEncodeFrameDataWithTimecode(&frame, &t, out.data(), 4096), 0);
        EXPECT_TRUE(same(readTimecode(out), t));
    }
    const OsvTimecode skipped{0, 1, 0, 3, 0, OSV_TIMECODE_RATE_59_94, kDrop, 0};
    Buffer out{};
    EXPECT_EQ(OsvEncodeFrameDataWithTimecode(&frame, &skipped, out.data(), 4096), -1);
}

}  // namespace
