// Small double-precision rotation maths for the tools: vectors, unit
// quaternions (x, y, z, w; column vectors, q1 * q2 applies q2 first) and the
// Euler conventions of BVH files and of the host's XYZ rotate order.
#pragma once

#include <string>

namespace ztools {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

struct Quat {
    double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
};

Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator*(const Vec3& a, double s);
double length(const Vec3& v);

Quat operator*(const Quat& a, const Quat& b);
Quat conjugate(const Quat& q);
Quat normalized(const Quat& q);
Vec3 rotate(const Quat& q, const Vec3& v);

// Rotation of `degrees` about the axis 'X', 'Y' or 'Z'.
Quat axisRotation(char axis, double degrees);

// Euler angles applied in the listed order of a BVH CHANNELS line: for
// "Zrotation Yrotation Xrotation" R = Rz * Ry * Rx (x applied first). `axes`
// holds the axis letters in listed order, angles in the same order.
Quat fromListedEuler(const std::string& axes, const double* degrees);

// The host's XYZ rotate order: R = Rz * Ry * Rx, angles in degrees.
Quat fromEulerXYZDegrees(const Vec3& degrees);
// Inverse of fromEulerXYZDegrees (one of the equivalent angle sets).
Vec3 toEulerXYZDegrees(const Quat& q);

// Shortest-arc spherical interpolation; t = 0 gives a, t = 1 gives b
// (up to sign).
Quat slerp(const Quat& a, const Quat& b, double t);
Vec3 lerp(const Vec3& a, const Vec3& b, double t);

// Angle in degrees of the rotation that takes a to b (0 .. 180), treating q
// and -q as the same rotation.
double angleBetweenDegrees(const Quat& a, const Quat& b);

}  // namespace ztools
