#include "intake/stageMessageParser.h"

#include <cstring>
#include <string>

namespace {

// Thrown nowhere: every step returns false and leaves its reason here.
struct Reader {
    const char* p;
    const char* end;
    const char* refusal = nullptr;

    bool fail(const char* why) {
        if (refusal == nullptr) refusal = why;
        return false;
    }
    bool atEnd() const { return p >= end; }
    bool startsWith(const char* text) const {
        const std::size_t n = std::strlen(text);
        return static_cast<std::size_t>(end - p) >= n && std::memcmp(p, text, n) == 0;
    }
    void skipBlanks() {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
    }
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Strict UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF,
// no control characters but tab, line feed and carriage return.
bool validText(const unsigned char* s, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = s[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            if (c == 0x7F) return false;
            ++i;
            continue;
        }
        int more = 0;
        std::uint32_t code = 0;
        std::uint32_t least = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1, code = c & 0x1F, least = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2, code = c & 0x0F, least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;  // a continuation byte first, C0/C1, or F5 and above
        }
        if (n - i <= static_cast<std::size_t>(more)) return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned next = s[i + static_cast<std::size_t>(k)];
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code == 0xFFFE || code == 0xFFFF) return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool xmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// One reference after its '&', up to and including ';', appended decoded.
bool decodeReference(Reader& in, std::string& out) {
    const char* semicolon = in.p;
    while (semicolon < in.end && semicolon - in.p < 12 && *semicolon != ';') ++semicolon;
    if (semicolon >= in.end || *semicolon != ';') return in.fail("unknown entity");
    const std::string name(in.p, semicolon);
    in.p = semicolon + 1;
    if (name == "lt") return out += '<', true;
    if (name == "gt") return out += '>', true;
    if (name == "amp") return out += '&', true;
    if (name == "quot") return out += '"', true;
    if (name == "apos") return out += '\'', true;
    if (name.size() < 2 || name[0] != '#') return in.fail("unknown entity");
    const bool hex = name[1] == 'x';
    const std::size_t first = hex ? 2 : 1;
    if (first >= name.size()) return in.fail("bad character reference");
    std::uint32_t code = 0;
    for (std::size_t k = first; k < name.size(); ++k) {
        const char c = name[k];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return in.fail("bad character reference");
        code = code * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
        if (code > 0x10FFFF) return in.fail("bad character reference");
    }
    // As in the raw text: DEL is a control character, though XML allows it.
    if (!xmlChar(code) || code == 0x7F) return in.fail("bad character reference");
    appendUtf8(out, code);
    return true;
}

// A quoted attribute value, decoded.
bool readValue(Reader& in, std::string& out) {
    if (in.atEnd() || (*in.p != '"' && *in.p != '\'')) return in.fail("not XML");
    const char quote = *in.p++;
    while (!in.atEnd() && *in.p != quote) {
        const char c = *in.p++;
        if (c == '<') return in.fail("not XML");
        if (c == '&') {
            if (!decodeReference(in, out)) return false;
        } else {
            out += c;
        }
    }
    if (in.atEnd()) return in.fail("not XML");
    ++in.p;
    return true;
}

bool nameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == ':';
}

// A word of a tag, lower-cased (ASCII only: the names we know are ASCII).
std::string readWord(Reader& in) {
    std::string word;
    while (!in.atEnd() && nameChar(*in.p)) {
        char c = *in.p++;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        word += c;
    }
    return word;
}

struct Tag {
    bool closing = false;
    bool empty = false;  // <.../>
    std::string name;    // its words joined: blanks and case dropped
    std::string value;   // the VALUE attribute
    std::string result;  // the RESULT attribute
    bool hasValue = false;
};

// A tag after its '<'. Words before the first "word=" are the name, so that
// <Database Path VALUE="..."/> names DatabasePath.
bool readTag(Reader& in, Tag& tag) {
    if (!in.atEnd() && *in.p == '/') {
        tag.closing = true;
        ++in.p;
    }
    bool attributes = false;
    for (;;) {
        in.skipBlanks();
        if (in.atEnd()) return in.fail("not XML");
        if (*in.p == '>') {
            ++in.p;
            break;
        }
        if (*in.p == '/' && !tag.closing) {
            ++in.p;
            if (in.atEnd() || *in.p != '>') return in.fail("not XML");
            ++in.p;
            tag.empty = true;
            break;
        }
        const std::string word = readWord(in);
        if (word.empty()) return in.fail("not XML");
        in.skipBlanks();
        if (!in.atEnd() && *in.p == '=') {
            if (tag.closing || tag.name.empty()) return in.fail("not XML");
            attributes = true;
            ++in.p;
            in.skipBlanks();
            std::string value;
            if (!readValue(in, value)) return false;
            if (word == "value") {
                tag.value = std::move(value);
                tag.hasValue = true;
            } else if (word == "result") {
                tag.result = std::move(value);
            }
            continue;
        }
        if (attributes) return in.fail("not XML");  // a bare word among attributes
        tag.name += word;
    }
    if (tag.name.empty()) return in.fail("not XML");
    return true;
}

