// The operating-system services the framework uses outside memory: thread ids, the
// performance counter, local time, the executable's name, the debugger console and dynamic
// libraries. One implementation per system (platform_posix.cpp, platform_windows.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace Kolm::Platform {

// The calling thread's id as the system numbers threads (GetCurrentThreadId, gettid).
std::uint32_t CurrentThreadId();

// A monotonic tick count and its ticks per second (QueryPerformanceCounter/Frequency, or the
// monotonic clock in nanoseconds).
std::int64_t PerformanceCounter();
std::int64_t PerformanceFrequency();

struct LocalTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The wall-clock time in the system's local time zone.
LocalTime CurrentLocalTime();

// The full path of the running executable, UTF-8; empty when the system cannot tell.
std::string ExecutableFileName();

// The folder, with a trailing separator, of the module that holds this code: the plugin's DLL
// or shared object (or the program, where the code is linked in statically). A host loads the
// plugin from its own plugins folder, so the libraries shipped beside the plugin are looked for
// here. Empty when the system cannot tell. UTF-8.
std::string ThisModuleFolder();

// Writes a text to the debugger's console (OutputDebugStringA). Systems without one drop it.
void WriteDebuggerConsole(const char* text);

// Opaque handle of a loaded dynamic library; null means none.
using DynamicLibrary = void*;

// Loads a library by file name (through the system's library search) or by path (UTF-8); null
// when it cannot be loaded.
DynamicLibrary LoadDynamicLibrary(const char* fileName);
// The address of an exported symbol, or null when the library or the symbol is missing.
void* FindDynamicSymbol(DynamicLibrary library, const char* symbolName);
// Drops one load of the library; null does nothing.
void FreeDynamicLibrary(DynamicLibrary library);

}  // namespace Kolm::Platform
