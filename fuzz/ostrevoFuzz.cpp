// Any bytes, any length: the five decoding functions must agree with each
// other, never read outside the input, write exactly the outputs they are
// given, and a decoded datagram must encode back to exactly the bytes it
// came from (a version 1 one but for its version and check value), and only
// into room enough for it. Each input is checked as it
// is and with its CRC repaired.
#include "checksumRepair.h"
#include "ostrevo/ostrevo.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Bitwise, so that NaN values compare too.
template <typename T>
bool same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The output at `bit` of a decode: null when the bit is set in `omit`.
template <typename T>
T* unless(std::uint64_t omit, int bit, T* output) {
    return ((omit >> bit) & 1u) != 0 ? nullptr : output;
}

struct Outputs {
    std::uint64_t senderId = 0;
    std::uint32_t sequence = 0;
    std::int32_t jointCount = -1;
    std::uint64_t skeletonId = 0;
    std::uint64_t definitionTime = 0;
    std::int32_t frameNumber = 0;
    float latency = 0;
    double timestamp = 0;
    const std::int32_t* status = nullptr;
    const float* a[7] = {};
};

bool decodeDefinition(std::int32_t length, const char* bytes, Outputs& o, std::uint64_t omit) {
    return ConvertBytesToSkeletonDefinition(
        length, bytes, unless(omit, 0, &o.senderId), unless(omit, 1, &o.sequence),
        unless(omit, 2, &o.jointCount), unless(omit, 3, &o.skeletonId),
        unless(omit, 4, &o.definitionTime), unless(omit, 5, &o.a[0]), unless(omit, 6, &o.a[1]),
        unless(omit, 7, &o.a[2]), unless(omit, 8, &o.a[3]), unless(omit, 9, &o.a[4]),
        unless(omit, 10, &o.a[5]), unless(omit, 11, &o.a[6]));
}

bool decodeFrame(std::int32_t length, const char* bytes, Outputs& o, std::uint64_t omit) {
    return ConvertBytesToFrameData(
        length, bytes, unless(omit, 0, &o.senderId), unless(omit, 1, &o.sequence),
        unless(omit, 12, &o.frameNumber), unless(omit, 13, &o.latency),
        unless(omit, 14, &o.timestamp), unless(omit, 2, &o.jointCount), unless(omit, 15, &o.status),
        unless(omit, 5, &o.a[0]), unless(omit, 6, &o.a[1]), unless(omit, 7, &o.a[2]),
        unless(omit, 8, &o.a[3]), unless(omit, 9, &o.a[4]), unless(omit, 10, &o.a[5]),
        unless(omit, 11, &o.a[6]));
}

// A decode with the outputs that the sender id's bits pick left null gives
// the full decode's values in the others and leaves those null alone.
void checkPartialDecode(bool (*decode)(std::int32_t, const char*, Outputs&, std::uint64_t),
                        std::int32_t length, const char* bytes, const Outputs& full) {
    const std::uint64_t omit = full.senderId;
    Outputs part;
    const Outputs untouched;
    check(decode(length, bytes, part, omit));
    const auto agrees = [&](int bit, const auto& got, const auto& whole, const auto& initial) {
        check(same(got, ((omit >> bit) & 1u) != 0 ? initial : whole));
    };
    agrees(0, part.senderId, full.senderId, untouched.senderId);
    agrees(1, part.sequence, full.sequence, untouched.sequence);
    agrees(2, part.jointCount, full.jointCount, untouched.jointCount);
    agrees(3, part.skeletonId, full.skeletonId, untouched.skeletonId);
    agrees(4, part.definitionTime, full.definitionTime, untouched.definitionTime);
    for (int c = 0; c < 7; ++c) {
        agrees(5 + c, part.a[c], full.a[c], untouched.a[c]);
    }
    agrees(12, part.frameNumber, full.frameNumber, untouched.frameNumber);
    agrees(13, part.latency, full.latency, untouched.latency);
    agrees(14, part.timestamp, full.timestamp, untouched.timestamp);
    agrees(15, part.status, full.status, untouched.status);
}

std::vector<OsvJointPose> gatherPoses(const Outputs& o) {
    std::vector<OsvJointPose> poses(static_cast<std::size_t>(o.jointCount));
    for (std::int32_t i = 0; i < o.jointCount; ++i) {
        for (int c = 0; c < 4; ++c) {
            poses[i].rotation[c] = o.a[c][i];
        }
        for (int c = 0; c < 3; ++c) {
            poses[i].translation[c] = o.a[4 + c][i];
        }
    }
    return poses;
}

