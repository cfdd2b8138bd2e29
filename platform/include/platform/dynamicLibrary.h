// Loading a shared library at run time: LoadLibraryA / GetProcAddress /
// FreeLibrary on Windows, dlopen / dlsym / dlclose on POSIX.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

// LoadLibraryA / dlopen(RTLD_NOW | RTLD_LOCAL) of a path as given; nullptr on
// failure (also for a null path), lastLoadErrorText() then describes why.
LibraryHandle loadLibrary(const char* path);
// nullptr when the library has no symbol of that exact name.
void* findSymbol(LibraryHandle library, const char* name);
// Does nothing for nullptr.
void freeLibrary(LibraryHandle library);
// The system's text for the last failed load on this thread, as the system
// words it: FormatMessageW of the GetLastError code taken when the load failed
// (fewer than 256 characters, ending in a line break) on Windows, dlerror widened
// from UTF-8 on POSIX. Empty when no load has failed or the system has no text.
std::wstring lastLoadErrorText();

// "windows" or "linux": the folder of the motion-format library for this system.
const char* systemFolderName();
// "ostrevo.dll" or "libostrevo.so".
const char* formatLibraryFileName();

}  // namespace platform
