// The keys of one joint's take: every recorded sample at its own time, and
// one synthesized sample for each whole frame skipped between two of them,
// up to a bound. Host-free, so the gap rule can be checked without curves.
#pragma once

#include "recording/recordedSample.h"
#include "recording/rotation.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

// Whole frames to synthesize for a gap of `span` (> 1) frames past the last
// key: span - 1 truncated toward zero, saturated to the 32-bit range so that
// an absurd time cannot overflow the conversion.
inline std::int32_t skippedFrameCount(double span) {
    const double frames = std::trunc(span - 1.0);
    if (!(frames > 0.0)) {
        return 0;
    }
    if (frames >= 2147483647.0) {
        return 2147483647;
    }
    return static_cast<std::int32_t>(frames);
}

// The most frames one gap may get synthesized keys for, in frames of the UI
// time unit: ten seconds at 60 frames a second, the fastest sender rate (20 s
// at 30). A longer gap is a jump of the scene time, not lost frames; filling
// it would add a key per frame to each of the 162 curves, millions for a jump
// of a day, and hang the host.
inline constexpr std::int32_t kMaxFilledGapFrames = 600;

// Calls addKey(time, sample) for each key of the take, in time order of
// writing. Samples are visited in the order they were recorded; a gap is
// filled only after an earlier key at a time above -1, only towards a finite
// time more than one frame later, and only when it skips at most
// `maxFilledGap` frames (none: 0). Each synthesized key lies between the last key
// written and the next real sample at the fraction that reaches that sample
// after the remaining whole frames. Returns the frames of longer gaps, which
// were left unfilled.
template <typename AddKey>
std::int64_t forEachTakeKey(const RecordedSample* samples, std::size_t count, AddKey&& addKey,
                            std::int32_t maxFilledGap = kMaxFilledGapFrames) {
    std::int64_t unfilled = 0;
    double lastTime = -1.0;  // no key yet
    RecordedSample last{};
    for (std::size_t i = 0; i < count; ++i) {
        const RecordedSample& sample = samples[i];
        const double time = sample.time;
        if (lastTime > -1.0 && std::isfinite(time) && time > lastTime + 1.0) {
            const std::int32_t gap = skippedFrameCount(time - lastTime);
            if (gap > maxFilledGap) {
                // Below 2^31 per sample, so no buffer that fits in memory
                // can overflow the sum.
                unfilled += gap;
            } else {
                for (std::int32_t k = 0; k < gap; ++k) {
                    const double fraction = 1.0 / (time - lastTime);
                    RecordedSample between = interpolateSample(last, sample, fraction);
                    lastTime = lastTime + 1.0;
                    between.time = lastTime;
                    addKey(lastTime, between);
                    last = between;
                }
            }
        }
        addKey(time, sample);
        last = sample;
        lastTime = time;
    }
    return unfilled;
}