OsvSkeletonDefinition definitionOf(const Outputs& d, const OsvJointPose* poses) {
    return {d.senderId, d.sequence, d.skeletonId, d.definitionTime, d.jointCount, poses};
}

OsvFrameData frameOf(const Outputs& f, const OsvJointPose* poses) {
    return {f.senderId,  f.sequence,   f.frameNumber, f.latency,
            f.timestamp, f.jointCount, f.status,      poses};
}

// One kind's converter accepts exactly what its test accepts; what it
// decodes survives a partial decode and encodes back to the input's bytes,
// and not at all into room one byte short of them.
template <typename Datagram, typename Encode>
void checkKind(bool accepted, bool (*decode)(std::int32_t, const char*, Outputs&, std::uint64_t),
               Datagram (*make)(const Outputs&, const OsvJointPose*), Encode encode,
               const std::uint8_t* data, std::int32_t length) {
    const char* bytes = reinterpret_cast<const char*>(data);
    Outputs o;
    check(decode(length, bytes, o, 0) == accepted);
    if (!accepted) {
        return;
    }
    check(o.jointCount >= 0 && o.jointCount <= OSV_MAX_JOINTS);
    checkPartialDecode(decode, length, bytes, o);
    const auto poses = gatherPoses(o);
    const Datagram datagram = make(o, poses.data());
    static char again[OSV_MAX_DATAGRAM_BYTES];
    const std::int32_t total = encode(&datagram, again, sizeof again);
    check(total > 0 && total <= length);
    // The encoder writes version 2, or version 3 for a frame with a
    // timecode: those come back byte for byte (bytes past the datagram's
    // length are not its own). A version 1 input differs
    // from its re-encoding in the version field and the check value only; a
    // version 3 frame without a timecode re-encodes as version 2, which must
    // decode to the very same values.
    const auto n = static_cast<std::size_t>(total);
    if (again[4] == static_cast<char>(data[4])) {
        check(std::memcmp(again, data, n) == 0);
    } else if (data[4] == 1) {
        check(std::memcmp(again, data, 4) == 0);
        check(std::memcmp(again + 6, data + 6, n - 6 - 4) == 0);
    } else {
        check(data[4] == 3 && again[4] == 2);
        Outputs back;
        check(decode(total, again, back, 0));
        check(same(back.senderId, o.senderId) && same(back.sequence, o.sequence) &&
              same(back.jointCount, o.jointCount) && same(back.frameNumber, o.frameNumber) &&
              same(back.latency, o.latency) && same(back.timestamp, o.timestamp));
        // No joints: the arrays may be null, and there is nothing to compare.
        for (int c = 0; c < 7 && !poses.empty(); ++c) {
            check(std::memcmp(back.a[c], o.a[c], sizeof(float) * poses.size()) == 0);
        }
        // A definition has no status (a version 3 one re-encodes as version 2 too).
        check(poses.empty() || o.status == nullptr ||
              std::memcmp(back.status, o.status, sizeof(std::int32_t) * poses.size()) == 0);
    }
    check(encode(&datagram, again, total - 1) == -1);
}

void checkDecoders(const std::uint8_t* data, std::size_t size) {
    const auto length = static_cast<std::int32_t>(size > INT32_MAX ? INT32_MAX : size);
    const char* bytes = reinterpret_cast<const char*>(data);

    const bool osv = IsOsvBytes(length, bytes);
    const bool skeleton = IsSkeletonDefinitionBytes(length, bytes);
    const bool frame = IsFrameDataBytes(length, bytes);
    check(!(skeleton && frame));
    check(osv == (skeleton || frame));
    checkKind(skeleton, decodeDefinition, definitionOf, OsvEncodeSkeletonDefinition, data, length);
    // A frame's timecode is read exactly when the frame is, and re-encoded with it.
    OsvTimecode timecode{};
    check(ConvertBytesToFrameTimecode(length, bytes, &timecode) == frame);
    const auto encodeFrame = [&timecode](const OsvFrameData* datagram, char* out,
                                         std::int32_t capacity) {
        return OsvEncodeFrameDataWithTimecode(datagram, &timecode, out, capacity);
    };
    checkKind(frame, decodeFrame, frameOf, encodeFrame, data, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    asIsAndRepaired(data, size, checkDecoders);
    return 0;
}
