#include "crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <nmmintrin.h>
#define OSV_HAVE_SSE42_PATH 1
#endif

namespace osv {
namespace {

using Table = std::array<std::array<std::uint32_t, 256>, 8>;

// Slicing-by-8 tables, built at compile time so that there is no start-up
// code and nothing to race on between threads.
constexpr Table makeTables(std::uint32_t polynomial) {
    Table t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) ? (polynomial ^ (c >> 1)) : (c >> 1);
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

constexpr Table kIeeeTables = makeTables(0xEDB88320u);
constexpr Table kCastagnoliTables = makeTables(0x82F63B78u);

std::uint32_t sliceBy8(const Table& t, const unsigned char* bytes, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
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

#ifdef OSV_HAVE_SSE42_PATH
// Three lanes of this many bytes each are checksummed side by side: the
// instruction's latency is three times its throughput, so one lane alone
// leaves two thirds of the unit idle.
constexpr std::size_t kLaneBytes = 256;

using ShiftTable = std::array<std::array<std::uint32_t, 256>, 4>;
// A linear map of 32-bit CRC registers, by the images of the 32 single bits.
using RegisterMap = std::array<std::uint32_t, 32>;

constexpr std::uint32_t apply(const RegisterMap& map, std::uint32_t c) {
    std::uint32_t out = 0;
    for (int bit = 0; bit < 32; ++bit) {
        if ((c >> bit) & 1u) out ^= map[bit];
    }
    return out;
}

// What a CRC register becomes after kLaneBytes zero bytes: one zero byte's
// map, squared until it covers the lane; the table splits the register
// into bytes so that four lookups, combined by xor, apply it.
constexpr ShiftTable makeLaneShift() {
    RegisterMap map{};
    for (int bit = 0; bit < 32; ++bit) {
        const std::uint32_t c = 1u << bit;
        map[bit] = (c >> 8) ^ kCastagnoliTables[0][c & 0xFFu];
    }
    static_assert((kLaneBytes & (kLaneBytes - 1)) == 0, "the lane is a power of two bytes");
    for (std::size_t bytes = 1; bytes < kLaneBytes; bytes *= 2) {
        RegisterMap squared{};
        for (int bit = 0; bit < 32; ++bit) squared[bit] = apply(map, map[bit]);
        map = squared;
    }
    ShiftTable t{};
    for (std::size_t part = 0; part < 4; ++part) {
        for (std::uint32_t b = 0; b < 256; ++b) t[part][b] = apply(map, b << (8 * part));
    }
    return t;
}

constexpr ShiftTable kLaneShift = makeLaneShift();

std::uint32_t shiftOverLane(std::uint32_t c) {
    return kLaneShift[0][c & 0xFFu] ^ kLaneShift[1][(c >> 8) & 0xFFu] ^
           kLaneShift[2][(c >> 16) & 0xFFu] ^ kLaneShift[3][c >> 24];
}

__attribute__((target("sse4.2"))) std::uint32_t crc32cInstruction(const unsigned char* bytes,
                                                                  std::size_t size) {
    std::uint64_t c = 0xFFFFFFFFu;
    while (size >= 3 * kLaneBytes) {
        std::uint64_t second = 0;
        std::uint64_t third = 0;
        for (std::size_t i = 0; i < kLaneBytes; i += 8) {
            std::uint64_t a;
            std::uint64_t b;
            std::uint64_t d;
            std::memcpy(&a, bytes + i, 8);
            std::memcpy(&b, bytes + kLaneBytes + i, 8);
            std::memcpy(&d, bytes + 2 * kLaneBytes + i, 8);
            c = _mm_crc32_u64(c, a);
            second = _mm_crc32_u64(second, b);
            third = _mm_crc32_u64(third, d);
        }
        const std::uint32_t firstTwo =
            shiftOverLane(static_cast<std::uint32_t>(c)) ^ static_cast<std::uint32_t>(second);
        c = shiftOverLane(firstTwo) ^ static_cast<std::uint32_t>(third);
        bytes += 3 * kLaneBytes;
        size -= 3 * kLaneBytes;
    }
    while (size >= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes, 8);
        c = _mm_crc32_u64(c, word);
        bytes += 8;
        size -= 8;
    }
    auto c32 = static_cast<std::uint32_t>(c);
    while (size > 0) {
        c32 = _mm_crc32_u8(c32, *bytes);
        ++bytes;
        --size;
    }
    return c32 ^ 0xFFFFFFFFu;
}

// Asked once; the answer never changes while the process runs.
bool haveCrc32Instruction() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse4.2") != 0;
    }();
    return have;
}
#endif

}  // namespace

std::uint32_t crc32(const unsigned char* bytes, std::size_t size) {
    return sliceBy8(kIeeeTables, bytes, size);
}

std::uint32_t crc32cPortable(const unsigned char* bytes, std::size_t size) {
    return sliceBy8(kCastagnoliTables, bytes, size);
}

std::uint32_t crc32c(const unsigned char* bytes, std::size_t size) {
#ifdef OSV_HAVE_SSE42_PATH
    if (haveCrc32Instruction()) return crc32cInstruction(bytes, size);
#endif
    return crc32cPortable(bytes, size);
}

}  // namespace osv
