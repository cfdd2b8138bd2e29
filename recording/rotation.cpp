#include "recording/rotation.h"

#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <cmath>

namespace {

double radiansToDegrees(double radians) {
    if (std::isnan(radians)) {
        return 0.0;
    }
    // Multiplied, then divided: a precomputed 180/pi rounds differently.
    return radians * 180.0 / 3.141592653589793;
}

}  // namespace

EulerDegrees quaternionToEulerDegrees(double x, double y, double z, double w) {
    const MVector radians = MQuaternion(x, y, z, w).asEulerRotation().asVector();
    return {radiansToDegrees(radians.x), radiansToDegrees(radians.y), radiansToDegrees(radians.z)};
}

Quaternion4d slerpQuaternion(const Quaternion4d& a, const Quaternion4d& b, double t) {
    // This summation order is part of the result's rounding.
    const double d = a.x * b.x + a.w * b.w + a.y * b.y + a.z * b.z;
    // The arc is too short for its sine to divide by (or the cosine of two
    // close single-precision quaternions rounds to 1): the straight line is
    // the arc's limit. At the fraction asked for, not halfway and not at a,
    // or keys resampled between two close frames all land on one point.
    const auto blend = [&] {
        const double u = 1.0 - t;
        return Quaternion4d{u * a.x + t * b.x, u * a.y + t * b.y, u * a.z + t * b.z,
                            u * a.w + t * b.w};
    };
    if (d >= 1.0) {
        return blend();
    }
    if (d <= -1.0) {
        return a;  // opposite: any plane would do, and the line passes zero
    }
    const double theta = std::acos(d);
    const double sigma = std::sqrt(1.0 - d * d);
    if (std::abs(sigma) < 0.001) {
        return blend();
    }
    const double wa = std::sin((1.0 - t) * theta) / sigma;
    const double wb = std::sin(theta * t) / sigma;
    return {a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb, a.w * wa + b.w * wb};
}

double lerp(double a, double b, double t) {
    // The C++20 std::lerp rules, written out for C++17.
    if ((a <= 0 && b >= 0) || (a >= 0 && b <= 0)) {
        return t * b + (1 - t) * a;
    }
    if (t == 1) {
        return b;
    }
    const double x = a + t * (b - a);
    if ((t > 1) == (b > a)) {
        return b < x ? x : b;
    }
    return b > x ? x : b;
}

RecordedSample interpolateSample(const RecordedSample& p, const RecordedSample& s, double t) {
    RecordedSample g{};
    g.translateX = lerp(p.translateX, s.translateX, t);
    g.translateY = lerp(p.translateY, s.translateY, t);
    g.translateZ = lerp(p.translateZ, s.translateZ, t);
    // q and -q are the same rotation. Senders need not keep their quaternions
    // on one hemisphere, and towards the opposite sign the slerp runs the long
    // way round: synthesized keys would swing up to 180 degrees off the arc
    // between the two real samples. Aim at the nearer of the two instead.
    Quaternion4d target{s.quatX, s.quatY, s.quatZ, s.quatW};
    const double d =
        p.quatX * target.x + p.quatW * target.w + p.quatY * target.y + p.quatZ * target.z;
    if (d < 0.0) {
        target = {-target.x, -target.y, -target.z, -target.w};
    }
    const Quaternion4d q = slerpQuaternion({p.quatX, p.quatY, p.quatZ, p.quatW}, target, t);
    g.quatW = q.w;
    g.quatX = q.x;
    g.quatY = q.y;
    g.quatZ = q.z;
    const EulerDegrees angles = quaternionToEulerDegrees(q.x, q.y, q.z, q.w);
    g.rotateX = angles.x;
    g.rotateY = angles.y;
    g.rotateZ = angles.z;
    return g;
}
