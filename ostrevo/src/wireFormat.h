// Byte layout of the datagrams (see docs/datagram-format.md) and the checks
// every decoder runs before it reads a single value.
#pragma once

#include "crc32.h"

#include "ostrevo/ostrevo.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "the datagram codec copies little-endian values as they are"
#endif

namespace osv {

inline constexpr unsigned char kMagic[4] = {'O', 'S', 'V', 'D'};
// Version 1 closes a datagram with CRC-32, version 2 (written by the
// encoders) with CRC-32C, which processors compute in hardware. Version 3
// (CRC-32C) adds a timecode to frame data. All are read.
inline constexpr std::uint16_t kVersionCrc32 = 1;
inline constexpr std::uint16_t kVersionCrc32c = 2;
inline constexpr std::uint16_t kVersionTimecode = 3;
inline constexpr std::uint16_t kVersion = kVersionCrc32c;

enum class Kind : std::uint16_t { SkeletonDefinition = 1, FrameData = 2 };

// Offsets shared by both kinds.
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kVersionOffset = 4;
inline constexpr std::size_t kKindOffset = 6;
inline constexpr std::size_t kTotalLengthOffset = 8;
inline constexpr std::size_t kSenderIdOffset = 12;
inline constexpr std::size_t kSequenceOffset = 20;
inline constexpr std::size_t kJointCountOffset = 24;

// Skeleton-definition body.
inline constexpr std::size_t kSkeletonIdOffset = 28;
inline constexpr std::size_t kDefinitionTimeOffset = 36;

// Frame-data body.
inline constexpr std::size_t kFrameNumberOffset = 28;
inline constexpr std::size_t kLatencyOffset = 32;
inline constexpr std::size_t kTimestampOffset = 36;

// Frame data of version 3: the 8-byte timecode after the time stamp.
inline constexpr std::size_t kTimecodeOffset = 44;
inline constexpr std::size_t kTimecodeBytes = 8;

// Both kinds have a 44-byte head before the joints (frame data of version 3:
// 52) and a 4-byte CRC after.
inline constexpr std::size_t kHeadBytes = 44;
inline constexpr std::size_t kCrcBytes = 4;
inline constexpr std::size_t kMinDatagramBytes = kHeadBytes + kCrcBytes;

// Per joint: rotation x, y, z, w and translation x, y, z as float32; frame
// data add a 32-bit status.
inline constexpr std::size_t kSkeletonJointBytes = std::size_t{7} * 4;
inline constexpr std::size_t kFrameJointBytes = std::size_t{7} * 4 + 4;

inline constexpr std::size_t jointBytes(Kind kind) {
    return kind == Kind::SkeletonDefinition ? kSkeletonJointBytes : kFrameJointBytes;
}

inline constexpr std::size_t headBytes(Kind kind, std::uint16_t version) {
    return kind == Kind::FrameData && version >= kVersionTimecode ? kHeadBytes + kTimecodeBytes
                                                                  : kHeadBytes;
}

inline constexpr std::size_t datagramBytes(Kind kind, std::size_t joints,
                                           std::uint16_t version = kVersion) {
    return headBytes(kind, version) + joints * jointBytes(kind) + kCrcBytes;
}

static_assert(datagramBytes(Kind::FrameData, OSV_MAX_JOINTS, kVersionTimecode) <=
                  OSV_MAX_DATAGRAM_BYTES,
              "the largest datagram must fit a receive buffer");

template <typename T>
T load(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T>
void store(unsigned char* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

// The check value of a datagram of that version over `size` bytes.
inline std::uint32_t checksum(std::uint16_t version, const unsigned char* bytes, std::size_t size) {
    return version == kVersionCrc32 ? crc32(bytes, size) : crc32c(bytes, size);
}

// What the checks found out about an intact datagram.
struct Envelope {
    Kind kind;
    std::uint16_t version;
    std::int32_t jointCount;
    std::size_t totalBytes;
};

// Whether the 8 timecode bytes hold a valid timecode: every byte 0 without
// the present flag; with it each field in range and no label that
// drop-frame skips (timecodeRules.cpp).
bool timecodeValid(const OsvTimecode& timecode);

// True when the first `length` bytes start with a complete, intact datagram:
// magic, version, known kind, declared length within `length`, joint count in
// 0..OSV_MAX_JOINTS agreeing exactly with the declared length, a valid
// timecode (version 3 frame data), and CRC.
bool openEnvelope(std::int32_t length, const char* bytes, Envelope* envelope);

}  // namespace osv
