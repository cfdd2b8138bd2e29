// The fuzz targets' second pass: almost every mutation of a datagram fails
// only its CRC, so each input is also decoded with the CRC its declared
// length calls for, and the decoders' body gets fuzzed too.
#pragma once

#include "ostrevo/ostrevo.h"

#include <cstddef>
#include <cstdint>

using RepairBuffer = std::uint8_t[OSV_MAX_DATAGRAM_BYTES];

// Copies the input's first bytes (up to a receive buffer) into `out` and
// writes there the CRC of the extent its header declares. Returns the bytes
// copied, or 0 when there is nothing to repair: no declared extent that fits,
// or a CRC that is right already.
std::size_t repairChecksum(const std::uint8_t* data, std::size_t size, RepairBuffer& out);

// Runs a fuzz target's check on the input, then on its repaired copy when
// there is something to repair.
void asIsAndRepaired(const std::uint8_t* data, std::size_t size,
                     void (*check)(const std::uint8_t* data, std::size_t size));
