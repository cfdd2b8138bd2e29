// Reading one record-button datagram of a capture application: a small XML
// document whose root is CaptureStart or CaptureStop. Lenient where senders
// differ (a trailing NUL, no XML declaration, element names compared without
// case and blanks, any field missing, unknown elements), strict everywhere
// else: nothing outside that small language is guessed at.
#pragma once

#include "intake/stageMessage.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Longest datagram read; a record-button message is a few hundred bytes.
inline constexpr std::size_t kStageMessageMaxBytes = 8192;
// Deepest nesting of elements, the root being depth 1.
inline constexpr int kStageMessageMaxDepth = 4;
// Bounds of the numbers, inclusive.
inline constexpr std::int64_t kStageDelayMaxMs = 60000;
inline constexpr std::uint64_t kStagePacketIdMax = 0xFFFFFFFFu;

struct StageParseResult {
    std::optional<StageMessage> message;
    // Why the datagram was refused (a short static text), when message is empty.
    const char* refusal = nullptr;
};

// Any thread, no allocation beyond the result's strings. Refuses (message
// empty, refusal set): an empty or null input, more than
// kStageMessageMaxBytes, a NUL before the trailing ones, invalid UTF-8
// (overlong forms, surrogates, beyond U+10FFFF), control characters, any
// DOCTYPE/ENTITY/CDATA or processing instruction past the declaration, an
// unknown entity or a character reference to a character XML forbids,
// mismatched or unclosed elements, nesting past kStageMessageMaxDepth, a
// root other than CaptureStart/CaptureStop, and a Delay (0 to
// kStageDelayMaxMs) or PacketID (0 to kStagePacketIdMax) that is not a whole
// number in range. An empty VALUE of Delay or PacketID counts as absent.
StageParseResult parseStageMessage(const char* bytes, std::size_t length);
