#include "tools/lib/poseMath.h"

#include <algorithm>
#include <cmath>

namespace ztools {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kDegToRad = kPi / 180.0;
}  // namespace

Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(const Vec3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Quat operator*(const Quat& a, const Quat& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quat conjugate(const Quat& q) {
    return {-q.x, -q.y, -q.z, q.w};
}

Quat normalized(const Quat& q) {
    const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(n > 0.0)) return Quat{};
    return {q.x / n, q.y / n, q.z / n, q.w / n};
}

Vec3 rotate(const Quat& q, const Vec3& v) {
    // v' = v + 2w(u x v) + 2u x (u x v), u the vector part.
    const Vec3 u{q.x, q.y, q.z};
    const Vec3 c1{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const Vec3 c2{u.y * c1.z - u.z * c1.y, u.z * c1.x - u.x * c1.z, u.x * c1.y - u.y * c1.x};
    return v + c1 * (2.0 * q.w) + c2 * 2.0;
}

Quat axisRotation(char axis, double degrees) {
    const double h = 0.5 * degrees * kDegToRad;
    const double s = std::sin(h);
    const double c = std::cos(h);
    switch (axis) {
        case 'X':
            return {s, 0.0, 0.0, c};
        case 'Y':
            return {0.0, s, 0.0, c};
        case 'Z':
            return {0.0, 0.0, s, c};
        default:
            return Quat{};
    }
}

Quat fromListedEuler(const std::string& axes, const double* degrees) {
    Quat q;
    for (std::size_t i = 0; i < axes.size(); ++i) q = q * axisRotation(axes[i], degrees[i]);
    return q;
}

Quat fromEulerXYZDegrees(const Vec3& degrees) {
    return axisRotation('Z', degrees.z) * axisRotation('Y', degrees.y) *
           axisRotation('X', degrees.x);
}

Vec3 toEulerXYZDegrees(const Quat& in) {
    const Quat q = normalized(in);
    // Matrix entries of R = Rz Ry Rx that the angles are read from.
    const double r00 = 1.0 - 2.0 * (q.y * q.y + q.z * q.z);
    const double r10 = 2.0 * (q.x * q.y + q.w * q.z);
    const double r20 = 2.0 * (q.x * q.z - q.w * q.y);
    const double r21 = 2.0 * (q.y * q.z + q.w * q.x);
    const double r22 = 1.0 - 2.0 * (q.x * q.x + q.y * q.y);
    const double sy = std::clamp(-r20, -1.0, 1.0);
    Vec3 a;
    a.y = std::asin(sy);
    if (std::fabs(sy) < 1.0 - 1e-12) {
        a.x = std::atan2(r21, r22);
        a.z = std::atan2(r10, r00);
    } else {
        // Gimbal lock: put the whole twist on X.
        const double r01 = 2.0 * (q.x * q.y - q.w * q.z);
        const double r11 = 1.0 - 2.0 * (q.x * q.x + q.z * q.z);
        a.x = std::atan2(sy * r01, r11);
        a.z = 0.0;
    }
    return a * (180.0 / kPi);
}

Quat slerp(const Quat& a, const Quat& b0, double t) {
    Quat b = b0;
    double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0.0) {
        b = {-b.x, -b.y, -b.z, -b.w};
        d = -d;
    }
    double wa = 1.0 - t;
    double wb = t;
    if (d < 1.0 - 1e-12) {
        const double theta = std::acos(std::min(d, 1.0));
        const double s = std::sin(theta);
        wa = std::sin((1.0 - t) * theta) / s;
        wb = std::sin(t * theta) / s;
    }
    return normalized(
        {wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w});
}

Vec3 lerp(const Vec3& a, const Vec3& b, double t) {
    return a + (b - a) * t;
}

double angleBetweenDegrees(const Quat& a, const Quat& b) {
    const Quat d = normalized(conjugate(normalized(a)) * normalized(b));
    const double v = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return 2.0 * std::atan2(v, std::fabs(d.w)) * (180.0 / kPi);
}

}  // namespace ztools
