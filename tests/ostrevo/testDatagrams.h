// Builders for datagrams in a 4096-byte receive buffer, and for deliberately
// damaged ones that still carry a correct CRC.
#pragma once

#include "crc32.h"
#include "ostrevo/ostrevo.h"
#include "wireFormat.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace osvtest {

using Buffer = std::array<char, OSV_MAX_DATAGRAM_BYTES>;

// Distinct, exactly representable values per joint and component.
inline std::vector<OsvJointPose> makePoses(int count, float seed) {
    std::vector<OsvJointPose> poses(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const float base = seed + static_cast<float>(i) * 0.125f;
        poses[i] = OsvJointPose{{base + 0.25f, base - 0.5f, base * 0.5f, 1.0f - base},
                                {base * 2.0f, -base, base + 3.0f}};
    }
    return poses;
}

inline OsvSkeletonDefinition makeDefinition(const std::vector<OsvJointPose>& poses) {
    return OsvSkeletonDefinition{0x1122334455667788ull,
                                 77u,
                                 0xABCDEF01ull,
                                 123456789ull,
                                 static_cast<std::int32_t>(poses.size()),
                                 poses.data()};
}

inline OsvFrameData makeFrame(const std::vector<OsvJointPose>& poses,
                              const std::vector<std::int32_t>* status, std::int32_t frameNumber,
                              double timestamp) {
    return OsvFrameData{0x0102030405060708ull,
                        4242u,
                        frameNumber,
                        12.5f,
                        timestamp,
                        static_cast<std::int32_t>(poses.size()),
                        status ? status->data() : nullptr,
                        poses.data()};
}

// Recomputes the check value, of the kind its version field names, after a
// test has edited a datagram of `total` bytes.
inline void reseal(Buffer& buffer, std::size_t total) {
    const auto* p = reinterpret_cast<const unsigned char*>(buffer.data());
    std::uint16_t version = 0;
    std::memcpy(&version, p + osv::kVersionOffset, sizeof version);
    const std::uint32_t crc = osv::checksum(version, p, total - osv::kCrcBytes);
    std::memcpy(buffer.data() + total - osv::kCrcBytes, &crc, sizeof crc);
}

template <typename T>
void poke(Buffer& buffer, std::size_t offset, T value) {
    std::memcpy(buffer.data() + offset, &value, sizeof value);
}

}  // namespace osvtest
