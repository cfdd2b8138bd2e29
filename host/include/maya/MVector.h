// A three-component double vector.
#pragma once

#include <maya/MTypes.h>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MVector {
public:
    enum Axis { kXaxis, kYaxis, kZaxis, kWaxis };

    MVector();
    MVector(const MVector& other);
    MVector(double xx, double yy, double zz = 0.0);
    ~MVector();
    MVector& operator=(const MVector& other);
    // Component 0, 1 or 2; other indices give z.
    double operator[](unsigned int index) const;
    double& operator[](unsigned int index);
    double length() const;

    double x;
    double y;
    double z;
};

MAYAHOST_NS_CLOSE
