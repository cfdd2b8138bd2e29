// Quaternions, Euler rotations and vectors.
#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <cmath>

namespace {

struct Quat {
    double x, y, z, w;
};

Quat multiply(const Quat& a, const Quat& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quat axisRotation(int axis, double angle) {
    Quat q{0.0, 0.0, 0.0, std::cos(angle / 2.0)};
    double s = std::sin(angle / 2.0);
    if (axis == 0) q.x = s;
    if (axis == 1) q.y = s;
    if (axis == 2) q.z = s;
    return q;
}

}  // namespace

MAYAHOST_NS_OPEN

MQuaternion::MQuaternion() : x(0.0), y(0.0), z(0.0), w(1.0) {}
MQuaternion::MQuaternion(const MQuaternion& other) = default;
MQuaternion::MQuaternion(double xx, double yy, double zz, double ww) : x(xx), y(yy), z(zz), w(ww) {}
MQuaternion::~MQuaternion() = default;
MQuaternion& MQuaternion::operator=(const MQuaternion& other) = default;

MQuaternion MQuaternion::normal() const {
    double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (length == 0.0) return *this;
    return MQuaternion(x / length, y / length, z / length, w / length);
}

MEulerRotation MQuaternion::asEulerRotation() const {
    MQuaternion q = normal();
    // Rotation matrix for column vectors.
    double r00 = 1.0 - 2.0 * (q.y * q.y + q.z * q.z);
    double r10 = 2.0 * (q.x * q.y + q.z * q.w);
    double r20 = 2.0 * (q.x * q.z - q.y * q.w);
    double r21 = 2.0 * (q.y * q.z + q.x * q.w);
    double r22 = 1.0 - 2.0 * (q.x * q.x + q.y * q.y);
    double r11 = 1.0 - 2.0 * (q.x * q.x + q.z * q.z);
    double r12 = 2.0 * (q.y * q.z - q.x * q.w);
    // R = Rz(c) * Ry(b) * Rx(a).
    double cosB = std::sqrt(r00 * r00 + r10 * r10);
    double b = std::atan2(-r20, cosB);
    double a, c;
    if (cosB < 1e-9) {
        // Gimbal lock: only a - c (or a + c) is defined; z takes none of it.
        a = std::atan2(-r12, r11);
        c = 0.0;
    } else {
        a = std::atan2(r21, r22);
        c = std::atan2(r10, r00);
    }
    return MEulerRotation(a, b, c, MEulerRotation::kXYZ);
}

MEulerRotation::MEulerRotation() : x(0.0), y(0.0), z(0.0), order(kXYZ) {}
MEulerRotation::MEulerRotation(const MEulerRotation& other) = default;
MEulerRotation::MEulerRotation(double xx, double yy, double zz, RotationOrder ord)
    : x(xx), y(yy), z(zz), order(ord) {}
MEulerRotation::~MEulerRotation() = default;
MEulerRotation& MEulerRotation::operator=(const MEulerRotation& other) = default;
MVector MEulerRotation::asVector() const {
    return MVector(x, y, z);
}

MQuaternion MEulerRotation::asQuaternion() const {
    // Axes in the order they apply.
    static const int kOrders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1},
                                      {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
    const double angles[3] = {x, y, z};
    const int* axes = kOrders[order >= kXYZ && order <= kZYX ? order : kXYZ];
    Quat q{0.0, 0.0, 0.0, 1.0};
    for (int k = 0; k < 3; ++k) q = multiply(axisRotation(axes[k], angles[axes[k]]), q);
    return MQuaternion(q.x, q.y, q.z, q.w);
}

MVector::MVector() : x(0.0), y(0.0), z(0.0) {}
MVector::MVector(const MVector& other) = default;
MVector::MVector(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
MVector::~MVector() = default;
MVector& MVector::operator=(const MVector& other) = default;
double MVector::operator[](unsigned int index) const {
    return index == 0 ? x : index == 1 ? y : z;
}
double& MVector::operator[](unsigned int index) {
    return index == 0 ? x : index == 1 ? y : z;
}
double MVector::length() const {
    return std::sqrt(x * x + y * y + z * z);
}

MAYAHOST_NS_CLOSE
