#include "tools/lib/takeComparison.h"

#include "tools/lib/captureTake.h"

#include <algorithm>
#include <cmath>

namespace ztools {

namespace {

bool isReceived(const std::vector<int>& received, int frame) {
    return received.empty() || std::binary_search(received.begin(), received.end(), frame);
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
    const int sourceFrames = resampledFrameCount(source, take.fps, 0.0);
    std::array<Vec3, kCaptureJoints> sourceRest{};
    for (int j = 0; j < kCaptureJoints; ++j) sourceRest[j] = mapping.restTranslation[j] * unitCm;

    for (std::size_t i = 0; i < times.size(); ++i) {
        const double time = times[i];
        const int frame = int(std::lround(time));
        const CapturePose recorded = takePose(take, time);
        const std::vector<Vec3> recordedAt = captureJointPositions(take.definition, recorded);
        CapturePose expected = mapPose(
            mapping, sourcePoseForFrame(source, take.fps,
                                        ((frame % sourceFrames) + sourceFrames) % sourceFrames));
        for (Vec3& v : expected.translations) v = v * unitCm;
        const std::vector<Vec3> expectedAt = captureJointPositions(sourceRest, expected);
        double position = 0.0;
        for (int j : comparedJoints())
            position = std::max(position, length(recordedAt[j] - expectedAt[j]));

        if (isReceived(received, frame)) {
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
        // The received keys around this one.
        std::size_t a = i, b = i;
        while (a > 0 && !isReceived(received, int(std::lround(times[a])))) --a;
        while (b + 1 < times.size() && !isReceived(received, int(std::lround(times[b])))) ++b;
        if (!isReceived(received, int(std::lround(times[a]))) ||
            !isReceived(received, int(std::lround(times[b]))) || a == i || b == i)
            continue;
        const double f = (time - times[a]) / (times[b] - times[a]);
        const CapturePose pa = takePose(take, times[a]);
        const CapturePose pb = takePose(take, times[b]);
        for (int j = 0; j < kCaptureJoints; ++j) {
            const Quat arc = slerp(pa.rotations[j], pb.rotations[j], f);
            out.maxArcDeviationDeg =
                std::max(out.maxArcDeviationDeg, angleBetweenDegrees(arc, recorded.rotations[j]));
            const Vec3 line = lerp(pa.translations[j], pb.translations[j], f);
            out.maxLineDeviationCm =
                std::max(out.maxLineDeviationCm, length(line - recorded.translations[j]));
        }
    }
    return true;
}

}  // namespace ztools
