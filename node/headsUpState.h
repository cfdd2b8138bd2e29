// What a device node's line in the viewport's heads-up display shows: the
// stream's state and, while a take records, its name and timecode.
#pragma once

#include <cstdint>
#include <string>

struct HeadsUpState {
    bool live = false;
    double rate = 0.0;  // datagrams a second over the last second
    std::int64_t framesLost = 0;
    bool recording = false;  // a take is being recorded
    std::string takeName;    // while recording
    std::string timecode;    // the capture's current timecode; empty when it has none
};
