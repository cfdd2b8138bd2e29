#include "tools/lib/skeletonPose.h"

#include <algorithm>
#include <cmath>

namespace ztools {

SkeletonPose poseAtFrame(const BvhMotion& motion, int index) {
    const BvhSkeleton& s = motion.skeleton;
    SkeletonPose pose;
    pose.translations.resize(s.joints.size());
    pose.rotations.resize(s.joints.size());
    if (motion.frameCount <= 0) {
        for (std::size_t j = 0; j < s.joints.size(); ++j) pose.translations[j] = s.joints[j].offset;
        return pose;
    }
    index = std::clamp(index, 0, motion.frameCount - 1);
    const double* row = motion.frame(index);
    for (std::size_t j = 0; j < s.joints.size(); ++j) {
        const BvhJoint& joint = s.joints[j];
        Vec3 t = joint.offset;
        std::string axes;
        double angles[6];
        for (std::size_t c = 0; c < joint.channels.size(); ++c) {
            const double v = row[joint.firstChannel + int(c)];
            switch (joint.channels[c]) {
                case BvhChannel::kXposition:
                    t.x += v;
                    break;
                case BvhChannel::kYposition:
                    t.y += v;
                    break;
                case BvhChannel::kZposition:
                    t.z += v;
                    break;
                case BvhChannel::kXrotation:
                    angles[axes.size()] = v;
                    axes += 'X';
                    break;
                case BvhChannel::kYrotation:
                    angles[axes.size()] = v;
                    axes += 'Y';
                    break;
                case BvhChannel::kZrotation:
                    angles[axes.size()] = v;
                    axes += 'Z';
                    break;
            }
        }
        pose.translations[j] = t;
        pose.rotations[j] = fromListedEuler(axes, angles);
    }
    return pose;
}

double framePeriod(const BvhMotion& motion) {
    const double rate = 1.0 / motion.frameTime;
    const double whole = std::round(rate);
    return whole >= 1.0 && std::fabs(rate - whole) < 1e-4 * rate ? 1.0 / whole : motion.frameTime;
}

double takeDuration(const BvhMotion& motion) {
    return motion.frameCount > 1 ? (motion.frameCount - 1) * framePeriod(motion) : 0.0;
}

SkeletonPose poseAtTime(const BvhMotion& motion, double seconds) {
    const double position =
        std::clamp(seconds / framePeriod(motion), 0.0, double(std::max(motion.frameCount - 1, 0)));
    const int lower = int(std::floor(position));
    const double t = position - lower;
    // Exactly on a frame (to rounding): no interpolation at all, so that
    // rates dividing the source rate reproduce its frames bit for bit.
    if (t < 1e-9 || lower + 1 >= motion.frameCount) return poseAtFrame(motion, lower);
    if (t > 1.0 - 1e-9) return poseAtFrame(motion, lower + 1);
    SkeletonPose a = poseAtFrame(motion, lower);
    const SkeletonPose b = poseAtFrame(motion, lower + 1);
    for (std::size_t j = 0; j < a.rotations.size(); ++j) {
        a.rotations[j] = slerp(a.rotations[j], b.rotations[j], t);
        a.translations[j] = lerp(a.translations[j], b.translations[j], t);
    }
    return a;
}

std::vector<int> parentsOf(const BvhSkeleton& skeleton) {
    std::vector<int> parents;
    for (const BvhJoint& j : skeleton.joints) parents.push_back(j.parent);
    return parents;
}

std::vector<Vec3> jointPositions(const std::vector<int>& parents, const SkeletonPose& pose) {
    const std::size_t n = parents.size();
    std::vector<Vec3> position(n);
    std::vector<Quat> orientation(n);
    for (std::size_t j = 0; j < n; ++j) {
        const int p = parents[j];
        if (p < 0) {
            position[j] = pose.translations[j];
            orientation[j] = pose.rotations[j];
        } else {
            position[j] = position[p] + rotate(orientation[p], pose.translations[j]);
            orientation[j] = orientation[p] * pose.rotations[j];
        }
    }
    return position;
}

}  // namespace ztools
