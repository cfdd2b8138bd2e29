#include "recording/unfilledGaps.h"

#include "plugin/messageTable.h"
#include "recording/keyTimeline.h"

#include <maya/MGlobal.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

void warnOfUnfilledFrames(std::int64_t frames) {
    if (frames <= 0) return;
    // Counts past the int range come only from absurd time jumps.
    const int shown =
        static_cast<int>(std::min<std::int64_t>(frames, std::numeric_limits<int>::max()));
    const MString format = lookupMessage(msg::kGapsNotFilled);
    const int length = std::snprintf(nullptr, 0, format.asChar(), shown, kMaxFilledGapFrames);
    if (length < 0) return;
    std::vector<char> line(static_cast<std::size_t>(length) + 1);
    std::snprintf(line.data(), line.size(), format.asChar(), shown, kMaxFilledGapFrames);
    MGlobal::displayWarning(line.data());
}
