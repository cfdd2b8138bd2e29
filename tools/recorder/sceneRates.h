// The rates the recorder works with: the sender's, as the node's frameRate
// attribute names it, and the scene's time unit.
#pragma once

#include <maya/MTime.h>

namespace ztools {

// The sender's frames a second for the node's frameRate; 0 for another.
inline int senderRateOf(double nodeFrameRate) {
    if (nodeFrameRate == 60.0) return 30;
    if (nodeFrameRate == 80.0) return 50;
    if (nodeFrameRate == 90.0) return 60;
    if (nodeFrameRate == 150.0) return 120;
    return 0;
}

// The time unit of a scene rate (24, 25, 30, 48, 50 or 60; else 30).
inline MTime::Unit sceneUnitOf(int fps) {
    switch (fps) {
        case 24:
            return MTime::k24FPS;
        case 25:
            return MTime::k25FPS;
        case 48:
            return MTime::k48FPS;
        case 50:
            return MTime::k50FPS;
        case 60:
            return MTime::k60FPS;
        default:
            return MTime::k30FPS;
    }
}

}  // namespace ztools
