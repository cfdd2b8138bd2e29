// Mapping of a BVH skeleton onto the 27-joint capture skeleton.
//
// Built-in name tables (case-insensitive), the one matching most joints wins:
//  - "cmu": the CMU database's own names: Hips -> root, LowerBack -> torso_1,
//    Spine -> torso_4, Spine1 -> torso_7, Neck -> neck_1, Neck1 -> neck_2,
//    Head -> head, LeftShoulder/LeftArm/LeftForeArm/LeftHand -> l_shoulder/
//    l_up_arm/l_low_arm/l_hand, LeftUpLeg/LeftLeg/LeftFoot/LeftToeBase ->
//    l_up_leg/l_low_leg/l_foot/l_toes, and the same for Right.
//  - "cmu-131": the names of the bundled take: Hips -> root, lowerback ->
//    torso_1, Chest -> torso_4, Chest2 -> torso_7, lowerneck -> neck_1,
//    Neck -> neck_2, Head -> head, LeftCollar/LeftShoulder/LeftElbow/
//    LeftWrist -> l_shoulder/l_up_arm/l_low_arm/l_hand, LeftHip/LeftKnee/
//    LeftAnkle/LeftToe -> l_up_leg/l_low_leg/l_foot/l_toes, same for Right.
// The torso is spread over torso_1, torso_4 and torso_7 so that torso_7, the
// parent of the neck and the shoulders, is the upper chest.
//
// A capture joint with no source joint keeps the identity rotation and a zero
// offset, so it coincides with its parent. Source joints between two mapped
// ones (such as LHipJoint) have their rotations folded into the next mapped
// joint, and their offsets added to its offset. Forward kinematics of the
// mapped skeleton then gives the source's joint positions exactly, as long
// as such an intermediate joint either does not rotate or has zero offsets
// below it (true of the CMU takes: the hip joints never rotate).
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/poseMath.h"
#include "tools/lib/skeletonPose.h"

#include <array>
#include <string>
#include <vector>

namespace ztools {

inline constexpr int kCaptureJoints = 27;

struct SkeletonMapping {
    std::string profile;
    std::array<int, kCaptureJoints> source{};  // source joint index or -1
    // Per mapped capture joint: source joints from just below the source of
    // its nearest mapped capture ancestor (for the root: from the source's
    // top) down to its own source joint, in that order.
    std::array<std::vector<int>, kCaptureJoints> path;
    std::array<Vec3, kCaptureJoints> restTranslation{};  // source units
};

// Builds the mapping. Fails when no table finds the hips, or when the
// source hierarchy does not nest the mapped joints as the capture skeleton
// does.
bool buildMapping(const BvhSkeleton& skeleton, SkeletonMapping& out, std::string& error);

// One pose of the capture skeleton, in source units.
struct CapturePose {
    std::array<Quat, kCaptureJoints> rotations;
    std::array<Vec3, kCaptureJoints> translations;  // local; per frame
};

CapturePose mapPose(const SkeletonMapping& mapping, const SkeletonPose& source);

// Parents of the capture skeleton's joints (from the joint table).
std::vector<int> captureParents();
const char* captureJointName(int joint);

}  // namespace ztools
