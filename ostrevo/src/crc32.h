// CRC-32 (IEEE 802.3: reflected polynomial 0xEDB88320, initial value and
// final xor 0xFFFFFFFF), the check value that closes every datagram.
#pragma once

#include <cstddef>
#include <cstdint>

namespace osv {

// CRC of `size` bytes; a null pointer is allowed only with size 0.
std::uint32_t crc32(const unsigned char* bytes, std::size_t size);

}  // namespace osv
