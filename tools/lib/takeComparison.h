// Compares a recorded take with the source it was sent from, frame by
// frame: recorded key time k is the sender's frame number k, the source's
// pose at k / fps seconds (resampled as the sender does).
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/recordedTake.h"

#include <string>
#include <vector>

namespace ztools {

// The joints whose positions are compared: hips, knees, ankles, head and
// wrists, as capture joint indices.
const std::vector<int>& comparedJoints();

struct TakeComparison {
    int framesCompared = 0;        // keys of received frames
    int interpolatedCompared = 0;  // keys synthesized for missing frames
    double maxRootCm = 0.0;        // root translation, received frames
    double maxRotationDeg = 0.0;   // any joint's rotation, received frames
    double maxPositionCm = 0.0;    // compared joints' positions, received frames
    // Synthesized keys against the great arc (and straight line) between
    // the received keys around them.
    double maxArcDeviationDeg = 0.0;
    double maxLineDeviationCm = 0.0;
    // Synthesized keys against the source itself (for information: the
    // source does not move along the arc).
    double maxInterpolatedPositionCm = 0.0;
};

// `received` lists the frame numbers the recorder received (sorted); key
// times not in it count as synthesized. An empty list treats every key as
// received. Frame numbers past the take wrap around (looping senders).
// False when the source cannot be mapped or the take has no keys.
bool compareTake(const BvhMotion& source, double unitCm, const RecordedTake& take,
                 const std::vector<int>& received, TakeComparison& out, std::string& error);

}  // namespace ztools
