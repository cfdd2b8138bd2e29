// What a datagram's timecode may hold: SMPTE labels at the ten rates the
// format knows, drop-frame only where the rate drops labels.
#include "wireFormat.h"

namespace osv {

namespace {

// Nominal frames a second of each rate code, 0 for a code the format lacks.
int nominalFrames(std::uint8_t rate) {
    static constexpr std::uint8_t kNominal[] = {0, 24, 24, 25, 30, 30, 48, 48, 50, 60, 60};
    return rate < sizeof kNominal ? kNominal[rate] : 0;
}

// Labels drop-frame skips at the start of each minute but every tenth; 0
// for a rate that has no drop-frame form.
int droppedLabels(std::uint8_t rate) {
    if (rate == OSV_TIMECODE_RATE_29_97) return 2;
    if (rate == OSV_TIMECODE_RATE_59_94) return 4;
    return 0;
}

}  // namespace

bool timecodeValid(const OsvTimecode& t) {
    if ((t.flags & OSV_TIMECODE_PRESENT) == 0) {
        return t.hours == 0 && t.minutes == 0 && t.seconds == 0 && t.frames == 0 &&
               t.subframe == 0 && t.rate == 0 && t.flags == 0 && t.reserved == 0;
    }
    const int nominal = nominalFrames(t.rate);
    if (nominal == 0 || t.reserved != 0 ||
        (t.flags & ~(OSV_TIMECODE_PRESENT | OSV_TIMECODE_DROP_FRAME)) != 0) {
        return false;
    }
    if (t.hours > 23 || t.minutes > 59 || t.seconds > 59 || t.frames >= nominal ||
        t.subframe > 99) {
        return false;
    }
    if ((t.flags & OSV_TIMECODE_DROP_FRAME) == 0) {
        return true;
    }
    const int dropped = droppedLabels(t.rate);
    if (dropped == 0) {
        return false;
    }
    return !(t.seconds == 0 && t.frames < dropped && t.minutes % 10 != 0);
}

}  // namespace osv
