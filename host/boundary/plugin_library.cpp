#include "host/boundary/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>

#include <algorithm>
#include <string>
#else
#include <dlfcn.h>
#endif

namespace Kolm::Host {
namespace {

#if defined(_WIN32)
void* OpenLibrary(const std::string& path, std::string* error) {
    // The path is UTF-8; the narrow LoadLibraryA would read it in the ANSI code page.
    std::wstring widePath(static_cast<std::size_t>(std::max(
                              MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0), 1)),
                          L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, widePath.data(),
                        static_cast<int>(widePath.size()));
    HMODULE module = LoadLibraryW(widePath.c_str());
    if (module == nullptr && error != nullptr) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    }
    return reinterpret_cast<void*>(module);
}
void* FindSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* OpenLibrary(const std::string& path, std::string* error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "cannot load " + path;
    }
    return handle;
}
void* FindSymbol(void* handle, const char* name) {
    return dlsym(handle, name);
}
void CloseLibrary(void* handle) {
    dlclose(handle);
}
#endif

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string* error) {
    void* handle = OpenLibrary(path, error);
    if (handle == nullptr) {
        return nullptr;
    }
    auto entry = reinterpret_cast<LoadZunClubsFunction>(FindSymbol(handle, kEntryName));
    if (entry == nullptr) {
        if (error != nullptr) {
            *error = path + " has no export " + kEntryName;
        }
        CloseLibrary(handle);
        return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle, entry, path));
}

PluginLibrary::~PluginLibrary() {
    CloseLibrary(handle_);
}

}  // namespace Kolm::Host
