// Joint values that are not numbers. A sender can send a NaN that passes
// every check of the datagram; keyed, it would spread along the curve by
// interpolation. Such a value is not keyed: its neighbours are keyed across
// it. Host-free.
#pragma once

#include "intake/captureJournal.h"
#include "recording/captureTimeline.h"
#include "recording/recordedSample.h"

#include <cstdint>
#include <vector>

// Whether every value of the sample (translation, rotation, quaternion) is
// a finite number.
bool isNumbers(const RecordedSample& sample);
// Whether joint `joint` of the frame is finite numbers.
bool jointIsNumbers(const JournalFrame& frame, int joint);

// Joint `joint` at a resampled key whose frames hold a value that is not a
// number: the nearest frames on each side of the key's time whose joint is
// numbers, interpolated, or the one on the only side that has one. False,
// with nothing set, when no frame of the take has the joint as numbers.
// `positions[i]` is frame i's place in `timeline`, or -1.
bool resampledAcross(const std::vector<JournalFrame>& frames,
                     const std::vector<TimedFrame>& timeline,
                     const std::vector<std::int64_t>& positions, const WholeFrameKey& key,
                     int joint, RecordedSample& sample);

// Each frame's place in `timeline`, -1 for a frame not placed.
std::vector<std::int64_t> timelinePositions(std::size_t frameCount,
                                            const std::vector<TimedFrame>& timeline);
