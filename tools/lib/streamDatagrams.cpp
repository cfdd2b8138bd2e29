#include "tools/lib/streamDatagrams.h"

#include <ostrevo/ostrevo.h>

#include <algorithm>
#include <cstring>

namespace ztools {

namespace {

constexpr std::uint64_t kSkeletonId = 131;

void setJoint(OsvJointPose& joint, const Quat& q, const Vec3& cm) {
    joint.rotation[0] = float(q.x);
    joint.rotation[1] = float(q.y);
    joint.rotation[2] = float(q.z);
    joint.rotation[3] = float(q.w);
    joint.translation[0] = float(cm.x / 100.0);
    joint.translation[1] = float(cm.y / 100.0);
    joint.translation[2] = float(cm.z / 100.0);
}

}  // namespace

bool encodeSkeletonDefinition(const CaptureTake& take, std::uint32_t sequence, EncodedDatagram& out,
                              std::uint64_t senderId) {
    OsvJointPose joints[kCaptureJoints];
    for (int j = 0; j < kCaptureJoints; ++j) setJoint(joints[j], Quat{}, take.definition[j]);
    OsvSkeletonDefinition def{};
    def.senderId = senderId;
    def.sequence = sequence;
    def.skeletonId = kSkeletonId;
    def.definitionTimeNs = 0;
    def.jointCount = kCaptureJoints;
    def.joints = joints;
    out.length = OsvEncodeSkeletonDefinition(&def, out.bytes, kDatagramCapacity);
    return out.length > 0;
}

bool encodeFrame(const CaptureTake& take, int frameIndex, std::int32_t frameNumber,
                 std::uint32_t sequence, EncodedDatagram& out, bool negate,
                 const FrameTimecode* timecode, std::uint64_t senderId) {
    if (frameIndex < 0 || frameIndex >= int(take.frames.size())) return false;
    return encodePose(take.frames[frameIndex], frameNumber, double(frameNumber) / take.fps,
                      sequence, out, negate, timecode, senderId);
}

FrameTimecode timecodeOfFrame(const FrameTimecode& start, std::int64_t frame, int captureFps) {
    const std::int64_t nominal = nominalFrames(start.rate);
    if (nominal == 0 || captureFps <= 0 || frame < 0) return FrameTimecode{};
    const std::int64_t step = frame * nominal / captureFps;
    // The first captured frame of timecode frame `step`: ceil(step * fps / nominal).
    const std::int64_t firstOfStep = (step * captureFps + nominal - 1) / nominal;
    FrameTimecode t = timecodeAtFrame(timecodeFrameCount(start) + step,
                                      static_cast<TimecodeRate>(start.rate), start.dropFrame());
    t.subframe = static_cast<std::uint8_t>(std::min<std::int64_t>(frame - firstOfStep, 99));
    return t;
}

bool encodePose(const CapturePose& pose, std::int32_t frameNumber, double timestamp,
                std::uint32_t sequence, EncodedDatagram& out, bool negate,
                const FrameTimecode* timecode, std::uint64_t senderId) {
    OsvJointPose joints[kCaptureJoints];
    for (int j = 0; j < kCaptureJoints; ++j) {
        const Quat& q = pose.rotations[j];
        setJoint(joints[j], negate ? Quat{-q.x, -q.y, -q.z, -q.w} : q, pose.translations[j]);
    }
    OsvFrameData frame{};
    frame.senderId = senderId;
    frame.sequence = sequence;
    frame.frameNumber = frameNumber;
    frame.latencyMs = 0.0f;
    frame.timestamp = timestamp;
    frame.jointCount = kCaptureJoints;
    frame.jointStatus = nullptr;
    frame.joints = joints;
    OsvTimecode wire{};
    if (timecode != nullptr) {
        static_assert(sizeof wire == sizeof *timecode, "the same 8 bytes");
        std::memcpy(&wire, timecode, sizeof wire);
    }
    out.length = OsvEncodeFrameDataWithTimecode(&frame, timecode != nullptr ? &wire : nullptr,
                                                out.bytes, kDatagramCapacity);
    return out.length > 0;
}

}  // namespace ztools
