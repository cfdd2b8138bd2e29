#include "tools/lib/captureTake.h"

#include "intake/jointTable.h"
#include "tools/lib/tStance.h"

#include <algorithm>
#include <cmath>

namespace ztools {

int resampledFrameCount(const BvhMotion& motion, int fps, double maxSeconds) {
    if (motion.frameCount <= 0) return 0;
    double duration = takeDuration(motion);
    if (maxSeconds > 0.0 && maxSeconds < duration) duration = maxSeconds;
    // The small slack keeps a last frame that lands on the end exactly.
    return int(std::floor(duration * fps + 1e-6)) + 1;
}

SkeletonPose sourcePoseForFrame(const BvhMotion& motion, int fps, int frameIndex) {
    return poseAtTime(motion, double(frameIndex) / fps);
}

bool takeFromBvh(const BvhMotion& motion, int fps, double unitCm, double maxSeconds,
                 CaptureTake& out, std::string& error) {
    SkeletonMapping mapping;
    if (!buildMapping(motion.skeleton, mapping, error)) return false;
    if (motion.frameCount <= 0) {
        error = "the take has no frames";
        return false;
    }
    out = CaptureTake{};
    out.fps = fps;
    for (int t = 0; t < kCaptureJoints; ++t)
        out.definition[t] = mapping.restTranslation[t] * unitCm;
    const int count = resampledFrameCount(motion, fps, maxSeconds);
    out.frames.reserve(count);
    for (int i = 0; i < count; ++i) {
        CapturePose pose = mapPose(mapping, sourcePoseForFrame(motion, fps, i));
        for (Vec3& v : pose.translations) v = v * unitCm;
        out.frames.push_back(pose);
    }
    layArmsAlongX(out);
    return true;
}

CaptureTake syntheticTake(int fps, double seconds) {
    CaptureTake take;
    take.fps = fps;
    take.source = "synthetic";
    for (int t = 0; t < kCaptureJoints; ++t) {
        const Vector3d& d = kJointTable[t].translation;
        take.definition[t] = {d.x, d.y, d.z};
    }
    const int count = std::max(1, int(std::floor(seconds * fps + 1e-6)) + 1);
    constexpr double kTwoPi = 6.283185307179586;
    for (int i = 0; i < count; ++i) {
        const double time = double(i) / fps;
        CapturePose pose;
        for (int t = 0; t < kCaptureJoints; ++t) {
            const double phase = kTwoPi * (0.5 * time) + 0.7 * t;
            const char axis = "XYZ"[t % 3];
            pose.rotations[t] = axisRotation(axis, 25.0 * std::sin(phase)) *
                                axisRotation('X', 10.0 * std::cos(1.3 * phase));
            pose.translations[t] = take.definition[t];
        }
        const double walk = kTwoPi * 0.1 * time;
        pose.translations[0] = {100.0 * std::sin(walk),
                                take.definition[0].y + 2.0 * std::sin(4 * walk),
                                100.0 * std::cos(walk)};
        take.frames.push_back(pose);
    }
    return take;
}

std::vector<Vec3> captureJointPositions(const std::array<Vec3, kCaptureJoints>& definition,
                                        const CapturePose& pose) {
    SkeletonPose local;
    local.rotations.assign(pose.rotations.begin(), pose.rotations.end());
    local.translations.assign(definition.begin(), definition.end());
    local.translations[0] = pose.translations[0];
    return jointPositions(captureParents(), local);
}

}  // namespace ztools
