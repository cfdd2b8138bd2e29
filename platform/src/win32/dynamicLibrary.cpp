// LoadLibraryA / GetProcAddress / FreeLibrary behind the loader interface.
#include "platform/dynamicLibrary.h"

#include <windows.h>

namespace platform {

namespace {
// The code of the last failed load, taken at once: any later system call may
// overwrite GetLastError before the text is asked for.
thread_local DWORD tLastLoadError = 0;

constexpr DWORD kLanguageNeutralDefault = 0x0400;  // MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
constexpr DWORD kMessageCapacity = 256;
}  // namespace

LibraryHandle loadLibrary(const char* path) {
    HMODULE module = path != nullptr ? ::LoadLibraryA(path) : nullptr;
    if (module == nullptr)
        tLastLoadError = path != nullptr ? ::GetLastError() : ERROR_INVALID_PARAMETER;
    return reinterpret_cast<LibraryHandle>(module);
}

void* findSymbol(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library) {
    if (library != nullptr) ::FreeLibrary(static_cast<HMODULE>(library));
}

std::wstring lastLoadErrorText() {
    if (tLastLoadError == 0) return std::wstring();
    wchar_t text[kMessageCapacity] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         tLastLoadError, kLanguageNeutralDefault, text, kMessageCapacity, nullptr);
    return std::wstring(text, length);
}

const char* systemFolderName() {
    return "windows";
}

const char* formatLibraryFileName() {
    return "ostrevo.dll";
}

}  // namespace platform
