// Rotation conversion and interpolation for outputs and recorded keys.
// Stateless; callable from any thread.
#pragma once

#include "intake/jointTable.h"
#include "recording/recordedSample.h"

// XYZ Euler angles in degrees.
struct EulerDegrees {
    double x, y, z;
};

// The quaternion (x, y, z, w), not normalised, as XYZ Euler angles in
// degrees, through the host's decomposition. A NaN angle becomes 0; an
// infinite one passes unchanged.
EulerDegrees quaternionToEulerDegrees(double x, double y, double z, double w);

// Spherical interpolation from a towards b. No sign flip towards the shorter
// arc and no normalisation: cos <= -1 gives a; cos >= 1 and a nearly
// parallel pair (sin below 0.001) are blended linearly at t.
Quaternion4d slerpQuaternion(const Quaternion4d& a, const Quaternion4d& b, double t);

// a + t (b - a), exactly a at t = 0 and exactly b at t = 1, monotonic in t
// for finite arguments.
double lerp(double a, double b, double t);

// The sample between p and s at t: translation linear, quaternion spherical,
// rotation angles from the interpolated quaternion. `time` is left 0 for the
// caller to set.
RecordedSample interpolateSample(const RecordedSample& p, const RecordedSample& s, double t);
