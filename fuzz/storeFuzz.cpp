// The store as the receiving thread drives it: each input lands in a reused
// 4096-byte receive buffer (stale bytes of earlier inputs stay behind it) and
// is classified and decoded through the real library. Each input is fed as it
// is and with its CRC repaired.
#include "checksumRepair.h"
#include "intake/linkedFormatLibrary.h"
#include "intake/motionDataStore.h"
#include "ostrevo/ostrevo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

MotionDataStore& store() {
    static MotionDataStore* instance = [] {
        gFormatLibrary = linkedFormatLibrary();
        return new MotionDataStore;
    }();
    return *instance;
}

char gReceiveBuffer[OSV_MAX_DATAGRAM_BYTES];

void feed(const std::uint8_t* data, std::size_t size) {
    MotionDataStore& s = store();
    std::memcpy(gReceiveBuffer, data, std::min(size, sizeof gReceiveBuffer));

    if (s.isFrameData(gReceiveBuffer, sizeof gReceiveBuffer)) {
        s.decodeFrameData(gReceiveBuffer, sizeof gReceiveBuffer);
    } else if (s.isSkeletonDefinition(gReceiveBuffer, sizeof gReceiveBuffer)) {
        s.decodeSkeletonDefinition(gReceiveBuffer, sizeof gReceiveBuffer);
    }

    const int rate = s.detectedFrameRate();
    if (rate != 30 && rate != 50 && rate != 60 && rate != 120) {
        std::abort();
    }
    for (int i = 0; i < kJointCount; ++i) {
        if (s.poseRecords()[i].name != kJointTable[i].name ||
            s.poseRecords()[i].parentIndex != kJointTable[i].parentIndex) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    asIsAndRepaired(data, size, feed);
    return 0;
}
