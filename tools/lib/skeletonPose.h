// Local poses of a BVH skeleton: per joint a translation (offset plus any
// position channels) and a rotation, read from a frame or interpolated
// between frames, and forward kinematics to joint positions.
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/poseMath.h"

#include <vector>

namespace ztools {

struct SkeletonPose {
    std::vector<Vec3> translations;  // local, relative to the parent
    std::vector<Quat> rotations;     // local
};

// The pose of frame `index` (0 .. frameCount - 1).
SkeletonPose poseAtFrame(const BvhMotion& motion, int index);

// The pose at `seconds` from the first frame: rotations slerped and
// translations lerped between the two nearest frames; clamped to the take.
SkeletonPose poseAtTime(const BvhMotion& motion, double seconds);

// Seconds per frame: the file's Frame Time, or the exact period of a whole
// rate when the file rounds it (".0083333" is 1/120 written with 7 digits).
double framePeriod(const BvhMotion& motion);

// Length of the take in seconds (time of its last frame).
double takeDuration(const BvhMotion& motion);

// World positions of the joints, given each joint's parent (-1 for roots,
// parents before children) and their local pose.
std::vector<Vec3> jointPositions(const std::vector<int>& parents, const SkeletonPose& pose);
std::vector<int> parentsOf(const BvhSkeleton& skeleton);

}  // namespace ztools
