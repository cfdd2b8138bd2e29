#include "crc32.h"

#include <array>
#include <cstring>

namespace osv {
namespace {

using Table = std::array<std::array<std::uint32_t, 256>, 8>;

// Slicing-by-8 tables, built at compile time so that there is no start-up
// code and nothing to race on between threads.
constexpr Table makeTables() {
    Table t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        }
        t[0][i] = c;
    }
    for (std::size_t s = 1; s < 8; ++s) {
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t prev = t[s - 1][i];
            t[s][i] = (prev >> 8) ^ t[0][prev & 0xFFu];
        }
    }
    return t;
}

constexpr Table kTables = makeTables();

}  // namespace

std::uint32_t crc32(const unsigned char* bytes, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
    const auto& t = kTables;
    while (size >= 8) {
        std::uint32_t lo;
        std::uint32_t hi;
        std::memcpy(&lo, bytes, 4);
        std::memcpy(&hi, bytes + 4, 4);
        lo ^= c;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        bytes += 8;
        size -= 8;
    }
    while (size > 0) {
        c = (c >> 8) ^ t[0][(c ^ *bytes) & 0xFF];
        ++bytes;
        --size;
    }
    return c ^ 0xFFFFFFFFu;
}

}  // namespace osv
