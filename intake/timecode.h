// SMPTE timecode as the plug-in keeps it: a frame's label at one of the ten
// rates of the datagram format, counted into frames and seconds, and written
// as text ("hh:mm:ss:ff", ';' before the frames when drop-frame). Host-free,
// so the tools share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The rate codes of the datagram format (0: no timecode).
enum class TimecodeRate : std::uint8_t {
    kNone = 0,
    k23_976 = 1,
    k24 = 2,
    k25 = 3,
    k29_97 = 4,
    k30 = 5,
    k47_95 = 6,
    k48 = 7,
    k50 = 8,
    k59_94 = 9,
    k60 = 10,
};

// A frame's timecode, byte for byte the datagram's 8 timecode bytes, so that
// the library writes it and the journal stores it as it comes.
struct FrameTimecode {
    static constexpr std::uint8_t kPresent = 0x01;
    static constexpr std::uint8_t kDropFrame = 0x02;

    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    std::uint8_t seconds = 0;
    std::uint8_t frames = 0;
    std::uint8_t subframe = 0;  // the captured frame's place within its timecode frame
    std::uint8_t rate = 0;      // a TimecodeRate
    std::uint8_t flags = 0;
    std::uint8_t reserved = 0;

    bool present() const { return (flags & kPresent) != 0; }
    bool dropFrame() const { return (flags & kDropFrame) != 0; }
};
static_assert(sizeof(FrameTimecode) == 8);

// Nominal frames a second of a rate code (24 for 23.976, 30 for 29.97 ...);
// 0 for a code that names no rate.
int nominalFrames(std::uint8_t rate);
// Frames a second in fact (30000/1001 for 29.97); 0 for no rate.
double timecodeFramesPerSecond(std::uint8_t rate);
// The code of a rate given as a number (23.976, 29.97, 30 ...; 0.01 of
// slack), or kNone.
TimecodeRate timecodeRateFor(double framesPerSecond);
// Labels drop-frame skips each minute but every tenth: 2 at 29.97, 4 at
// 59.94, 0 where the rate has no drop-frame form.
int droppedLabels(std::uint8_t rate);

// Present, each field in range, drop-frame only at 29.97 and 59.94 and never
// on a label it skips.
bool timecodeValid(const FrameTimecode& timecode);

// Frames since 00:00:00:00 at the timecode's rate, skipped labels not
// counted (the subframe is not part of it). -1 for an invalid timecode.
std::int64_t timecodeFrameCount(const FrameTimecode& timecode);
// The label `count` frames after 00:00:00:00 (wrapping at 24 hours).
FrameTimecode timecodeAtFrame(std::int64_t count, TimecodeRate rate, bool dropFrame);
// Seconds since 00:00:00:00 of the timecode frame's start: its frame count
// at the rate's real frames a second. NaN for an invalid timecode.
double timecodeSeconds(const FrameTimecode& timecode);

// "hh:mm:ss:ff", or "hh:mm:ss;ff" for drop-frame; empty for an invalid one.
std::string formatTimecode(const FrameTimecode& timecode);
// Reads "HH:MM:SS:FF" (';' or ':' before the frames) at the rate; nothing
// when the text or the label is not valid there.
std::optional<FrameTimecode> parseTimecode(const std::string& text, TimecodeRate rate,
                                           bool dropFrame);
