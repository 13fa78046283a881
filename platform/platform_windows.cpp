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

namespace {

std::string ToUtf8(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::wstring ToWide(const char* utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (size <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), size);
    wide.resize(static_cast<std::size_t>(size) - 1);  // the terminating NUL
    return wide;
}

// The full path of a module; long paths get a larger buffer.
std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string ExecutableFileName() {
    const std::wstring path = ModuleFileName(nullptr);
    return path.empty() ? std::string() : ToUtf8(path.data(), static_cast<int>(path.size()));
}

std::string ThisModuleFolder() {
    HMODULE module = nullptr;
    // The module holding this function's code, without taking a reference that would keep the
    // plugin loaded.
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&ThisModuleFolder), &module)) {
        return std::string();
    }
    const std::wstring path = ModuleFileName(module);
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return std::string();
    }
    return ToUtf8(path.data(), static_cast<int>(separator + 1));
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
    const std::wstring name = ToWide(fileName);
    if (name.empty()) {
        return nullptr;
    }
    return reinterpret_cast<DynamicLibrary>(LoadLibraryW(name.c_str()));
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
