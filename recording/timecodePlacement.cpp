// Host-free half of takeTimecode.h: where timecode puts a take's frames.
#include "recording/takeTimecode.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSecondsPerDay = 24.0 * 3600.0;

}  // namespace

double timecodeSceneTime(const FrameTimecode& timecode, int captureRate, double framesPerSecond) {
    const double seconds = timecodeSeconds(timecode);
    // Without a known capture rate the subframes of a timecode frame cannot
    // be told apart: they keep their first arrival only.
    const double subframe =
        captureRate > 0 ? static_cast<double>(timecode.subframe) / captureRate : 0.0;
    return (seconds + subframe) * framesPerSecond;
}

std::vector<TimedFrame> placeByTimecode(const std::vector<JournalFrame>& frames,
                                        double framesPerSecond, int captureRate,
                                        std::int64_t* leftOut) {
    std::vector<TimedFrame> placed;
    std::int64_t without = 0;
    const double day = kSecondsPerDay * framesPerSecond;
    double first = 0.0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        double time = timecodeSceneTime(frames[i].timecode, captureRate, framesPerSecond);
        if (!std::isfinite(time)) {
            ++without;
            continue;
        }
        if (placed.empty()) {
            first = time;
        } else if (time < first - day / 2) {
            time += day;  // past midnight
        }
        placed.push_back(TimedFrame{time, static_cast<std::uint32_t>(i)});
    }
    if (leftOut != nullptr) {
        *leftOut = without;
    }
    // Stable: of frames at the same time the first to arrive comes first.
    std::stable_sort(placed.begin(), placed.end(),
                     [](const TimedFrame& a, const TimedFrame& b) { return a.time < b.time; });
    placed.erase(
        std::unique(placed.begin(), placed.end(),
                    [](const TimedFrame& a, const TimedFrame& b) { return a.time == b.time; }),
        placed.end());
    return placed;
}

TakeTimecode takeTimecode(const std::vector<JournalFrame>& frames,
                          const std::vector<TimedFrame>& timeline) {
    TakeTimecode found;
    for (const TimedFrame& placed : timeline) {
        const FrameTimecode& timecode = frames[placed.index].timecode;
        if (!timecodeValid(timecode)) continue;
        if (!found.start.present()) found.start = timecode;
        found.end = timecode;
    }
    return found;
}
