// The arms of a take laid out along X, HumanIK's T-stance: the left arm along
// +X, the right along -X, up arm to hand, in the rest pose (the definition).
#pragma once

#include "tools/lib/captureTake.h"

#include <array>

namespace ztools {

// The fixed turn C of each joint: identity but in the arms.
struct ArmTurns {
    std::array<Quat, kCaptureJoints> turn{};
};

// The turns that lay the arms of this rest pose along X.
ArmTurns armsAlongX(const std::array<Vec3, kCaptureJoints>& definition);
// A rest pose, and one frame's pose, under the turns.
void turnDefinition(const ArmTurns& turns, std::array<Vec3, kCaptureJoints>& definition);
void turnPose(const ArmTurns& turns, CapturePose& pose);

// Turns the rest pose's upper and lower arms so that each arm's next joint
// lies along X, and every frame's rotations so that each joint stays where
// the capture put it: q'(joint) = C(parent)^-1 q(joint) C(joint), C being the
// turn given to the joint (the hand takes its lower arm's). The frames'
// world positions do not change; the joints' world orientations in the arms
// differ from the capture's by the fixed turn.
void layArmsAlongX(CaptureTake& take);

}  // namespace ztools
