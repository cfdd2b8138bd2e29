// One record-button message of a capture application, as it arrives on the
// stage network: CaptureStart or CaptureStop, with the take's name and what
// the stage says about it. Every field but the kind is optional on the wire.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class StageMessageKind { kCaptureStart, kCaptureStop };

struct StageMessage {
    StageMessageKind kind = StageMessageKind::kCaptureStart;
    std::string name;
    std::string notes;
    std::string description;
    std::string databasePath;
    // CaptureStop's RESULT attribute ("SUCCESS" when the capture ended well);
    // empty for a start, or a stop that names none.
    std::string result;
    // Milliseconds the message comes before the capture starts (or stops).
    std::optional<std::int64_t> delayMs;
    std::optional<std::uint64_t> packetId;
};

// Where a message came from and when it arrived, on the clock the receiving
// threads stamp their datagrams with (std::chrono::steady_clock, ns).
struct StageArrival {
    std::uint32_t senderAddress = 0;  // IPv4, host order
    std::uint16_t senderPort = 0;
    std::int64_t arrivalNs = 0;
};
