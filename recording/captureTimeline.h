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

// A timestamp that goes back by more than this, or runs ahead of the
// arrivals by more than this, is odd: the frames after it say whether the
// sender restarted or jumped its clock (they carry on from it) or the stamp
// is wrong (they carry on from the one before).
inline constexpr double kSenderClockBreakSeconds = 1.0;
// How many of the frames after an odd stamp are asked which of the two it
// was; the most that agree decide.
inline constexpr std::size_t kClockLookahead = 4;

// Whether `later`'s stamp carries on from a frame stamped `stamp` that
// arrived at `arrivalNs`: not back by more than the break, not ahead of
// the arrivals by more than it.
bool stampCarriesOn(double stamp, std::int64_t arrivalNs, const JournalFrame& later);

// Seconds of capture between two frames in arrival order: their stamps'
// distance where the later carries on from the earlier (never negative),
// else their arrivals' distance.
double captureSecondsBetween(const JournalFrame& earlier, const JournalFrame& later);

// The frames (in arrival order) on the scene's clock, in increasing time.
// Each stretch of the sender's clock is placed by its stamps, the anchor's
// stretch from the anchor; where the clock went back (a restarted sender),
// the next stretch goes on from the frames before it by arrival time, so
// keys never fold back. A jump ahead that the stream follows is placed by
// its stamps. A frame that came late lies at its own time; a repeated time
// is kept once (its first arrival). A frame whose stamp is not a number, or
// is odd and not followed by the frames after it (one lying stamp, or a
// late one from before its stretch began), is left out and counted in
// `mistimed` when given: it never moves its neighbours.
std::vector<TimedFrame> placeFrames(const std::vector<JournalFrame>& frames, const TakeClock& clock,
                                    std::int64_t* mistimed = nullptr);

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
