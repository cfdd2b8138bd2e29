// The three console channels of the message table.
#include "plugin/messageTable.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Room for the longest line any caller prints: a table text plus a system
// error text of at most 256 characters.
constexpr std::size_t kWideLineCapacity = 1024;
// Longer lines come only from broken or hostile texts; they are dropped.
constexpr std::size_t kWideLineLimit = 65536;

// In this channel %s and %c take wide arguments, as the Windows C runtime
// reads them. The C standard (and glibc) reads them as narrow, but %ls and
// %lc mean wide everywhere, so those are what the formatter sees.
std::wstring portableWideFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        out += *p;
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') {
            out += *p;
            continue;
        }
        while (*p != L'\0' && std::wcschr(L"-+ #0123456789.*", *p) != nullptr) out += *p++;
        bool hasLength = false;
        while (*p != L'\0' && std::wcschr(L"hlLqjztI", *p) != nullptr) {
            hasLength = true;
            out += *p++;
        }
        if (*p == L'\0') break;
        if (!hasLength && (*p == L's' || *p == L'c')) out += L'l';
        out += *p;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 (Windows) or UTF-32 (elsewhere) to UTF-8; a broken surrogate or an
// out-of-range value becomes U+FFFD.
std::string toUtf8(const wchar_t* text) {
    std::string out;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        char32_t c = static_cast<char32_t>(*p);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF) {
                const char32_t low = static_cast<char32_t>(p[1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++p;
                } else {
                    c = 0xFFFD;
                }
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

}  // namespace

void printToConsole(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void printWideToConsole(const wchar_t* format, ...) {
    // Formatted into a buffer and written narrow: stdout also carries the
    // narrow channel, and one C stream must not mix wide and narrow output.
    const std::wstring portable = portableWideFormat(format);
    va_list args;
    va_start(args, format);
    wchar_t fixed[kWideLineCapacity];
    std::vector<wchar_t> larger;
    wchar_t* line = fixed;
    std::size_t capacity = kWideLineCapacity;
    // On overflow the ISO function fails without telling the length, while
    // some runtimes (MinGW) answer the length the line needs: retry larger.
    for (;;) {
        va_list attempt;
        va_copy(attempt, args);
        const int written = std::vswprintf(line, capacity, portable.c_str(), attempt);
        va_end(attempt);
        if (written >= 0 && static_cast<std::size_t>(written) < capacity) break;
        const std::size_t needed =
            written >= 0 ? static_cast<std::size_t>(written) + 1 : capacity * 4;
        if (needed > kWideLineLimit) {
            line[0] = L'\0';
            break;
        }
        capacity = needed;
        larger.assign(capacity, L'\0');
        line = larger.data();
    }
    va_end(args);
    const std::string utf8 = toUtf8(line);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void printDiagnostic(const char* text) {
    std::cerr << text << std::endl;
}
