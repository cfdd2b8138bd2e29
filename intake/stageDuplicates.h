// A record-button message may reach us twice (two network paths, or a
// sender that repeats itself): the second one is dropped. Messages with a
// PacketID are the same when sender address, PacketID and kind are, within
// kStagePacketIdWindowNs; without one, when kind and Name are, within
// kStageNameWindowNs. Memory is bounded: at most kStageRememberedMessages
// are kept, the oldest forgotten first.
#pragma once

#include "intake/stageMessage.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

inline constexpr std::int64_t kStagePacketIdWindowNs = 5'000'000'000;
inline constexpr std::int64_t kStageNameWindowNs = 1'000'000'000;
inline constexpr std::size_t kStageRememberedMessages = 64;

class StageDuplicates {
public:
    // True when the message is new, and then remembers it; false for a
    // duplicate (which is not remembered again, so the window runs from the
    // first copy). Arrival times must not go back by more than a window.
    bool admit(const StageMessage& message, const StageArrival& arrival);
    std::size_t remembered() const { return mSeen.size(); }

private:
    struct Seen {
        std::uint32_t sender;
        bool hasPacketId;
        std::uint64_t packetId;
        StageMessageKind kind;
        std::string name;
        std::int64_t arrivalNs;
    };
    std::deque<Seen> mSeen;  // oldest first
};
