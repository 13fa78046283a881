#include "platform/platform.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>

#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace Kolm::Platform {

std::uint32_t CurrentThreadId() {
#if defined(__linux__)
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
#else
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pthread_self()));
#endif
}

std::int64_t PerformanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t PerformanceFrequency() {
    return 1000000000;
}

LocalTime CurrentLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    localtime_r(&now.tv_sec, &parts);
    LocalTime time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    time.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return time;
}

std::string ExecutableFileName() {
#if defined(__linux__)
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length > 0) {
        return std::string(path, static_cast<std::size_t>(length));
    }
#endif
    return std::string();
}

std::string ThisModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ThisModuleFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return std::string();
    }
    // The name is the one the module was loaded by, relative when it was; made absolute here,
    // before the working directory is likely to have changed.
    char absolute[PATH_MAX];
    const std::string path =
        realpath(info.dli_fname, absolute) != nullptr ? absolute : info.dli_fname;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void WriteDebuggerConsole(const char* /*text*/) {
    // No debugger console on this system; the text is dropped.
}

DynamicLibrary LoadDynamicLibrary(const char* fileName) {
    if (fileName == nullptr) {
        return nullptr;
    }
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* FindDynamicSymbol(DynamicLibrary library, const char* symbolName) {
    if (library == nullptr || symbolName == nullptr) {
        return nullptr;
    }
    return dlsym(library, symbolName);
}

void FreeDynamicLibrary(DynamicLibrary library) {
    if (library != nullptr) {
        dlclose(library);
    }
}

}  // namespace Kolm::Platform
