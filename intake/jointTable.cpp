#include "intake/jointTable.h"

namespace {

constexpr Quaternion4d kIdentity{0.0, 0.0, 0.0, 1.0};
// The upper arms rest with these two quaternions exactly as written; they are
// deliberately not normalised.
constexpr Quaternion4d kLeftUpperArm{0.0, 0.0, 0.707, 0.707};
constexpr Quaternion4d kRightUpperArm{0.0, 0.0, 0.707, -0.707};

}  // namespace

const JointDefault kJointTable[kJointCount] = {
    {"root", -1, {0, 94, 0}, kIdentity},
    {"torso_1", 0, {0, 5, 0}, kIdentity},
    {"torso_2", 1, {0, 5, 0}, kIdentity},
    {"torso_3", 2, {0, 5, 0}, kIdentity},
    {"torso_4", 3, {0, 5, 0}, kIdentity},
    {"torso_5", 4, {0, 5, 0}, kIdentity},
    {"torso_6", 5, {0, 7, 0}, kIdentity},
    {"torso_7", 6, {0, 10, 0}, kIdentity},
    {"neck_1", 7, {0, 4, 0}, kIdentity},
    {"neck_2", 8, {0, 4, 0}, kIdentity},
    {"head", 9, {0, 4, 0}, kIdentity},
    {"l_shoulder", 7, {1, -6, 7}, kIdentity},
    {"l_up_arm", 11, {12, 5, 0}, kLeftUpperArm},
    {"l_low_arm", 12, {0, -28, 0}, kIdentity},
    {"l_hand", 13, {0, -23, 0}, kIdentity},
    {"r_shoulder", 7, {-1, -6, 7}, kIdentity},
    {"r_up_arm", 15, {-12, 5, 0}, kRightUpperArm},
    {"r_low_arm", 16, {0, -28, 0}, kIdentity},
    {"r_hand", 17, {0, -23, 0}, kIdentity},
    {"l_up_leg", 0, {9, -4, 3}, kIdentity},
    {"l_low_leg", 19, {0, -40, 2}, kIdentity},
    {"l_foot", 20, {0, -40, -2}, kIdentity},
    {"l_toes", 21, {0, -10, 13}, kIdentity},
    {"r_up_leg", 0, {-9, -4, 3}, kIdentity},
    {"r_low_leg", 23, {0, -40, 2}, kIdentity},
    {"r_foot", 24, {0, -40, -2}, kIdentity},
    {"r_toes", 25, {0, -10, 13}, kIdentity},
};
