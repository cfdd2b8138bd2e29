#include "tools/lib/recordedTake.h"

#include <algorithm>

namespace ztools {

double evaluateCurve(const TakeCurve& curve, double time) {
    const auto& k = curve.keys;
    if (k.empty()) return 0.0;
    if (time <= k.front().first) return k.front().second;
    if (time >= k.back().first) return k.back().second;
    const auto next = std::lower_bound(k.begin(), k.end(), time,
                                       [](const auto& key, double t) { return key.first < t; });
    if (next->first == time) return next->second;
    const auto prev = next - 1;
    const double f = (time - prev->first) / (next->first - prev->first);
    return prev->second + (next->second - prev->second) * f;
}

std::vector<double> takeKeyTimes(const RecordedTake& take) {
    std::vector<double> times;
    for (const TakeCurve& c : take.curves)
        for (const auto& key : c.keys) times.push_back(key.first);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

CapturePose takePose(const RecordedTake& take, double time) {
    CapturePose pose;
    for (int j = 0; j < kCaptureJoints; ++j) {
        pose.translations[j] = {evaluateCurve(take.curve(j, 0), time),
                                evaluateCurve(take.curve(j, 1), time),
                                evaluateCurve(take.curve(j, 2), time)};
        pose.rotations[j] = fromEulerXYZDegrees({evaluateCurve(take.curve(j, 3), time),
                                                 evaluateCurve(take.curve(j, 4), time),
                                                 evaluateCurve(take.curve(j, 5), time)});
    }
    return pose;
}

bool takeToBvh(const RecordedTake& take, BvhMotion& out, std::string& error) {
    if (take.curves.size() != std::size_t(kCaptureJoints) * 6) {
        error = "a take has 162 curves, this one " + std::to_string(take.curves.size());
        return false;
    }
    const std::vector<double> times = takeKeyTimes(take);
    if (times.empty()) {
        error = "the take has no keys";
        return false;
    }
    out = BvhMotion{};
    const std::vector<int> parents = captureParents();
    std::vector<bool> hasChild(kCaptureJoints, false);
    for (int p : parents)
        if (p >= 0) hasChild[p] = true;
    for (int j = 0; j < kCaptureJoints; ++j) {
        BvhJoint joint;
        joint.name = captureJointName(j);
        joint.parent = parents[j];
        joint.offset = j == 0 ? Vec3{} : take.definition[j];
        if (j == 0)
            joint.channels = {BvhChannel::kXposition, BvhChannel::kYposition,
                              BvhChannel::kZposition};
        joint.channels.insert(joint.channels.end(), {BvhChannel::kZrotation, BvhChannel::kYrotation,
                                                     BvhChannel::kXrotation});
        joint.firstChannel = out.skeleton.channelCount;
        out.skeleton.channelCount += int(joint.channels.size());
        if (!hasChild[j]) {
            // A leaf ends half its own length further on, so that readers
            // that draw bones give it a visible one.
            joint.hasEndSite = true;
            joint.endSite = take.definition[j] * 0.5;
        }
        out.skeleton.joints.push_back(joint);
    }
    out.frameTime = 1.0 / take.fps;
    out.frameCount = int(times.size());
    out.values.reserve(times.size() * out.skeleton.channelCount);
    for (double t : times) {
        for (int j = 0; j < kCaptureJoints; ++j) {
            if (j == 0)
                for (int c = 0; c < 3; ++c)
                    out.values.push_back(evaluateCurve(take.curve(0, c), t));
            out.values.push_back(evaluateCurve(take.curve(j, 5), t));
            out.values.push_back(evaluateCurve(take.curve(j, 4), t));
            out.values.push_back(evaluateCurve(take.curve(j, 3), t));
        }
    }
    return true;
}

}  // namespace ztools
