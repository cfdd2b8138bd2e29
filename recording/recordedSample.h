// One recorded pose of one joint, as the compute appends it and the flush
// turns it into keys. Note the quaternion order W, X, Y, Z.
#pragma once

struct RecordedSample {
    double translateX;
    double translateY;
    double translateZ;
    double rotateX;  // degrees
    double rotateY;
    double rotateZ;
    double time;  // the node's time attribute
    double quatW;
    double quatX;
    double quatY;
    double quatZ;
};
static_assert(sizeof(RecordedSample) == 11 * sizeof(double));
