// Turns a capture take into the datagrams of the motion format: the
// skeleton definition and one frame-data datagram per frame.
#pragma once

#include "tools/lib/captureTake.h"

#include <cstdint>

namespace ztools {

// Largest datagram; both kinds of a 27-joint take fit well below it.
inline constexpr int kDatagramCapacity = 4096;

struct EncodedDatagram {
    char bytes[kDatagramCapacity];
    int length = 0;
};

// The skeleton definition: rest translations in metres, identity rotations.
// False if the encoder refuses it.
bool encodeSkeletonDefinition(const CaptureTake& take, std::uint32_t sequence,
                              EncodedDatagram& out);

// Frame `frameIndex` of the take, sent as frame number `frameNumber` at
// frameNumber / fps seconds (looping takes keep counting); `negate` sends
// every quaternion as -q (the same rotation).
bool encodeFrame(const CaptureTake& take, int frameIndex, std::int32_t frameNumber,
                 std::uint32_t sequence, EncodedDatagram& out, bool negate = false);
// A pose sent as frame `frameNumber` with the time stamp given, whatever it
// is (a test's late, lying or restarted clock).
bool encodePose(const CapturePose& pose, std::int32_t frameNumber, double timestamp,
                std::uint32_t sequence, EncodedDatagram& out, bool negate = false);

}  // namespace ztools
