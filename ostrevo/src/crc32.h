// The check values that close a datagram: CRC-32 (IEEE 802.3: reflected
// polynomial 0xEDB88320) in version 1, CRC-32C (Castagnoli: reflected
// polynomial 0x82F63B78) in version 2; both with initial value and final xor
// 0xFFFFFFFF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace osv {

// CRC of `size` bytes; a null pointer is allowed only with size 0.
std::uint32_t crc32(const unsigned char* bytes, std::size_t size);
// CRC-32C, with the processor's CRC32 instruction (SSE 4.2) where there is one.
std::uint32_t crc32c(const unsigned char* bytes, std::size_t size);
// The same without the instruction, to check one against the other.
std::uint32_t crc32cPortable(const unsigned char* bytes, std::size_t size);

}  // namespace osv
