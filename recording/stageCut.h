// Where a take the stage starts or stops begins and ends among its frames:
// the message names a moment on the capture clock, the frame that arrived
// with it plus the message's Delay. Host-free.
#pragma once

#include "intake/captureJournal.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The take's first frame: from frame `arrived` (the one that arrived with
// the start) on, the first stamped at or after its stamp plus
// `delaySeconds`. A frame whose stamp does not carry on from it (the sender
// restarted its clock) counts as after. frames.size() when none is.
std::size_t stageTakeStart(const std::vector<JournalFrame>& frames, std::size_t arrived,
                           double delaySeconds);

// How many frames (in arrival order) the take keeps when a message that
// arrived at `arrivalNs` ends it: those that arrived before the frame that
// came with it, then from that frame on those stamped up to its stamp plus
// `delaySeconds` (`inclusive`) or before it, up to the first that is not or
// does not carry on from it.
std::size_t stageTakeEnd(const std::vector<JournalFrame>& frames, std::int64_t arrivalNs,
                         double delaySeconds, bool inclusive);
