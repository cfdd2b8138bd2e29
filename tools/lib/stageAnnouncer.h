// The sender's record button: CaptureStart before the stream and
// CaptureStop after it, as a capture application announces them on the
// stage network, each sent twice with the same PacketID (a receiver drops
// the second copy), the PacketID going up by one per message.
#pragma once

#include "tools/lib/udpDestination.h"

#include <cstdint>
#include <string>

namespace ztools {

// HOST:PORT of --trigger: a name or dotted IPv4 address, one colon, a whole
// number from 1 to 65535. False with a message for anything else.
bool parseTriggerAddress(const std::string& text, std::string& host, std::uint16_t& port,
                         std::string& error);

class StageAnnouncer {
public:
    StageAnnouncer(DatagramSink& sink, std::uint32_t firstPacketId)
        : mSink(sink), mNextPacketId(firstPacketId) {}

    // The capture starts `delayMs` after this message.
    bool announceStart(const std::string& name, int delayMs);
    // The capture has stopped: Delay 0.
    bool announceStop(const std::string& name, const std::string& result);
    std::uint32_t nextPacketId() const { return mNextPacketId; }

private:
    StageAnnouncer(const StageAnnouncer&) = delete;
    StageAnnouncer& operator=(const StageAnnouncer&) = delete;

    DatagramSink& mSink;
    std::uint32_t mNextPacketId;
};

// A first PacketID from the wall clock, so that two runs a few seconds
// apart from the same address are not taken for duplicates of each other.
std::uint32_t clockPacketId();

}  // namespace ztools
