// Loading a shared library at run time: LoadLibraryA / GetProcAddress /
// FreeLibrary on Windows, dlopen / dlsym / dlclose on POSIX.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

// nullptr on failure; lastLoadError() then describes why.
LibraryHandle loadLibrary(const char* path);
// nullptr when the library has no symbol of that exact name.
void* findSymbol(LibraryHandle library, const char* name);
void freeLibrary(LibraryHandle library);
// The system's text for the last failed load on this thread (FormatMessageW
// of GetLastError on Windows, dlerror on POSIX); empty when it has none.
std::wstring lastLoadErrorText();

// "windows" or "linux": the folder of the motion-format library for this system.
const char* systemFolderName();
// "ostrevo.dll" or "libostrevo.so".
const char* formatLibraryFileName();

}  // namespace platform
