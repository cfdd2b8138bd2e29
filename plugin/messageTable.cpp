#include "plugin/messageTable.h"

#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

// Appends the conversion that starts after the '%' at `p` to `signature`, in
// a form where only the order of the flags is lost, and returns the
// character after it; nullptr for a conversion that no caller may pass
// arguments for (malformed, positional, %n).
const wchar_t* appendConversion(const wchar_t* p, std::wstring& signature) {
    std::wstring flags;
    while (*p != L'\0' && std::wcschr(L"-+ #0", *p) != nullptr) {
        if (flags.find(*p) == std::wstring::npos) flags += *p;
        ++p;
    }
    std::sort(flags.begin(), flags.end());
    signature += L'%';
    signature += flags;
    signature += L'|';  // flags end here: "%0d" is not "%d" of width 0
    // Width, precision and length: MSVC's I, I32 and I64 included.
    while (*p != L'\0' && std::wcschr(L"0123456789*.hlLqjztIw", *p) != nullptr) {
        signature += *p++;
    }
    if (*p == L'\0' || std::wcschr(L"diouxXcCsSfFeEgGaAp", *p) == nullptr) {
        return nullptr;
    }
    signature += *p;
    return p + 1;
}

// The conversions of a format, one after the other; false when the format
// has one that matches nothing.
bool conversionSignature(const wchar_t* format, std::wstring& signature) {
    for (const wchar_t* p = format; *p != L'\0';) {
        if (*p++ != L'%') continue;
        if (*p == L'%') {
            ++p;
            continue;
        }
        p = appendConversion(p, signature);
        if (p == nullptr) return false;
    }
    return true;
}

}  // namespace

const MessageKey kMessageTable[22] = {
    msg::kYourIp,
    msg::kWsaStartError,
    msg::kClosingSocket,
    msg::kInitSocket,
    msg::kBindSocketError,
    msg::kBindSocketErrorApple,
    msg::kPortInUseError,
    msg::kGettingIpError,
    msg::kSocketFunctionError,
    msg::kSocketFunctionErrorApple,
    msg::kCreateCurvesError,
    msg::kSkelDefReceived,
    msg::kAwaitingSkelDef,
    msg::kOsvImportError,
    msg::kOsvFunctionImportError,
    msg::kOsvLinkError,
    msg::kRegCommandError,
    msg::kDeregCommandError,
    msg::kRegNodeError,
    msg::kDeregNodeError,
    msg::kTimeUnitWatchError,
    msg::kGapsNotFilled,
};

MStatus registerMessageStrings() {
    // A row that fails to register still resolves through the default text
    // given with every lookup, so single failures are not worth reporting.
    for (const MessageKey& row : kMessageTable) {
        const MStatus ignored = MStringResource::registerString(
            MStringResourceId(kMessageModule, row.key, row.defaultText));
        (void)ignored;
    }
    return MS::kSuccess;
}

MString lookupMessage(const char* key, const char* defaultText) {
    // The lookup's own status: callers report the status of their host call.
    MStatus lookupStatus;
    return MStringResource::getString(MStringResourceId(kMessageModule, key, defaultText),
                                      lookupStatus);
}

MString lookupFormat(const char* key, const char* defaultText) {
    const MString text = lookupMessage(key, defaultText);
    const MString reference(defaultText);
    if (sameConversions(text.asWChar(), reference.asWChar())) return text;
    return reference;
}

bool sameConversions(const wchar_t* format, const wchar_t* reference) {
    std::wstring formatSignature;
    std::wstring referenceSignature;
    return conversionSignature(format, formatSignature) &&
           conversionSignature(reference, referenceSignature) &&
           formatSignature == referenceSignature;
}
