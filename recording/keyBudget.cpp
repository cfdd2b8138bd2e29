#include "recording/keyBudget.h"

#include "recording/keyTimeline.h"

#include <algorithm>
#include <cmath>

double capturedSeconds(const std::vector<JournalFrame>& frames) {
    // In arrival order: one receiving thread stamps them from a steady clock.
    if (frames.empty()) {
        return 0.0;
    }
    return std::max<double>(static_cast<double>(frames.back().arrivalNs - frames.front().arrivalNs),
                            0.0) *
           1e-9;
}

double keyBudget(std::size_t frameCount, double capturedSeconds, double sceneFramesPerSecond) {
    return static_cast<double>(frameCount) +
           2.0 * std::ceil(std::max(capturedSeconds, 0.0) * sceneFramesPerSecond) +
           2.0 * kMaxFilledGapFrames;
}

double wholeFrameKeyCount(const std::vector<TimedFrame>& timeline) {
    if (timeline.empty()) {
        return 0.0;
    }
    double count = std::floor(timeline.back().time) - std::ceil(timeline.front().time) + 1.0;
    for (std::size_t k = 0; k + 1 < timeline.size(); ++k) {
        const double from = timeline[k].time;
        const double to = timeline[k + 1].time;
        if (skippedFrameCount(to - from) > kMaxFilledGapFrames) {
            // The whole frames strictly inside a gap too long to fill.
            count -= std::max(0.0, (std::ceil(to) - 1.0) - (std::floor(from) + 1.0) + 1.0);
        }
    }
    return std::max(count, 0.0);
}

double capturedKeyCount(const std::vector<TimedFrame>& timeline) {
    double count = static_cast<double>(timeline.size());
    for (std::size_t k = 0; k + 1 < timeline.size(); ++k) {
        const double span = timeline[k + 1].time - timeline[k].time;
        if (span > 1.0) {
            const std::int32_t gap = skippedFrameCount(span);
            count += gap > kMaxFilledGapFrames ? 0.0 : gap;
        }
    }
    return count;
}
