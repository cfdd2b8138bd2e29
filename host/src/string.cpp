// MString (UTF-8 inside, wide view on demand) and MStatus texts.
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

// Decodes UTF-8; a malformed byte stands for itself.
std::u32string decodeUtf8(const std::string& text) {
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0x80 && c < 0xC0) extra = -1;
        char32_t cp = extra == 3   ? (c & 0x07)
                      : extra == 2 ? (c & 0x0F)
                      : extra == 1 ? (c & 0x1F)
                                   : c;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + 0;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                if (i + k >= text.size()) {
                    ok = false;
                    break;
                }
                unsigned char cc = static_cast<unsigned char>(text[i + k]);
                if ((cc & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        if (!ok) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(cp);
            i += static_cast<std::size_t>(extra) + 1;
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string fromWide(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const wchar_t* p = text; *p != 0; ++p) {
        char32_t cp = static_cast<char32_t>(*p);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && p[1] >= 0xDC00 &&
            p[1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(p[1]) - 0xDC00);
            ++p;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

}  // namespace

MAYAHOST_NS_OPEN

MString::MString() = default;
MString::MString(const char* text) : mText(text != nullptr ? text : "") {}
MString::MString(const wchar_t* text) : mText(fromWide(text)) {}
MString::MString(const MString& other) : mText(other.mText) {}
MString::~MString() = default;

MString& MString::operator+=(const MString& other) {
    mText += other.mText;
    return *this;
}
MString& MString::operator+=(const char* text) {
    if (text != nullptr) mText += text;
    return *this;
}
MString& MString::operator+=(double value) {
    mText += numberText(value);
    return *this;
}
MString& MString::operator+=(int value) {
    mText += std::to_string(value);
    return *this;
}
MString& MString::operator+=(unsigned int value) {
    mText += std::to_string(value);
    return *this;
}
MString& MString::operator+=(float value) {
    mText += numberText(value);
    return *this;
}
MString& MString::operator=(const MString& other) {
    if (this != &other) mText = other.mText;
    return *this;
}
MString& MString::operator=(const char* text) {
    mText = text != nullptr ? text : "";
    return *this;
}
bool MString::operator==(const MString& other) const {
    return mText == other.mText;
}
bool MString::operator==(const char* text) const {
    return mText == (text != nullptr ? text : "");
}
bool MString::operator!=(const MString& other) const {
    return !(*this == other);
}
bool MString::operator!=(const char* text) const {
    return !(*this == text);
}
MString MString::operator+(const MString& other) const {
    MString result(*this);
    result += other;
    return result;
}
MString MString::operator+(const char* text) const {
    MString result(*this);
    result += text;
    return result;
}
MString MString::operator+(double value) const {
    MString result(*this);
    result += value;
    return result;
}
const char* MString::asChar() const {
    return mText.c_str();
}
const wchar_t* MString::asWChar() const {
    mWide.clear();
    for (char32_t cp : decodeUtf8(mText)) {
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            cp -= 0x10000;
            mWide.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            mWide.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            mWide.push_back(static_cast<wchar_t>(cp));
        }
    }
    return mWide.c_str();
}
unsigned int MString::length() const {
    return static_cast<unsigned int>(mText.size());
}
unsigned int MString::numChars() const {
    return static_cast<unsigned int>(decodeUtf8(mText).size());
}

MStatus MString::substitute(const MString& src, const MString& target) {
    if (src.mText.empty()) return MStatus::kInvalidParameter;
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        std::size_t found = mText.find(src.mText, pos);
        if (found == std::string::npos) break;
        out.append(mText, pos, found - pos);
        out += target.mText;
        pos = found + src.mText.size();
    }
    out.append(mText, pos, std::string::npos);
    mText = out;
    return MStatus::kSuccess;
}

MStatus MString::substituteFirst(const MString& src, const MString& target) {
    if (src.mText.empty()) return MStatus::kInvalidParameter;
    std::size_t found = mText.find(src.mText);
    if (found != std::string::npos) mText.replace(found, src.mText.size(), target.mText);
    return MStatus::kSuccess;
}

MString operator+(const char* text, const MString& string) {
    MString result(text);
    result += string;
    return result;
}

std::ostream& operator<<(std::ostream& out, const MString& string) {
    return out << string.asChar();
}

MString MStatus::errorString() const {
    switch (mCode) {
        case kSuccess:
            return "Success";
        case kFailure:
            return "Failure";
        case kInsufficientMemory:
            return "Insufficient memory";
        case kInvalidParameter:
            return "Invalid parameter";
        case kLicenseFailure:
            return "License failure";
        case kUnknownParameter:
            return "Unknown parameter";
        case kNotImplemented:
            return "Not implemented";
        case kNotFound:
            return "Not found";
        case kEndOfFile:
            return "End of file";
    }
    return "Unknown status";
}

void MStatus::perror(const char* text) const {
    std::cerr << (text != nullptr ? text : "") << ": " << errorString() << std::endl;
}

void MStatus::perror(const MString& text) const {
    perror(text.asChar());
}

void MStatus::pAPIerror(const char* file, int line) const {
    std::cerr << file << ":" << line << ": " << errorString() << std::endl;
}

MAYAHOST_NS_CLOSE
