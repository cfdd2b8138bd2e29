// Compares a recorded take with the source it was sent from, key by key: a
// key lies at a sender frame (RecordedTake::senderFrameAt) and is compared
// with the source's pose there, resampled as the sender does, and
// interpolated as the recording does where the key lies between two frames.
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
    // Synthesized keys against the great arc (and the root's straight line)
    // between the received frames around them, at their place between them.
    double maxArcDeviationDeg = 0.0;
    double maxLineDeviationCm = 0.0;
    // Synthesized keys against the source itself (for information: the
    // source does not move along the arc).
    double maxInterpolatedPositionCm = 0.0;
};

// `received` lists the frame numbers the recorder received (sorted); a key
// that needs a frame not in it counts as synthesized. An empty list treats
// every key as received. Frame numbers past the source wrap around
// (looping senders).
// False when the source cannot be mapped or the take has no keys.
bool compareTake(const BvhMotion& source, double unitCm, const RecordedTake& take,
                 const std::vector<int>& received, TakeComparison& out, std::string& error);

}  // namespace ztools
