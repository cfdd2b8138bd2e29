// The record-button parser on any bytes, as the stage listener feeds it one
// datagram: it must never read outside the input, and must answer the same
// whether or not the sender ended with a NUL. What it accepts is text a
// later reader can trust: no NUL, nothing but valid characters, numbers in
// their bounds. Accepted messages also pass through the duplicate filter.
#include "intake/stageDuplicates.h"
#include "intake/stageMessageParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkText(const std::string& text) {
    check(text.find('\0') == std::string::npos);
    // Decoded text re-parses as a value once its markup is escaped.
    std::string escaped = "<CaptureStart><Name VALUE=\"";
    for (char c : text) {
        if (c == '<')
            escaped += "&lt;";
        else if (c == '&')
            escaped += "&amp;";
        else if (c == '"')
            escaped += "&quot;";
        else
            escaped += c;
    }
    escaped += "\"/></CaptureStart>";
    if (escaped.size() > kStageMessageMaxBytes) return;
    const StageParseResult again = parseStageMessage(escaped.data(), escaped.size());
    check(again.message.has_value() && again.message->name == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that a read past the end is caught.
    std::unique_ptr<char[]> bytes(new char[size + 1]);
    if (size > 0) std::memcpy(bytes.get(), data, size);
    const StageParseResult result = parseStageMessage(bytes.get(), size);
    check(result.message.has_value() != (result.refusal != nullptr));

    bytes[size] = '\0';
    const StageParseResult withNul = parseStageMessage(bytes.get(), size + 1);
    if (size + 1 <= kStageMessageMaxBytes && size > 0) {
        check(withNul.message.has_value() == result.message.has_value());
    }
    if (!result.message) return 0;

    const StageMessage& message = *result.message;
    check(!message.delayMs || (*message.delayMs >= 0 && *message.delayMs <= kStageDelayMaxMs));
    check(!message.packetId || *message.packetId <= kStagePacketIdMax);
    for (const std::string* text : {&message.name, &message.notes, &message.description,
                                    &message.databasePath, &message.result}) {
        checkText(*text);
    }
    StageDuplicates duplicates;
    check(duplicates.admit(message, StageArrival{0x7F000001, 1, 0}));
    check(!duplicates.admit(message, StageArrival{0x7F000001, 1, 1}));
    return 0;
}
