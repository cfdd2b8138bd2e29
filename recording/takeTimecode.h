// A take and its frames' timecode: keys placed at the timecode converted to
// scene frames (the device node's keyOnTimecode), and the timecode of the
// take's first and last keys on its ZemoriTake node.
#pragma once

#include "intake/captureJournal.h"
#include "intake/timecode.h"
#include "recording/captureTimeline.h"

#include <maya/MObject.h>
#include <maya/MString.h>

#include <cstdint>
#include <vector>

// Scene frames at `framesPerSecond` of a frame's timecode: its timecode
// frame's start in seconds since 00:00:00:00 (drop-frame counted as it
// skips labels, at the rate's real frames a second), plus its subframe at
// `captureRate` captured frames a second. NaN for an invalid timecode.
double timecodeSceneTime(const FrameTimecode& timecode, int captureRate, double framesPerSecond);

// The frames with a timecode, each at its timecode's scene time, in
// increasing time; a repeated time is kept once (its first arrival). A take
// that runs past midnight goes on at 24:00:00:00. Frames without a timecode
// are left out and counted in `leftOut`. Empty when no frame has one.
// Host-free.
std::vector<TimedFrame> placeByTimecode(const std::vector<JournalFrame>& frames,
                                        double framesPerSecond, int captureRate,
                                        std::int64_t* leftOut = nullptr);

// The timecode of the first and last placed frames that have one; both not
// present when none has. Host-free.
struct TakeTimecode {
    FrameTimecode start;
    FrameTimecode end;
};
TakeTimecode takeTimecode(const std::vector<JournalFrame>& frames,
                          const std::vector<TimedFrame>& timeline);

// Sets startTimecode, endTimecode (text, empty without a timecode),
// timecodeRate (frames a second, 0 without) and timecodeDropFrame on the
// take node `node`, named `takeNode`.
void setTakeTimecode(const MObject& node, const MString& takeNode, const TakeTimecode& timecode);
