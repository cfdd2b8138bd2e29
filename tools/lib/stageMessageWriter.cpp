#include "tools/lib/stageMessageWriter.h"

#include <cstddef>

namespace ztools {

namespace {

const char* const kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// The length of the valid UTF-8 sequence at `i`, or 0.
std::size_t sequenceLength(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned lowest = 0;  // the second byte's range, which rules out overlong forms
    unsigned highest = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = lead == 0xE0 ? 0xA0 : 0x80;
        highest = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = lead == 0xF0 ? 0x90 : 0x80;
        highest = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < lowest || byte(i + 1) > highest) return 0;
    for (std::size_t k = i + 2; k < i + length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = sequenceLength(text, i);
            out += length ? text.substr(i, length) : kReplacement;
            i += length ? length : 1;
            continue;
        }
        ++i;
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
        }
    }
    return out;
}

void element(std::string& out, const char* name, const std::string& value) {
    out += "<";
    out += name;
    out += " VALUE=\"" + escaped(value) + "\"/>";
}

}  // namespace

std::string writeStageMessage(const StageMessage& message) {
    const bool start = message.kind == StageMessageKind::kCaptureStart;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>";
    if (start) {
        out += "<CaptureStart>";
    } else if (message.result.empty()) {
        out += "<CaptureStop>";
    } else {
        out += "<CaptureStop RESULT=\"" + escaped(message.result) + "\">";
    }
    element(out, "Name", message.name);
    if (start) {
        element(out, "Notes", message.notes);
        element(out, "Description", message.description);
    }
    element(out, "DatabasePath", message.databasePath);
    if (message.delayMs) element(out, "Delay", std::to_string(*message.delayMs));
    if (message.packetId) element(out, "PacketID", std::to_string(*message.packetId));
    out += start ? "</CaptureStart>" : "</CaptureStop>";
    return out;
}

}  // namespace ztools
