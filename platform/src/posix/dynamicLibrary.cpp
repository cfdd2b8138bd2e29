// dlopen / dlsym / dlclose behind the loader interface.
#include "platform/dynamicLibrary.h"

#include "wideText.h"

#include <dlfcn.h>

namespace platform {

namespace {
// dlerror forgets its text once read, so the text of a failed load is kept here.
thread_local std::wstring tLastLoadError;
}  // namespace

LibraryHandle loadLibrary(const char* path) {
    if (path == nullptr) {
        tLastLoadError = L"no library path given";
        return nullptr;
    }
    void* library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) tLastLoadError = posix::widenUtf8(::dlerror());
    return library;
}

void* findSymbol(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return ::dlsym(library, name);
}

void freeLibrary(LibraryHandle library) {
    if (library != nullptr) ::dlclose(library);
}

std::wstring lastLoadErrorText() {
    return tLastLoadError;
}

const char* systemFolderName() {
    return "linux";
}

const char* formatLibraryFileName() {
    return "libostrevo.so";
}

}  // namespace platform
