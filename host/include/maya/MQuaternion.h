// A rotation quaternion; w is the scalar part.
#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MQuaternion {
public:
    MQuaternion();
    MQuaternion(const MQuaternion& other);
    MQuaternion(double xx, double yy, double zz, double ww);
    ~MQuaternion();
    MQuaternion& operator=(const MQuaternion& other);
    // The XYZ-order Euler angles (radians) of the rotation of the normalized
    // quaternion. A NaN component gives NaN angles; nothing is cleaned.
    MEulerRotation asEulerRotation() const;
    // The quaternion scaled to length 1 (unchanged when its length is 0).
    MQuaternion normal() const;

    double x;
    double y;
    double z;
    double w;
};

MAYAHOST_NS_CLOSE
