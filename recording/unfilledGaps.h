// The warning of a flush that left gaps of its take unfilled.
#pragma once

#include <cstdint>

// Shows one warning line with the frames left unfilled, as one joint's
// timeline reports them (every joint has the same sample times); nothing for
// none.
void warnOfUnfilledFrames(std::int64_t frames);
