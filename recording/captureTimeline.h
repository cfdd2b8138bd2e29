// A take's frames placed on the scene's clock by the sender's timestamps,
// and the samples each joint's curves are keyed from: one per captured frame
// at its own time, or one per whole scene frame resampled from the capture.
// Host-free.
#pragma once

#include "intake/captureJournal.h"
#include "recording/recordedSample.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A frame of the take at its time, in scene frames.
struct TimedFrame {
    double time;
    std::uint32_t index;  // into the take's frames
};

// How a take's frames meet the scene's clock: frame `anchor` lies at
// `anchorTime` (scene frames) and the others at their timestamp's distance
// from it, at `framesPerSecond` scene frames a second.
struct TakeClock {
    std::size_t anchor = 0;
    double anchorTime = 0.0;
    double framesPerSecond = 30.0;
};

// A timestamp that goes back by more than this (a sender restarted its
// clock), is not a number, or would place its frame beyond the range of a
// double, starts a new stretch placed by arrival time.
inline constexpr double kSenderClockBreakSeconds = 1.0;

// The frames (in arrival order) on the scene's clock, in increasing time:
// a frame that came late takes its own time, a repeated time is kept once
// (its first arrival). Where the sender's clock breaks, the next frame lies
// after the one before it by their arrival times, so keys never fold back.
std::vector<TimedFrame> placeFrames(const std::vector<JournalFrame>& frames,
                                    const TakeClock& clock);

// Joint `joint` of `frame` as a recorded sample at `time`: translation and
// quaternion widened to double, rotation as the node's output degrees.
RecordedSample jointSample(const JournalFrame& frame, int joint, double time);

// One sample per placed frame, at its own time.
void captureSamples(const std::vector<JournalFrame>& frames,
                    const std::vector<TimedFrame>& timeline, int joint,
                    std::vector<RecordedSample>& samples);

// One key of a take resampled onto whole scene frames: the frame at `time`,
// lying `fraction` of the way from placed frame `before` to `after` (indices
// into the take's frames); at fraction 0 it is frame `before` itself.
struct WholeFrameKey {
    double time;
    std::uint32_t before;
    std::uint32_t after;
    double fraction;
};

// The keys of a resampled take, one per whole scene frame from the first
// placed frame to the last: the frame itself where one lies exactly on it,
// otherwise the two frames around it. Whole frames inside a gap too long to
// fill (see kMaxFilledGapFrames) are left out and counted in
// `unfilledFrames`. The same for every joint, so a flush finds them once.
std::vector<WholeFrameKey> wholeFrameKeys(const std::vector<TimedFrame>& timeline,
                                          std::int64_t& unfilledFrames);

// Joint `joint` at `key`: the frame's own sample, or the two frames around
// it interpolated (translation linearly, rotation by slerp).
RecordedSample resampledSample(const std::vector<JournalFrame>& frames, const WholeFrameKey& key,
                               int joint);
