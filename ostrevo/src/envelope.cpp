// Integrity checks and classification. Every length is checked before the
// bytes it covers are read, and the joint count is trusted only once it
// agrees with the declared length.
#include "crc32.h"
#include "wireFormat.h"

namespace osv {

namespace {

// The last datagram this thread found intact. A receiver asks up to three
// questions about each datagram (format, kind, decode); the same bytes give
// the same answer, so the checksum is computed only for bytes not seen last.
struct LastIntact {
    std::uint32_t totalBytes;  // 0: none yet
    unsigned char bytes[OSV_MAX_DATAGRAM_BYTES];
};
// Trivial type with zero initialisation: no constructor runs per thread.
thread_local LastIntact tLastIntact;

bool checksumMatches(std::uint16_t version, const unsigned char* p, std::size_t total) {
    LastIntact& last = tLastIntact;
    if (last.totalBytes == total && std::memcmp(last.bytes, p, total) == 0) {
        return true;
    }
    const std::size_t covered = total - kCrcBytes;
    if (checksum(version, p, covered) != load<std::uint32_t>(p + covered)) {
        return false;
    }
    std::memcpy(last.bytes, p, total);
    last.totalBytes = static_cast<std::uint32_t>(total);
    return true;
}

}  // namespace

bool openEnvelope(std::int32_t length, const char* bytes, Envelope* envelope) {
    if (bytes == nullptr || length < static_cast<std::int32_t>(kMinDatagramBytes)) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    if (std::memcmp(p + kMagicOffset, kMagic, sizeof kMagic) != 0) {
        return false;
    }
    const auto version = load<std::uint16_t>(p + kVersionOffset);
    if (version != kVersionCrc32 && version != kVersionCrc32c && version != kVersionTimecode) {
        return false;
    }
    const auto kindValue = load<std::uint16_t>(p + kKindOffset);
    if (kindValue != static_cast<std::uint16_t>(Kind::SkeletonDefinition) &&
        kindValue != static_cast<std::uint16_t>(Kind::FrameData)) {
        return false;
    }
    const Kind kind = static_cast<Kind>(kindValue);

    // The declared length may be shorter than the caller's buffer (which is
    // usually the whole receive buffer) but never longer.
    const std::uint32_t declared = load<std::uint32_t>(p + kTotalLengthOffset);
    if (declared < kMinDatagramBytes || declared > static_cast<std::uint32_t>(length) ||
        declared > OSV_MAX_DATAGRAM_BYTES) {
        return false;
    }
    const std::int32_t joints = load<std::int32_t>(p + kJointCountOffset);
    if (joints < 0 || joints > OSV_MAX_JOINTS) {
        return false;
    }
    if (declared != datagramBytes(kind, static_cast<std::size_t>(joints), version)) {
        return false;
    }
    if (headBytes(kind, version) > kHeadBytes) {
        OsvTimecode timecode;
        std::memcpy(&timecode, p + kTimecodeOffset, sizeof timecode);
        if (!timecodeValid(timecode)) {
            return false;
        }
    }

    // The CRC covers exactly the declared extent, so a datagram cut short and
    // completed by bytes of an earlier, longer one does not pass.
    if (!checksumMatches(version, p, declared)) {
        return false;
    }

    envelope->kind = kind;
    envelope->version = version;
    envelope->jointCount = joints;
    envelope->totalBytes = declared;
    return true;
}

}  // namespace osv

extern "C" {

OSTREVO_API bool IsOsvBytes(int32_t length, const char* bytes) {
    osv::Envelope envelope;
    return osv::openEnvelope(length, bytes, &envelope);
}

OSTREVO_API bool IsSkeletonDefinitionBytes(int32_t length, const char* bytes) {
    osv::Envelope envelope;
    return osv::openEnvelope(length, bytes, &envelope) &&
           envelope.kind == osv::Kind::SkeletonDefinition;
}

OSTREVO_API bool IsFrameDataBytes(int32_t length, const char* bytes) {
    osv::Envelope envelope;
    return osv::openEnvelope(length, bytes, &envelope) && envelope.kind == osv::Kind::FrameData;
}

}  // extern "C"
