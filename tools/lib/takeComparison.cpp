#include "tools/lib/takeComparison.h"

#include "tools/lib/captureTake.h"
#include "tools/lib/tStance.h"

#include <algorithm>
#include <cmath>

namespace ztools {

namespace {

bool isReceived(const std::vector<int>& received, int frame) {
    return received.empty() || std::binary_search(received.begin(), received.end(), frame);
}

// Within this of a whole frame, a key lies on that frame.
constexpr double kOnFrame = 1e-6;

// The sender frames a key at sender frame `frame` is made from, and its
// fraction from the first towards the second.
struct KeySpan {
    int first = 0;
    int second = 0;
    double fraction = 0.0;
};

KeySpan spanOf(double frame) {
    const double whole = std::round(frame);
    if (std::fabs(frame - whole) < kOnFrame) return {int(whole), int(whole), 0.0};
    const double below = std::floor(frame);
    return {int(below), int(below) + 1, frame - below};
}

bool spanReceived(const std::vector<int>& received, const KeySpan& span) {
    return isReceived(received, span.first) && isReceived(received, span.second);
}

}  // namespace

const std::vector<int>& comparedJoints() {
    // root, head, l/r hand, l/r low_leg (knees), l/r foot (ankles)
    static const std::vector<int> joints = {0, 10, 14, 18, 20, 21, 24, 25};
    return joints;
}

bool compareTake(const BvhMotion& source, double unitCm, const RecordedTake& take,
                 const std::vector<int>& received, TakeComparison& out, std::string& error) {
    out = TakeComparison{};
    SkeletonMapping mapping;
    if (!buildMapping(source.skeleton, mapping, error)) return false;
    const std::vector<double> times = takeKeyTimes(take);
    if (times.empty()) {
        error = "the take has no keys";
        return false;
    }
    const int sourceFrames = resampledFrameCount(source, take.senderFps, 0.0);
    std::array<Vec3, kCaptureJoints> sourceRest{};
    for (int j = 0; j < kCaptureJoints; ++j) sourceRest[j] = mapping.restTranslation[j] * unitCm;
    // The sender lays the arms along X: the source's poses are compared so.
    const ArmTurns turns = armsAlongX(sourceRest);
    turnDefinition(turns, sourceRest);

    const auto sourcePose = [&](int frame) {
        CapturePose pose = mapPose(
            mapping, sourcePoseForFrame(source, take.senderFps,
                                        ((frame % sourceFrames) + sourceFrames) % sourceFrames));
        for (Vec3& v : pose.translations) v = v * unitCm;
        turnPose(turns, pose);
        return pose;
    };
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double time = times[i];
        const KeySpan span = spanOf(take.senderFrameAt(time));
        const CapturePose recorded = takePose(take, time);
        const std::vector<Vec3> recordedAt = captureJointPositions(take.definition, recorded);
        CapturePose expected = sourcePose(span.first);
        if (span.second != span.first) {
            const CapturePose next = sourcePose(span.second);
            for (int j = 0; j < kCaptureJoints; ++j) {
                expected.rotations[j] =
                    slerp(expected.rotations[j], next.rotations[j], span.fraction);
                expected.translations[j] =
                    lerp(expected.translations[j], next.translations[j], span.fraction);
            }
        }
        const std::vector<Vec3> expectedAt = captureJointPositions(sourceRest, expected);
        double position = 0.0;
        for (int j : comparedJoints())
            position = std::max(position, length(recordedAt[j] - expectedAt[j]));

        if (spanReceived(received, span)) {
            ++out.framesCompared;
            out.maxPositionCm = std::max(out.maxPositionCm, position);
            out.maxRootCm = std::max(out.maxRootCm,
                                     length(recorded.translations[0] - expected.translations[0]));
            for (int j = 0; j < kCaptureJoints; ++j)
                out.maxRotationDeg =
                    std::max(out.maxRotationDeg,
                             angleBetweenDegrees(recorded.rotations[j], expected.rotations[j]));
            continue;
        }
        ++out.interpolatedCompared;
        out.maxInterpolatedPositionCm = std::max(out.maxInterpolatedPositionCm, position);
        // On the arc (and the line) between the received frames around it,
        // at its place between them: the frames the recording had.
        if (received.empty()) continue;
        const double frame = take.senderFrameAt(time);
        const auto before =
            std::upper_bound(received.begin(), received.end(), int(std::floor(frame)));
        const auto after =
            std::lower_bound(received.begin(), received.end(), int(std::ceil(frame)));
        if (before == received.begin() || after == received.end()) continue;
        const int a = *(before - 1);
        const int b = *after;
        const double f = (frame - a) / double(b - a);
        const CapturePose pa = sourcePose(a);
        const CapturePose pb = sourcePose(b);
        for (int j = 0; j < kCaptureJoints; ++j) {
            const Quat arc = slerp(pa.rotations[j], pb.rotations[j], f);
            out.maxArcDeviationDeg =
                std::max(out.maxArcDeviationDeg, angleBetweenDegrees(arc, recorded.rotations[j]));
        }
        // Only the root's translation moves.
        const Vec3 line = lerp(pa.translations[0], pb.translations[0], f);
        out.maxLineDeviationCm =
            std::max(out.maxLineDeviationCm, length(line - recorded.translations[0]));
    }
    return true;
}

}  // namespace ztools
