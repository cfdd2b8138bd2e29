// Encoders for senders (the capture stand-in, tests, the seed corpus).
#include "crc32.h"
#include "wireFormat.h"

namespace {

// Writes the parts both kinds share; the caller has checked the capacity.
void putHead(unsigned char* p, osv::Kind kind, std::uint16_t version, std::size_t total,
             std::uint64_t senderId, std::uint32_t sequence, std::int32_t jointCount) {
    std::memcpy(p + osv::kMagicOffset, osv::kMagic, sizeof osv::kMagic);
    osv::store<std::uint16_t>(p + osv::kVersionOffset, version);
    osv::store<std::uint16_t>(p + osv::kKindOffset, static_cast<std::uint16_t>(kind));
    osv::store<std::uint32_t>(p + osv::kTotalLengthOffset, static_cast<std::uint32_t>(total));
    osv::store<std::uint64_t>(p + osv::kSenderIdOffset, senderId);
    osv::store<std::uint32_t>(p + osv::kSequenceOffset, sequence);
    osv::store<std::int32_t>(p + osv::kJointCountOffset, jointCount);
}

void putPose(unsigned char* j, const OsvJointPose& pose) {
    for (std::size_t c = 0; c < 4; ++c) {
        osv::store<float>(j + 4 * c, pose.rotation[c]);
    }
    for (std::size_t c = 0; c < 3; ++c) {
        osv::store<float>(j + 16 + 4 * c, pose.translation[c]);
    }
}

std::int32_t seal(unsigned char* p, std::uint16_t version, std::size_t total) {
    const std::size_t covered = total - osv::kCrcBytes;
    osv::store<std::uint32_t>(p + covered, osv::checksum(version, p, covered));
    return static_cast<std::int32_t>(total);
}

// Size of the datagram, or 0 when the arguments cannot make one.
std::size_t plannedBytes(osv::Kind kind, std::uint16_t version, std::int32_t jointCount,
                         const OsvJointPose* joints, const char* out, std::int32_t capacity) {
    if (out == nullptr || jointCount < 0 || jointCount > OSV_MAX_JOINTS ||
        (jointCount > 0 && joints == nullptr) || capacity < 0) {
        return 0;
    }
    const std::size_t total =
        osv::datagramBytes(kind, static_cast<std::size_t>(jointCount), version);
    return total <= static_cast<std::size_t>(capacity) ? total : 0;
}

}  // namespace

extern "C" {

OSTREVO_API int32_t OsvEncodeSkeletonDefinition(const OsvSkeletonDefinition* definition, char* out,
                                                int32_t capacity) {
    if (definition == nullptr) {
        return -1;
    }
    const osv::Kind kind = osv::Kind::SkeletonDefinition;
    const std::size_t total = plannedBytes(kind, osv::kVersion, definition->jointCount,
                                           definition->joints, out, capacity);
    if (total == 0) {
        return -1;
    }
    auto* p = reinterpret_cast<unsigned char*>(out);
    putHead(p, kind, osv::kVersion, total, definition->senderId, definition->sequence,
            definition->jointCount);
    osv::store<std::uint64_t>(p + osv::kSkeletonIdOffset, definition->skeletonId);
    osv::store<std::uint64_t>(p + osv::kDefinitionTimeOffset, definition->definitionTimeNs);
    for (std::int32_t i = 0; i < definition->jointCount; ++i) {
        putPose(p + osv::kHeadBytes + static_cast<std::size_t>(i) * osv::kSkeletonJointBytes,
                definition->joints[i]);
    }
    return seal(p, osv::kVersion, total);
}

OSTREVO_API int32_t OsvEncodeFrameData(const OsvFrameData* frame, char* out, int32_t capacity) {
    return OsvEncodeFrameDataWithTimecode(frame, nullptr, out, capacity);
}

OSTREVO_API int32_t OsvEncodeFrameDataWithTimecode(const OsvFrameData* frame,
                                                   const OsvTimecode* timecode, char* out,
                                                   int32_t capacity) {
    if (frame == nullptr) {
        return -1;
    }
    // Without a timecode version 2, which receivers built before version 3
    // still read.
    const bool withTimecode = timecode != nullptr && (timecode->flags & OSV_TIMECODE_PRESENT) != 0;
    if (withTimecode && !osv::timecodeValid(*timecode)) {
        return -1;
    }
    const std::uint16_t version = withTimecode ? osv::kVersionTimecode : osv::kVersion;
    const osv::Kind kind = osv::Kind::FrameData;
    const std::size_t total =
        plannedBytes(kind, version, frame->jointCount, frame->joints, out, capacity);
    if (total == 0) {
        return -1;
    }
    auto* p = reinterpret_cast<unsigned char*>(out);
    putHead(p, kind, version, total, frame->senderId, frame->sequence, frame->jointCount);
    osv::store<std::int32_t>(p + osv::kFrameNumberOffset, frame->frameNumber);
    osv::store<float>(p + osv::kLatencyOffset, frame->latencyMs);
    osv::store<double>(p + osv::kTimestampOffset, frame->timestamp);
    if (withTimecode) {
        std::memcpy(p + osv::kTimecodeOffset, timecode, sizeof *timecode);
    }
    const std::size_t head = osv::headBytes(kind, version);
    for (std::int32_t i = 0; i < frame->jointCount; ++i) {
        unsigned char* j = p + head + static_cast<std::size_t>(i) * osv::kFrameJointBytes;
        putPose(j, frame->joints[i]);
        osv::store<std::int32_t>(j + 28, frame->jointStatus ? frame->jointStatus[i] : 0);
    }
    return seal(p, version, total);
}

}  // extern "C"
