// Turns a capture take into the datagrams of the motion format: the
// skeleton definition and one frame-data datagram per frame.
#pragma once

#include "intake/timecode.h"
#include "tools/lib/captureTake.h"

#include <cstdint>

namespace ztools {

// Largest datagram; both kinds of a 27-joint take fit well below it.
inline constexpr int kDatagramCapacity = 4096;
// The sender id of datagrams whose caller names none.
inline constexpr std::uint64_t kDefaultSenderId = 0x5A454D4F52490001ull;  // "ZEMORI" + 1

struct EncodedDatagram {
    char bytes[kDatagramCapacity];
    int length = 0;
};

// The skeleton definition: rest translations in metres, identity rotations.
// False if the encoder refuses it.
bool encodeSkeletonDefinition(const CaptureTake& take, std::uint32_t sequence, EncodedDatagram& out,
                              std::uint64_t senderId = kDefaultSenderId);

// Frame `frameIndex` of the take, sent as frame number `frameNumber` at
// frameNumber / fps seconds (looping takes keep counting); `negate` sends
// every quaternion as -q (the same rotation).
// With a timecode the frame carries it (format version 3).
bool encodeFrame(const CaptureTake& take, int frameIndex, std::int32_t frameNumber,
                 std::uint32_t sequence, EncodedDatagram& out, bool negate = false,
                 const FrameTimecode* timecode = nullptr,
                 std::uint64_t senderId = kDefaultSenderId);
// A pose sent as frame `frameNumber` with the time stamp given, whatever it
// is (a test's late, lying or restarted clock).
bool encodePose(const CapturePose& pose, std::int32_t frameNumber, double timestamp,
                std::uint32_t sequence, EncodedDatagram& out, bool negate = false,
                const FrameTimecode* timecode = nullptr, std::uint64_t senderId = kDefaultSenderId);

// The timecode of captured frame `frame` of a stream at `captureFps` whose
// frame 0 has `start`, as a capture system's timecode generator locked to
// the capture stamps it: frame n lies in timecode frame
// floor(n * nominal / captureFps) after start (one per captured frame when
// the rates agree), and its subframe counts the captured frames before it
// within that timecode frame.
FrameTimecode timecodeOfFrame(const FrameTimecode& start, std::int64_t frame, int captureFps);

}  // namespace ztools
