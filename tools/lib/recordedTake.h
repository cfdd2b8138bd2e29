// A recorded take as the recorder reads it back from the scene: 27 joints
// with their rest translations and six curves each (tx, ty, tz, rx, ry, rz;
// rotations in degrees, XYZ order), keyed in frames of the scene's rate, and
// where the capture's clock lies on the scene's.
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/skeletonMapping.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace ztools {

struct TakeCurve {
    std::string name;
    std::vector<std::pair<double, double>> keys;  // time in frames, value
};

struct RecordedTake {
    int fps = 60;        // the scene's: key times are in its frames
    int senderFps = 60;  // the capture's
    // A scene time (frames) and the sender's timestamp (seconds) at it.
    double captureTime = 0.0;
    double captureStamp = 0.0;
    // The take node's startTimecode and endTimecode; empty without a timecode.
    std::string startTimecode;
    std::string endTimecode;
    std::string skeletonName;
    std::string takeNode;                           // the ZemoriTake node it was read from
    std::array<Vec3, kCaptureJoints> definition{};  // rest translations, cm
    // 162 curves, joint by joint in joint order, six per joint in the order
    // tx, ty, tz, rx, ry, rz.
    std::vector<TakeCurve> curves;

    const TakeCurve& curve(int joint, int channel) const { return curves[joint * 6 + channel]; }
    // The sender's frame number at scene time `time`: whole at a captured
    // frame, fractional between two.
    double senderFrameAt(double time) const {
        return (captureStamp + (time - captureTime) / fps) * senderFps;
    }
};

// Value of a curve at `time`: the key's value at a key, linear between keys,
// the end keys' values outside; 0 for a curve without keys.
double evaluateCurve(const TakeCurve& curve, double time);

// Every key time of the take, sorted, without repeats.
std::vector<double> takeKeyTimes(const RecordedTake& take);

// The pose of the take at `time`: per joint the rotation from the rx, ry, rz
// curves (XYZ order) and the translation from tx, ty, tz.
CapturePose takePose(const RecordedTake& take, double time);

// The take as a BVH motion of the 27-joint skeleton, one frame per key time:
// the root's OFFSET is zero and its position channels hold its absolute
// translation (unambiguous whichever way a reader combines the two), other
// OFFSETs are the rest translations, and every joint has the channels
// Zrotation Yrotation Xrotation (the same rotation as the XYZ order).
// False when the take has no keys or its curves are not 162.
bool takeToBvh(const RecordedTake& take, BvhMotion& out, std::string& error);

}  // namespace ztools
