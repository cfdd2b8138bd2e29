#include "tools/lib/stageAnnouncer.h"

#include "intake/stageMessage.h"
#include "tools/lib/stageMessageWriter.h"

#include <chrono>

namespace ztools {

namespace {

bool sendTwice(DatagramSink& sink, StageMessage& message, std::uint32_t& nextPacketId) {
    message.packetId = nextPacketId++;
    const std::string bytes = writeStageMessage(message);
    const int length = static_cast<int>(bytes.size());
    // Both copies, whatever became of the first.
    const bool first = sink.send(bytes.data(), length);
    const bool second = sink.send(bytes.data(), length);
    return first && second;
}

}  // namespace

bool parseTriggerAddress(const std::string& text, std::string& host, std::uint16_t& port,
                         std::string& error) {
    const std::size_t colon = text.find(':');
    const auto fail = [&](const std::string& why) {
        error =
            "--trigger takes HOST:PORT (for example 127.0.0.1:1512): " + why + " in '" + text + "'";
        return false;
    };
    if (colon == std::string::npos) return fail("no ':' before the port");
    if (text.find(':', colon + 1) != std::string::npos) return fail("more than one ':'");
    host = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    if (host.empty()) return fail("no host");
    if (host.find_first_of(" \t[]/") != std::string::npos) return fail("not a host name");
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return fail("the port is not a whole number");
    }
    const long value = std::stol(digits);
    if (value < 1 || value > 65535) return fail("the port is not from 1 to 65535");
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool StageAnnouncer::announceStart(const std::string& name, int delayMs) {
    StageMessage message;
    message.kind = StageMessageKind::kCaptureStart;
    message.name = name;
    message.delayMs = delayMs;
    return sendTwice(mSink, message, mNextPacketId);
}

bool StageAnnouncer::announceStop(const std::string& name, const std::string& result) {
    StageMessage message;
    message.kind = StageMessageKind::kCaptureStop;
    message.name = name;
    message.result = result;
    message.delayMs = 0;
    return sendTwice(mSink, message, mNextPacketId);
}

std::uint32_t clockPacketId() {
    // Tenths of a second: later runs start higher than earlier ones ended
    // unless they announce ten messages a second.
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count() /
                        100;
    return static_cast<std::uint32_t>(tenths);
}

}  // namespace ztools
