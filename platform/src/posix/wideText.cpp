#include "wideText.h"

#include <cstring>

namespace platform {
namespace posix {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append(std::wstring& out, char32_t code) {
    if (sizeof(wchar_t) >= 4 || code < 0x10000) {
        out.push_back(static_cast<wchar_t>(code));
        return;
    }
    // 16-bit wchar_t: a surrogate pair.
    code -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
}

}  // namespace

std::wstring widenUtf8(const char* text) {
    std::wstring out;
    if (text == nullptr) return out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const std::size_t length = std::strlen(text);
    out.reserve(length);
    std::size_t i = 0;
    while (i < length) {
        const unsigned char lead = bytes[i];
        int extra;
        char32_t code;
        char32_t minimum;
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07, minimum = 0x10000;
        } else {
            append(out, kReplacement);
            ++i;
            continue;
        }
        int taken = 0;
        while (taken < extra && i + 1 + taken < length && (bytes[i + 1 + taken] & 0xC0) == 0x80) {
            code = (code << 6) | (bytes[i + 1 + taken] & 0x3F);
            ++taken;
        }
        if (taken < extra || code < minimum || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            // Resume at the first byte that did not belong to the sequence.
            append(out, kReplacement);
            i += 1 + static_cast<std::size_t>(taken < extra ? taken : 0);
            continue;
        }
        append(out, code);
        i += 1 + static_cast<std::size_t>(extra);
    }
    return out;
}

}  // namespace posix
}  // namespace platform
