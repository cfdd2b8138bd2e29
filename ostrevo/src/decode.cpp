// Conversion of intact datagrams into per-component arrays. The arrays live
// in thread-local storage of the calling thread: receivers on several
// threads never share them, and decoding allocates nothing.
#include "wireFormat.h"

namespace {

struct JointArrays {
    float rotationX[OSV_MAX_JOINTS];
    float rotationY[OSV_MAX_JOINTS];
    float rotationZ[OSV_MAX_JOINTS];
    float rotationW[OSV_MAX_JOINTS];
    float translationX[OSV_MAX_JOINTS];
    float translationY[OSV_MAX_JOINTS];
    float translationZ[OSV_MAX_JOINTS];
    std::int32_t status[OSV_MAX_JOINTS];
};

// Trivial type with zero initialisation: no constructor runs per thread.
thread_local JointArrays tArrays;

template <typename T>
void put(T* out, T value) {
    if (out != nullptr) {
        *out = value;
    }
}

// Scatters the interleaved joints into the arrays; `stride` bytes per joint.
void unpackJoints(const unsigned char* joints, std::int32_t count, std::size_t stride,
                  bool withStatus) {
    JointArrays& a = tArrays;
    for (std::int32_t i = 0; i < count; ++i) {
        const unsigned char* j = joints + static_cast<std::size_t>(i) * stride;
        a.rotationX[i] = osv::load<float>(j + 0);
        a.rotationY[i] = osv::load<float>(j + 4);
        a.rotationZ[i] = osv::load<float>(j + 8);
        a.rotationW[i] = osv::load<float>(j + 12);
        a.translationX[i] = osv::load<float>(j + 16);
        a.translationY[i] = osv::load<float>(j + 20);
        a.translationZ[i] = osv::load<float>(j + 24);
        a.status[i] = withStatus ? osv::load<std::int32_t>(j + 28) : 0;
    }
}

void putArrays(const float** rotationX, const float** rotationY, const float** rotationZ,
               const float** rotationW, const float** translationX, const float** translationY,
               const float** translationZ) {
    const JointArrays& a = tArrays;
    put<const float*>(rotationX, a.rotationX);
    put<const float*>(rotationY, a.rotationY);
    put<const float*>(rotationZ, a.rotationZ);
    put<const float*>(rotationW, a.rotationW);
    put<const float*>(translationX, a.translationX);
    put<const float*>(translationY, a.translationY);
    put<const float*>(translationZ, a.translationZ);
}

}  // namespace

extern "C" {

OSTREVO_API bool ConvertBytesToSkeletonDefinition(
    int32_t length, const char* bytes, uint64_t* senderId, uint32_t* sequence, int32_t* jointCount,
    uint64_t* skeletonId, uint64_t* definitionTimeNs, const float** rotationX,
    const float** rotationY, const float** rotationZ, const float** rotationW,
    const float** translationX, const float** translationY, const float** translationZ) {
    osv::Envelope envelope;
    if (!osv::openEnvelope(length, bytes, &envelope) ||
        envelope.kind != osv::Kind::SkeletonDefinition) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    unpackJoints(p + osv::kHeadBytes, envelope.jointCount, osv::kSkeletonJointBytes, false);

    put(senderId, osv::load<std::uint64_t>(p + osv::kSenderIdOffset));
    put(sequence, osv::load<std::uint32_t>(p + osv::kSequenceOffset));
    put(jointCount, envelope.jointCount);
    put(skeletonId, osv::load<std::uint64_t>(p + osv::kSkeletonIdOffset));
    put(definitionTimeNs, osv::load<std::uint64_t>(p + osv::kDefinitionTimeOffset));
    putArrays(rotationX, rotationY, rotationZ, rotationW, translationX, translationY, translationZ);
    return true;
}

OSTREVO_API bool ConvertBytesToFrameData(int32_t length, const char* bytes, uint64_t* senderId,
                                         uint32_t* sequence, int32_t* frameNumber, float* latencyMs,
                                         double* timestamp, int32_t* jointCount,
                                         const int32_t** jointStatus, const float** rotationX,
                                         const float** rotationY, const float** rotationZ,
                                         const float** rotationW, const float** translationX,
                                         const float** translationY, const float** translationZ) {
    osv::Envelope envelope;
    if (!osv::openEnvelope(length, bytes, &envelope) || envelope.kind != osv::Kind::FrameData) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    unpackJoints(p + osv::headBytes(envelope.kind, envelope.version), envelope.jointCount,
                 osv::kFrameJointBytes, true);

    put(senderId, osv::load<std::uint64_t>(p + osv::kSenderIdOffset));
    put(sequence, osv::load<std::uint32_t>(p + osv::kSequenceOffset));
    put(frameNumber, osv::load<std::int32_t>(p + osv::kFrameNumberOffset));
    put(latencyMs, osv::load<float>(p + osv::kLatencyOffset));
    put(timestamp, osv::load<double>(p + osv::kTimestampOffset));
    put(jointCount, envelope.jointCount);
    put<const std::int32_t*>(jointStatus, tArrays.status);
    putArrays(rotationX, rotationY, rotationZ, rotationW, translationX, translationY, translationZ);
    return true;
}

OSTREVO_API bool ConvertBytesToFrameTimecode(int32_t length, const char* bytes,
                                             OsvTimecode* timecode) {
    osv::Envelope envelope;
    if (!osv::openEnvelope(length, bytes, &envelope) || envelope.kind != osv::Kind::FrameData) {
        return false;
    }
    if (timecode != nullptr) {
        *timecode = OsvTimecode{};
        if (envelope.version >= osv::kVersionTimecode) {
            std::memcpy(timecode, bytes + osv::kTimecodeOffset, sizeof *timecode);
        }
    }
    return true;
}

}  // extern "C"
