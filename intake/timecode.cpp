#include "intake/timecode.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr std::int64_t kSecondsPerDay = std::int64_t{24} * 3600;

bool isNtscRate(std::uint8_t rate) {
    const auto r = static_cast<TimecodeRate>(rate);
    return r == TimecodeRate::k23_976 || r == TimecodeRate::k29_97 || r == TimecodeRate::k47_95 ||
           r == TimecodeRate::k59_94;
}

// Frames in a day of labels at the rate.
std::int64_t framesPerDay(std::uint8_t rate, bool dropFrame) {
    const std::int64_t nominal = nominalFrames(rate);
    const std::int64_t dropped = dropFrame ? droppedLabels(rate) : 0;
    // 144 ten-minute blocks a day, 9 minutes of each dropping labels.
    return kSecondsPerDay * nominal - std::int64_t{144} * 9 * dropped;
}

}  // namespace

int nominalFrames(std::uint8_t rate) {
    static constexpr std::uint8_t kNominal[] = {0, 24, 24, 25, 30, 30, 48, 48, 50, 60, 60};
    return rate < sizeof kNominal ? kNominal[rate] : 0;
}

double timecodeFramesPerSecond(std::uint8_t rate) {
    const double nominal = nominalFrames(rate);
    return isNtscRate(rate) ? nominal * 1000.0 / 1001.0 : nominal;
}

TimecodeRate timecodeRateFor(double framesPerSecond) {
    for (std::uint8_t code = 1; code <= static_cast<std::uint8_t>(TimecodeRate::k60); ++code) {
        if (std::fabs(timecodeFramesPerSecond(code) - framesPerSecond) < 0.01) {
            return static_cast<TimecodeRate>(code);
        }
    }
    return TimecodeRate::kNone;
}

int droppedLabels(std::uint8_t rate) {
    const auto r = static_cast<TimecodeRate>(rate);
    return r == TimecodeRate::k29_97 ? 2 : r == TimecodeRate::k59_94 ? 4 : 0;
}

bool timecodeValid(const FrameTimecode& t) {
    const int nominal = nominalFrames(t.rate);
    if (!t.present() || nominal == 0 || t.reserved != 0 ||
        (t.flags & ~(FrameTimecode::kPresent | FrameTimecode::kDropFrame)) != 0) {
        return false;
    }
    if (t.hours > 23 || t.minutes > 59 || t.seconds > 59 || t.frames >= nominal ||
        t.subframe > 99) {
        return false;
    }
    if (!t.dropFrame()) {
        return true;
    }
    const int dropped = droppedLabels(t.rate);
    return dropped > 0 && !(t.seconds == 0 && t.frames < dropped && t.minutes % 10 != 0);
}

std::int64_t timecodeFrameCount(const FrameTimecode& t) {
    if (!timecodeValid(t)) {
        return -1;
    }
    const std::int64_t nominal = nominalFrames(t.rate);
    const std::int64_t minutes = std::int64_t{t.hours} * 60 + t.minutes;
    const std::int64_t labels = (minutes * 60 + t.seconds) * nominal + t.frames;
    if (!t.dropFrame()) {
        return labels;
    }
    // Every minute but each tenth skips its first labels.
    return labels - droppedLabels(t.rate) * (minutes - minutes / 10);
}

FrameTimecode timecodeAtFrame(std::int64_t count, TimecodeRate rate, bool dropFrame) {
    const auto code = static_cast<std::uint8_t>(rate);
    const std::int64_t nominal = nominalFrames(code);
    FrameTimecode t;
    if (nominal == 0) {
        return t;
    }
    const std::int64_t dropped = dropFrame ? droppedLabels(code) : 0;
    const std::int64_t day = framesPerDay(code, dropped > 0);
    count %= day;
    if (count < 0) {
        count += day;
    }
    std::int64_t labels = count;
    if (dropped > 0) {
        // Put back the labels skipped before this frame.
        const std::int64_t perTenMinutes = 600 * nominal - 9 * dropped;
        const std::int64_t perMinute = 60 * nominal - dropped;
        const std::int64_t blocks = count / perTenMinutes;
        const std::int64_t within = count % perTenMinutes;
        labels += 9 * dropped * blocks;
        if (within >= dropped) {
            labels += dropped * ((within - dropped) / perMinute);
        }
    }
    t.frames = static_cast<std::uint8_t>(labels % nominal);
    const std::int64_t seconds = labels / nominal;
    t.seconds = static_cast<std::uint8_t>(seconds % 60);
    t.minutes = static_cast<std::uint8_t>(seconds / 60 % 60);
    t.hours = static_cast<std::uint8_t>(seconds / 3600);
    t.rate = code;
    t.flags = static_cast<std::uint8_t>(FrameTimecode::kPresent |
                                        (dropped > 0 ? FrameTimecode::kDropFrame : 0));
    return t;
}

double timecodeSeconds(const FrameTimecode& t) {
    const std::int64_t count = timecodeFrameCount(t);
    if (count < 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    // Exact for the whole rates; the others as count * 1001 / (nominal * 1000).
    const double nominal = nominalFrames(t.rate);
    return isNtscRate(t.rate) ? static_cast<double>(count) * 1001.0 / (nominal * 1000.0)
                              : static_cast<double>(count) / nominal;
}

std::string formatTimecode(const FrameTimecode& t) {
    if (!timecodeValid(t)) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u%c%02u", unsigned{t.hours}, unsigned{t.minutes},
                  unsigned{t.seconds}, t.dropFrame() ? ';' : ':', unsigned{t.frames});
    return text;
}

std::optional<FrameTimecode> parseTimecode(const std::string& text, TimecodeRate rate,
                                           bool dropFrame) {
    // Exactly two digits per field.
    if (text.size() != 11 || text[2] != ':' || text[5] != ':' ||
        (text[8] != ':' && text[8] != ';')) {
        return std::nullopt;
    }
    int fields[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const char high = text[3 * i];
        const char low = text[3 * i + 1];
        if (high < '0' || high > '9' || low < '0' || low > '9') {
            return std::nullopt;
        }
        fields[i] = (high - '0') * 10 + (low - '0');
    }
    FrameTimecode t;
    t.hours = static_cast<std::uint8_t>(fields[0]);
    t.minutes = static_cast<std::uint8_t>(fields[1]);
    t.seconds = static_cast<std::uint8_t>(fields[2]);
    t.frames = static_cast<std::uint8_t>(fields[3]);
    t.rate = static_cast<std::uint8_t>(rate);
    t.flags = static_cast<std::uint8_t>(FrameTimecode::kPresent |
                                        (dropFrame ? FrameTimecode::kDropFrame : 0));
    if (!timecodeValid(t)) {
        return std::nullopt;
    }
    return t;
}
