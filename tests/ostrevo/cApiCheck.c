/* The public header used from C: it must compile as C and work from there. */
#include "ostrevo/ostrevo.h"

int32_t osvTestEncodeOneJointFrameFromC(char* out, int32_t capacity) {
    OsvJointPose pose = {{0.0f, 0.0f, 0.0f, 1.0f}, {0.25f, 0.5f, 0.75f}};
    OsvFrameData frame = {0};
    frame.frameNumber = 9;
    frame.timestamp = 0.5;
    frame.jointCount = 1;
    frame.joints = &pose;
    return OsvEncodeFrameData(&frame, out, capacity);
}

bool osvTestIsFrameFromC(const char* bytes, int32_t length) {
    return IsOsvBytes(length, bytes) && IsFrameDataBytes(length, bytes);
}
