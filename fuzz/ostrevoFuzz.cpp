// Any bytes, any length: the five decoding functions must agree with each
// other, never read outside the input, and a decoded datagram must encode
// back to exactly the bytes it came from.
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

std::vector<OsvJointPose> gatherPoses(std::int32_t count, const float* const (&a)[7]) {
    std::vector<OsvJointPose> poses(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        for (int c = 0; c < 4; ++c) {
            poses[i].rotation[c] = a[c][i];
        }
        for (int c = 0; c < 3; ++c) {
            poses[i].translation[c] = a[4 + c][i];
        }
    }
    return poses;
}

void checkReencodes(const std::uint8_t* data, std::int32_t encoded, const char* again) {
    check(encoded > 0);
    check(std::memcmp(again, data, static_cast<std::size_t>(encoded)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto length = static_cast<std::int32_t>(size > INT32_MAX ? INT32_MAX : size);
    const char* bytes = reinterpret_cast<const char*>(data);

    const bool osv = IsOsvBytes(length, bytes);
    const bool skeleton = IsSkeletonDefinitionBytes(length, bytes);
    const bool frame = IsFrameDataBytes(length, bytes);
    check(!(skeleton && frame));
    check(osv == (skeleton || frame));

    std::uint64_t u64a = 0;
    std::uint64_t u64b = 0;
    std::uint64_t u64c = 0;
    std::uint32_t u32 = 0;
    std::int32_t count = -1;
    std::int32_t number = 0;
    float latency = 0;
    double timestamp = 0;
    const std::int32_t* status = nullptr;
    const float* a[7] = {};
    static char again[OSV_MAX_DATAGRAM_BYTES];

    const bool definitionDecoded =
        ConvertBytesToSkeletonDefinition(length, bytes, &u64a, &u32, &count, &u64b, &u64c, &a[0],
                                         &a[1], &a[2], &a[3], &a[4], &a[5], &a[6]);
    check(definitionDecoded == skeleton);
    if (definitionDecoded) {
        check(count >= 0 && count <= OSV_MAX_JOINTS);
        const auto poses = gatherPoses(count, a);
        const OsvSkeletonDefinition d{u64a, u32, u64b, u64c, count, poses.data()};
        checkReencodes(data, OsvEncodeSkeletonDefinition(&d, again, sizeof again), again);
    }

    count = -1;
    const bool frameDecoded =
        ConvertBytesToFrameData(length, bytes, &u64a, &u32, &number, &latency, &timestamp, &count,
                                &status, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6]);
    check(frameDecoded == frame);
    if (frameDecoded) {
        check(count >= 0 && count <= OSV_MAX_JOINTS);
        const auto poses = gatherPoses(count, a);
        const OsvFrameData f{u64a, u32, number, latency, timestamp, count, status, poses.data()};
        checkReencodes(data, OsvEncodeFrameData(&f, again, sizeof again), again);
    }
    return 0;
}
