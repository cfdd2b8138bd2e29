// Timecode as the plug-in counts it, and its way from a datagram through the
// store into the journal, with and without the library's timecode export.
#include "intake/captureJournal.h"
#include "intake/linkedFormatLibrary.h"
#include "intake/motionDataStore.h"
#include "intake/timecode.h"
#include "ostrevo/ostrevo.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// Frame counts and their labels across minute and ten-minute boundaries,
// drop-frame at both rates that have it, and a non-drop row for contrast.
TEST(Timecode, FrameCountsAndLabelsAgreeBothWays) {
    struct Row {
        TimecodeRate rate;
        bool dropFrame;
        std::int64_t count;
        const char* label;
    };
    const Row rows[] = {
        {TimecodeRate::k29_97, true, 0, "00:00:00;00"},
        {TimecodeRate::k29_97, true, 1799, "00:00:59;29"},
        {TimecodeRate::k29_97, true, 1800, "00:01:00;02"},  // ;00 and ;01 skipped
        {TimecodeRate::k29_97, true, 3597, "00:01:59;29"},
        {TimecodeRate::k29_97, true, 3598, "00:02:00;02"},
        {TimecodeRate::k29_97, true, 17981, "00:09:59;29"},
        {TimecodeRate::k29_97, true, 17982, "00:10:00;00"},  // every tenth minute keeps them
        {TimecodeRate::k29_97, true, 19781, "00:10:59;29"},
        {TimecodeRate::k29_97, true, 19782, "00:11:00;02"},
        {TimecodeRate::k29_97, true, 107892, "01:00:00;00"},
        {TimecodeRate::k29_97, true, 1078920 + 1800, "10:01:00;02"},
        {TimecodeRate::k29_97, true, 2589407, "23:59:59;29"},
        {TimecodeRate::k59_94, true, 3599, "00:00:59;59"},
        {TimecodeRate::k59_94, true, 3600, "00:01:00;04"},
        {TimecodeRate::k59_94, true, 35964, "00:10:00;00"},
        {TimecodeRate::k30, false, 1800, "00:01:00:00"},
        {TimecodeRate::k30, false, 1080000, "10:00:00:00"},
        {TimecodeRate::k23_976, false, 86399, "00:59:59:23"},
    };
    for (const Row& row : rows) {
        const FrameTimecode label = timecodeAtFrame(row.count, row.rate, row.dropFrame);
        EXPECT_EQ(formatTimecode(label), row.label) << row.count;
        const auto parsed = parseTimecode(row.label, row.rate, row.dropFrame);
        ASSERT_TRUE(parsed.has_value()) << row.label;
        EXPECT_EQ(timecodeFrameCount(*parsed), row.count) << row.label;
    }
    // A day wraps; the labels drop-frame skips are no timecode at all.
    EXPECT_EQ(formatTimecode(timecodeAtFrame(2589408, TimecodeRate::k29_97, true)), "00:00:00;00");
    EXPECT_FALSE(parseTimecode("00:01:00;01", TimecodeRate::k29_97, true).has_value());
    EXPECT_FALSE(parseTimecode("00:01:00;03", TimecodeRate::k59_94, true).has_value());
    EXPECT_TRUE(parseTimecode("00:01:00:01", TimecodeRate::k29_97, false).has_value());
    EXPECT_FALSE(parseTimecode("00:00:00;00", TimecodeRate::k30, true).has_value());
    EXPECT_FALSE(parseTimecode("00:00:00:30", TimecodeRate::k30, false).has_value());
    EXPECT_FALSE(parseTimecode("24:00:00:00", TimecodeRate::k25, false).has_value());
    EXPECT_FALSE(parseTimecode("0:00:00:00", TimecodeRate::k25, false).has_value());
    // Seconds at the real rate: an hour of 29.97 drop-frame labels is an
    // hour of frames at 30000/1001 less 3.6 ms.
    const auto hour = parseTimecode("01:00:00;00", TimecodeRate::k29_97, true);
    EXPECT_DOUBLE_EQ(timecodeSeconds(*hour), 107892.0 * 1001.0 / 30000.0);
    EXPECT_EQ(timecodeRateFor(29.97), TimecodeRate::k29_97);
    EXPECT_EQ(timecodeRateFor(29.0), TimecodeRate::kNone);
}

TEST(Timecode, TheStoreAndJournalKeepAFramesTimecodeOnlyThroughTheExport) {
    static int moduleStandIn = 0;
    gFormatLibrary = linkedFormatLibrary(&moduleStandIn);
    std::vector<OsvJointPose> poses(27, OsvJointPose{{0, 0, 0, 1}, {0.1f, 0.2f, 0.3f}});
    const OsvFrameData frame{1, 2, 7, 0.0f, 0.25, 27, nullptr, poses.data()};
    const OsvTimecode sent{
        10, 1, 0, 2, 3, OSV_TIMECODE_RATE_29_97, OSV_TIMECODE_PRESENT | OSV_TIMECODE_DROP_FRAME, 0};
    std::array<char, OSV_MAX_DATAGRAM_BYTES> buffer{};
    ASSERT_GT(OsvEncodeFrameDataWithTimecode(&frame, &sent, buffer.data(), 4096), 0);

    MotionDataStore store;
    ASSERT_TRUE(store.decodeFrameData(buffer.data(), 4096));
    const FrameTimecode got = store.currentFrame().timecode;
    EXPECT_EQ(formatTimecode(got), "10:01:00;02");
    EXPECT_EQ(got.subframe, 3);
    CaptureJournal journal;
    journal.reserve(4);
    journal.append(store.poseRecords(), 7, 0.25, 1, got);
    JournalFrame read{};
    ASSERT_TRUE(journal.read(0, read));
    EXPECT_EQ(formatTimecode(read.timecode), "10:01:00;02");
    EXPECT_EQ(read.timecode.subframe, 3);

    // A library without the export: the same frame decodes, with no timecode.
    gFormatLibrary.convertBytesToFrameTimecode = nullptr;
    ASSERT_TRUE(store.decodeFrameData(buffer.data(), 4096));
    EXPECT_FALSE(store.currentFrame().timecode.present());
    // Version 2 frames have none, and the export is not asked about them.
    gFormatLibrary = linkedFormatLibrary(&moduleStandIn);
    ASSERT_GT(OsvEncodeFrameData(&frame, buffer.data(), 4096), 0);
    ASSERT_TRUE(store.decodeFrameData(buffer.data(), 4096));
    EXPECT_FALSE(store.currentFrame().timecode.present());
    gFormatLibrary = FormatLibraryEntryPoints{};
}

}  // namespace