// Skips "<!--" ... "-->"; refuses "--" inside, as XML does.
bool skipComment(Reader& in) {
    in.p += 4;
    while (!in.atEnd()) {
        if (in.startsWith("--")) {
            if (in.startsWith("-->")) {
                in.p += 3;
                return true;
            }
            return in.fail("not XML");
        }
        ++in.p;
    }
    return in.fail("not XML");
}

bool trimmed(std::string& text) {
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first])) ++first;
    std::size_t last = text.size();
    while (last > first && isBlank(text[last - 1])) --last;
    text = text.substr(first, last - first);
    return !text.empty();
}

// A whole decimal number no greater than `most`; false for anything else.
bool wholeNumber(const std::string& text, std::uint64_t most, std::uint64_t& out) {
    if (text.empty()) return false;
    std::uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > most) return false;
    }
    out = n;
    return true;
}

// Stores a field of the message from one child of the root.
bool takeField(Reader& in, const Tag& tag, StageMessage& message) {
    if (!tag.hasValue) return true;
    std::string value = tag.value;
    if (tag.name == "name") {
        message.name = value;
    } else if (tag.name == "notes") {
        message.notes = value;
    } else if (tag.name == "description") {
        message.description = value;
    } else if (tag.name == "databasepath") {
        message.databasePath = value;
    } else if (tag.name == "delay") {
        if (!trimmed(value)) return true;
        std::uint64_t n = 0;
        if (!wholeNumber(value, static_cast<std::uint64_t>(kStageDelayMaxMs), n)) {
            return in.fail("Delay out of range");
        }
        message.delayMs = static_cast<std::int64_t>(n);
    } else if (tag.name == "packetid") {
        if (!trimmed(value)) return true;
        std::uint64_t n = 0;
        if (!wholeNumber(value, kStagePacketIdMax, n)) return in.fail("PacketID out of range");
        message.packetId = n;
    }
    return true;
}

// Character data between tags: only checked, for it carries nothing we read.
bool skipText(Reader& in) {
    std::string ignored;
    while (!in.atEnd() && *in.p != '<') {
        if (*in.p == '>') return in.fail("not XML");
        if (*in.p++ == '&' && !decodeReference(in, ignored)) return false;
        ignored.clear();
    }
    return true;
}

bool parseDocument(Reader& in, StageMessage& message) {
    if (in.startsWith("\xEF\xBB\xBF")) in.p += 3;  // a byte-order mark
    if (in.startsWith("<?xml")) {
        const char* close = in.p;
        while (close + 1 < in.end && !(close[0] == '?' && close[1] == '>')) ++close;
        if (close + 1 >= in.end) return in.fail("not XML");
        in.p = close + 2;
    }
    std::string stack[kStageMessageMaxDepth];
    int depth = 0;
    bool rootSeen = false;
    for (;;) {
        if (!skipText(in)) return false;
        if (in.atEnd()) break;
        ++in.p;  // '<'
        if (in.startsWith("!--")) {
            --in.p;
            if (!skipComment(in)) return false;
            continue;
        }
        if (in.startsWith("!")) return in.fail("declaration refused (DOCTYPE, ENTITY or CDATA)");
        if (in.startsWith("?")) return in.fail("processing instruction refused");
        Tag tag;
        if (!readTag(in, tag)) return false;
        if (tag.closing) {
            if (depth == 0 || stack[depth - 1] != tag.name) return in.fail("mismatched element");
            --depth;
            continue;
        }
        if (depth == kStageMessageMaxDepth) return in.fail("nested too deeply");
        if (depth == 0) {
            if (rootSeen) return in.fail("more than one root element");
            rootSeen = true;
            if (tag.name == "capturestart") {
                message.kind = StageMessageKind::kCaptureStart;
            } else if (tag.name == "capturestop") {
                message.kind = StageMessageKind::kCaptureStop;
                message.result = tag.result;
            } else {
                return in.fail("not a capture start or stop");
            }
        } else if (depth == 1 && !takeField(in, tag, message)) {
            return false;
        }
        if (tag.empty) continue;
        stack[depth++] = std::move(tag.name);
    }
    if (!rootSeen) return in.fail("not XML");
    if (depth != 0) return in.fail("unclosed element");
    return true;
}

}  // namespace

StageParseResult parseStageMessage(const char* bytes, std::size_t length) {
    StageParseResult result;
    if (bytes == nullptr || length == 0) {
        result.refusal = "empty";
        return result;
    }
    if (length > kStageMessageMaxBytes) {
        result.refusal = "too long";
        return result;
    }
    while (length > 0 && bytes[length - 1] == '\0') --length;
    if (std::memchr(bytes, '\0', length) != nullptr) {
        result.refusal = "NUL inside the message";
        return result;
    }
    if (!validText(reinterpret_cast<const unsigned char*>(bytes), length)) {
        result.refusal = "invalid UTF-8 or control character";
        return result;
    }
    Reader in{bytes, bytes + length};
    StageMessage message;
    if (!parseDocument(in, message)) {
        result.refusal = in.refusal != nullptr ? in.refusal : "not XML";
        return result;
    }
    result.message = std::move(message);
    return result;
}
