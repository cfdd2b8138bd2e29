// A rotation as three angles in radians applied in a rotation order.
#pragma once

#include <maya/MTypes.h>
#include <maya/MIOStreamFwd.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MEulerRotation {
public:
    enum RotationOrder { kXYZ = 0, kYZX = 1, kZXY = 2, kXZY = 3, kYXZ = 4, kZYX = 5 };

    MEulerRotation();
    MEulerRotation(const MEulerRotation& other);
    MEulerRotation(double xx, double yy, double zz, RotationOrder ord = kXYZ);
    ~MEulerRotation();
    MEulerRotation& operator=(const MEulerRotation& other);
    // (x, y, z).
    MVector asVector() const;
    // The same rotation as a unit quaternion.
    MQuaternion asQuaternion() const;

    double x;
    double y;
    double z;
    RotationOrder order;
#if !defined(_WIN32)
    char _padding[4];
#endif
};

MAYAHOST_NS_CLOSE
