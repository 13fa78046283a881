#include "platform/platform.h"

#include <windows.h>

namespace Kolm::Platform {

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(GetCurrentThreadId());
}

std::int64_t PerformanceCounter() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<std::int64_t>(counter.QuadPart);
}

std::int64_t PerformanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<std::int64_t>(frequency.QuadPart);
}

LocalTime CurrentLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    LocalTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.millisecond = now.wMilliseconds;
    return time;
}

std::string ExecutableFileName() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    return std::string(path, length);
}

void WriteDebuggerConsole(const char* text) {
    if (text != nullptr) {
        OutputDebugStringA(text);
    }
}

DynamicLibrary LoadDynamicLibrary(const char* fileName) {
    if (fileName == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<DynamicLibrary>(LoadLibraryA(fileName));
}

void* FindDynamicSymbol(DynamicLibrary library, const char* symbolName) {
    if (library == nullptr || symbolName == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), symbolName));
}

void FreeDynamicLibrary(DynamicLibrary library) {
    if (library != nullptr) {
        FreeLibrary(reinterpret_cast<HMODULE>(library));
    }
}

}  // namespace Kolm::Platform
