#include "tools/lib/tStance.h"

#include <cmath>
#include <cstring>

namespace ztools {
namespace {

int jointNamed(const char* name) {
    for (int j = 0; j < kCaptureJoints; ++j) {
        if (std::strcmp(captureJointName(j), name) == 0) return j;
    }
    return -1;
}

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The shortest turn taking direction `from` onto direction `to`.
Quat turnOnto(const Vec3& from, const Vec3& to) {
    const double fromLength = length(from);
    const double toLength = length(to);
    if (fromLength == 0.0 || toLength == 0.0) return Quat{};
    const Vec3 a = from * (1.0 / fromLength);
    const Vec3 b = to * (1.0 / toLength);
    const double d = dot(a, b);
    if (d < -1.0 + 1e-12) {
        // Opposite: half a turn about any axis square to both; Z serves arms
        // that lie in the body's plane, Y any other.
        const Vec3 axis = std::abs(a.z) < 0.9 ? Vec3{0.0, 0.0, 1.0} : Vec3{0.0, 1.0, 0.0};
        const Vec3 square = axis - a * dot(axis, a);
        const Vec3 n = square * (1.0 / length(square));
        return Quat{n.x, n.y, n.z, 0.0};
    }
    const Vec3 c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    return normalized(Quat{c.x, c.y, c.z, 1.0 + d});
}

}  // namespace

ArmTurns armsAlongX(const std::array<Vec3, kCaptureJoints>& definition) {
    ArmTurns turns;
    const struct {
        const char* upper;
        const char* lower;
        const char* hand;
        double side;
    } arms[] = {{"l_up_arm", "l_low_arm", "l_hand", 1.0},
                {"r_up_arm", "r_low_arm", "r_hand", -1.0}};
    for (const auto& arm : arms) {
        const int upper = jointNamed(arm.upper);
        const int lower = jointNamed(arm.lower);
        const int hand = jointNamed(arm.hand);
        if (upper < 0 || lower < 0 || hand < 0) continue;
        const Vec3 along{arm.side, 0.0, 0.0};
        // C^-1 takes the child's offset onto X; the offsets follow it.
        turns.turn[upper] = conjugate(turnOnto(definition[lower], along));
        turns.turn[lower] = conjugate(turnOnto(definition[hand], along));
        turns.turn[hand] = turns.turn[lower];
    }
    return turns;
}

void turnDefinition(const ArmTurns& turns, std::array<Vec3, kCaptureJoints>& definition) {
    const std::vector<int> parents = captureParents();
    for (int j = 1; j < kCaptureJoints; ++j) {
        definition[j] = rotate(conjugate(turns.turn[parents[j]]), definition[j]);
    }
}

void turnPose(const ArmTurns& turns, CapturePose& pose) {
    static const std::vector<int> parents = captureParents();
    for (int j = 0; j < kCaptureJoints; ++j) {
        const Quat above = parents[j] < 0 ? Quat{} : turns.turn[parents[j]];
        pose.rotations[j] = normalized(conjugate(above) * pose.rotations[j] * turns.turn[j]);
        if (j > 0) pose.translations[j] = rotate(conjugate(above), pose.translations[j]);
    }
}

void layArmsAlongX(CaptureTake& take) {
    const ArmTurns turns = armsAlongX(take.definition);
    turnDefinition(turns, take.definition);
    for (CapturePose& pose : take.frames) turnPose(turns, pose);
}

}  // namespace ztools
