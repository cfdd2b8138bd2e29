#include "recording/takeReport.h"

#include "plugin/messageTable.h"
#include "recording/keyTimeline.h"

#include <cmath>
#include <cstdio>

TakeReport measureTakeGaps(const std::vector<RecordedSample>& samples) {
    TakeReport report;
    report.framesRecorded = static_cast<std::int64_t>(samples.size());
    const RecordedSample* const first = samples.data();
    const RecordedSample* const end = first + samples.size();
    bool havePrevious = false;
    double previousTime = 0.0;
    std::int64_t synthesized = 0;
    // Recorded samples reach the callback as themselves; any other key was
    // synthesized for the gap before the next recorded one.
    forEachTakeKey(first, samples.size(), [&](double, const RecordedSample& key) {
        if (&key < first || &key >= end) {
            ++synthesized;
            return;
        }
        if (havePrevious && previousTime > -1.0 && std::isfinite(key.time) &&
            skippedFrameCount(key.time - previousTime) > 0) {
            if (synthesized > 0) {
                ++report.gapsFilled;
                report.longestGapFilled =
                    synthesized > report.longestGapFilled ? synthesized : report.longestGapFilled;
            } else {
                ++report.gapsUnfilled;
            }
        }
        synthesized = 0;
        havePrevious = true;
        previousTime = key.time;
    });
    return report;
}

MString takeReportLine(const TakeReport& report) {
    const MString format = lookupMessage(msg::kTakeReport);
    char line[512];
    std::snprintf(
        line, sizeof line, format.asChar(), static_cast<long long>(report.framesRecorded),
        static_cast<long long>(report.gapsFilled), static_cast<long long>(report.longestGapFilled),
        static_cast<long long>(report.gapsUnfilled), static_cast<long long>(report.framesLost));
    return MString(line);
}
