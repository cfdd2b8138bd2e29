// A text value, held as UTF-8; asWChar gives the same text as wide characters.
#pragma once

#include <maya/MTypes.h>
#include <maya/MStatus.h>

#include <iosfwd>
#include <string>

MAYAHOST_NS_OPEN

class OPENMAYA_EXPORT MString {
public:
    MString();
    MString(const char* text);
    MString(const wchar_t* text);
    MString(const MString& other);
    ~MString();
    MString& operator+=(const MString& other);
    MString& operator+=(const char* text);
    MString& operator+=(double value);
    MString& operator+=(int value);
    MString& operator+=(unsigned int value);
    MString& operator+=(float value);
    MString& operator=(const MString& other);
    MString& operator=(const char* text);
    bool operator==(const MString& other) const;
    bool operator==(const char* text) const;
    bool operator!=(const MString& other) const;
    bool operator!=(const char* text) const;
    MString operator+(const MString& other) const;
    MString operator+(const char* text) const;
    MString operator+(double value) const;
    // Valid until the string next changes.
    const char* asChar() const;
    const wchar_t* asWChar() const;
    // Bytes of the narrow (UTF-8) form.
    unsigned int length() const;
    // Characters (code points).
    unsigned int numChars() const;
    // Replaces every (or the first) occurrence of src by target.
    MStatus substitute(const MString& src, const MString& target);
    MStatus substituteFirst(const MString& src, const MString& target);

    friend OPENMAYA_EXPORT MString operator+(const char* text, const MString& string);
    friend OPENMAYA_EXPORT std::ostream& operator<<(std::ostream& out, const MString& string);

private:
    friend struct ::mayahost::detail::Access;
    std::string mText;
    mutable std::wstring mWide;
};

OPENMAYA_EXPORT MString operator+(const char* text, const MString& string);
OPENMAYA_EXPORT std::ostream& operator<<(std::ostream& out, const MString& string);

MAYAHOST_NS_CLOSE
