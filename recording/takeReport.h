// What a written take holds and what it misses, for the info line the flush
// shows and the figures tools read back from it.
#pragma once

#include "recording/recordedSample.h"

#include <maya/MString.h>

#include <cstdint>
#include <vector>

struct TakeReport {
    std::int64_t framesRecorded = 0;
    std::int64_t gapsFilled = 0;
    std::int64_t longestGapFilled = 0;  // keys synthesized for the longest filled gap
    std::int64_t gapsUnfilled = 0;      // gaps the flush leaves without keys
    std::int64_t framesLost = 0;        // in the stream while the take was recorded
};

// The gap figures of one joint's samples, found by walking them exactly as
// the flush writes them; framesLost is left 0. Host-free.
TakeReport measureTakeGaps(const std::vector<RecordedSample>& samples);

// The report as the one info line shown when a take is written.
MString takeReportLine(const TakeReport& report);
