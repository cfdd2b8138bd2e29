#include "recording/stageCut.h"

#include "recording/captureTimeline.h"

#include <cmath>

namespace {

// Stamps are seconds in double: a frame stamped exactly at the moment
// counts as at it, whatever the rounding of the Delay's addition.
constexpr double kStampSlackSeconds = 1e-6;

bool carriesOnFrom(const JournalFrame& from, const JournalFrame& later) {
    return stampCarriesOn(from.timestamp, from.arrivalNs, later);
}

// The capture clock's time when a message arrived at `arrivalNs`, read
// from `reference`'s stamp and the time between the two arrivals.
double captureTimeAt(const JournalFrame& reference, std::int64_t arrivalNs) {
    return reference.timestamp + static_cast<double>(arrivalNs - reference.arrivalNs) * 1e-9;
}

}  // namespace

std::size_t stageTakeStart(const std::vector<JournalFrame>& frames, std::size_t arrived,
                           std::int64_t arrivalNs, double delaySeconds) {
    if (arrived >= frames.size()) {
        return frames.size();
    }
    const JournalFrame& reference = frames[arrived];
    const double start = captureTimeAt(reference, arrivalNs) + delaySeconds - kStampSlackSeconds;
    for (std::size_t i = arrived; i < frames.size(); ++i) {
        if (!carriesOnFrom(reference, frames[i]) || frames[i].timestamp >= start) {
            return i;
        }
    }
    return frames.size();
}

std::size_t stageTakeEnd(const std::vector<JournalFrame>& frames, std::int64_t arrivalNs,
                         double delaySeconds, bool inclusive) {
    // The last frame that arrived at or before the message; with none,
    // the first (every frame came after it).
    std::size_t reference = 0;
    for (std::size_t i = frames.size(); i-- > 0;) {
        if (frames[i].arrivalNs <= arrivalNs) {
            reference = i;
            break;
        }
    }
    if (reference >= frames.size()) {
        return frames.size();
    }
    const JournalFrame& at = frames[reference];
    const double end = captureTimeAt(at, arrivalNs) + delaySeconds;
    std::size_t kept = reference;
    while (kept < frames.size()) {
        const JournalFrame& frame = frames[kept];
        const bool within = inclusive ? frame.timestamp <= end + kStampSlackSeconds
                                      : frame.timestamp < end - kStampSlackSeconds;
        if (!within || !carriesOnFrom(at, frame)) {
            break;
        }
        ++kept;
    }
    return kept;
}
