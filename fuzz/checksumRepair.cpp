#include "checksumRepair.h"

#include "crc32.h"
#include "wireFormat.h"

#include <algorithm>
#include <cstring>

std::size_t repairChecksum(const std::uint8_t* data, std::size_t size, RepairBuffer& out) {
    const std::size_t copied = std::min(size, sizeof out);
    if (copied < osv::kMinDatagramBytes) {
        return 0;
    }
    const auto declared = osv::load<std::uint32_t>(data + osv::kTotalLengthOffset);
    if (declared < osv::kMinDatagramBytes || declared > copied) {
        return 0;
    }
    // The check value of the kind the version field names.
    const auto version = osv::load<std::uint16_t>(data + osv::kVersionOffset);
    const std::size_t covered = declared - osv::kCrcBytes;
    const std::uint32_t crc = osv::checksum(version, data, covered);
    if (crc == osv::load<std::uint32_t>(data + covered)) {
        return 0;
    }
    std::memcpy(out, data, copied);
    osv::store<std::uint32_t>(out + covered, crc);
    return copied;
}

void asIsAndRepaired(const std::uint8_t* data, std::size_t size,
                     void (*check)(const std::uint8_t* data, std::size_t size)) {
    check(data, size);
    static RepairBuffer repaired;
    const std::size_t repairedSize = repairChecksum(data, size, repaired);
    if (repairedSize > 0) {
        check(repaired, repairedSize);
    }
}
