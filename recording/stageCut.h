// Where a take the stage starts or stops begins and ends among its frames:
// the message names a moment on the capture clock, Delay after the capture
// clock's time at its arrival. That time is read from the frame that
// arrived with it (the last before it, else the first after), carried on by
// the time between that frame's arrival and the message's: a frame that
// came long before the message (a paused or replaced sender) does not stand
// for the moment the button was pressed. Host-free.
#pragma once

#include "intake/captureJournal.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The take's first frame: from frame `arrived` (the one that arrived with
// the start at `arrivalNs`) on, the first stamped at or after the moment
// the start names. A frame whose stamp does not carry on from it (the
// sender restarted its clock, or another took its place) counts as after.
// frames.size() when none is.
std::size_t stageTakeStart(const std::vector<JournalFrame>& frames, std::size_t arrived,
                           std::int64_t arrivalNs, double delaySeconds);

// How many frames (in arrival order) the take keeps when a message that
// arrived at `arrivalNs` ends it: those that arrived before the frame that
// came with it, then from that frame on those stamped up to the moment the
// message names (`inclusive`) or before it, up to the first that is not or
// does not carry on from it.
std::size_t stageTakeEnd(const std::vector<JournalFrame>& frames, std::int64_t arrivalNs,
                         double delaySeconds, bool inclusive);
