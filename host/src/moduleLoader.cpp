// Loading plug-in modules: the one place with system calls for it.
#include "hostState.h"

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace mayahost {
namespace detail {

void* openModule(const std::string& path, std::string* error) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr && error != nullptr) {
        *error = "LoadLibrary error " + std::to_string(GetLastError());
    }
    return reinterpret_cast<void*>(module);
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr && error != nullptr) {
        const char* text = dlerror();
        *error = text != nullptr ? text : "dlopen failed";
    }
    return module;
#endif
}

void* moduleSymbol(void* module, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
#else
    return dlsym(module, name);
#endif
}

void closeModule(void* module) {
    if (module == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().generic_string();
}

}  // namespace detail
}  // namespace mayahost
