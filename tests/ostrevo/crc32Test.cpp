#include "crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Bitwise reference, independent of the table-driven code.
std::uint32_t referenceCrc(const unsigned char* p, std::size_t n,
                           std::uint32_t polynomial = 0xEDB88320u) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) {
            c = (c >> 1) ^ (polynomial & (0u - (c & 1u)));
        }
    }
    return ~c;
}

TEST(Crc32, MatchesTheStandardCheckValues) {
    const std::string check = "123456789";
    EXPECT_EQ(osv::crc32(reinterpret_cast<const unsigned char*>(check.data()), check.size()),
              0xCBF43926u);
    EXPECT_EQ(osv::crc32(nullptr, 0), 0u);
    const unsigned char zero = 0;
    EXPECT_EQ(osv::crc32(&zero, 1), 0xD202EF8Du);
}

TEST(Crc32, AgreesWithBitwiseReferenceForEveryLengthAndAlignment) {
    // Long enough for the instruction path's three side-by-side lanes, several times.
    std::vector<unsigned char> data(2400);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>((i * 131u + 7u) ^ (i >> 3));
    }
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t n = 0; n + offset <= data.size(); n += 13) {
            const unsigned char* p = data.data() + offset;
            EXPECT_EQ(osv::crc32(p, n), referenceCrc(p, n))
                << "offset " << offset << " length " << n;
            // CRC-32C, with the instruction where there is one, and without.
            const std::uint32_t castagnoli = referenceCrc(p, n, 0x82F63B78u);
            EXPECT_EQ(osv::crc32c(p, n), castagnoli) << "offset " << offset << " length " << n;
            EXPECT_EQ(osv::crc32cPortable(p, n), castagnoli);
        }
    }
    const std::string check = "123456789";
    EXPECT_EQ(osv::crc32c(reinterpret_cast<const unsigned char*>(check.data()), check.size()),
              0xE3069283u);
}

TEST(Crc32, DetectsEverySingleBitFlip) {
    std::vector<unsigned char> data(64, 0x5A);
    const std::uint32_t intact = osv::crc32(data.data(), data.size());
    for (std::size_t byte = 0; byte < data.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            data[byte] ^= static_cast<unsigned char>(1u << bit);
            EXPECT_NE(osv::crc32(data.data(), data.size()), intact);
            data[byte] ^= static_cast<unsigned char>(1u << bit);
        }
    }
}

}  // namespace
