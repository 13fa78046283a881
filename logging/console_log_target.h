// The logger's three built-in targets: standard error, standard output and the debugger console.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "logging/log_target.h"

namespace Kolm {

// Expands a line format for `record` into `buffer` (at most bufferSize - 1 characters, always
// terminated, always ending in exactly one line feed when bufferSize > 1) and returns the length.
// Codes: #D local time, #E executable name, #G group names, #H seconds since the process's first
// time query, #L level name, #M message, #T thread id; "#" and any other character give that
// character.
std::size_t FormatLogLine(char* buffer,
                          std::size_t bufferSize,
                          std::string_view format,
                          const LogRecord& record,
                          std::string_view executableName);

// The names of the group bits of `groups`, lowest first, joined by ";" ("" for 0).
std::string LogGroupNames(std::uint64_t groups);

class ConsoleLogTarget : public LogTarget {
  public:
    enum class Device { StandardError, StandardOutput, DebuggerConsole };

    // Where a formatted line goes; `context` is the one given to RedirectOutput.
    using Sink = void (*)(const char* line, void* context);

    ConsoleLogTarget(const char* name, Device device, const std::string& executableName);

    const char* Name() const override { return name_; }
    void Write(const LogRecord& record) override;

    // Standard output only: flush after each line (off by default).
    void SetFlush(bool flush);

    // Sends the lines to `sink` instead of the device (null restores the device), for hosts and
    // tests that cannot read the device itself.
    void RedirectOutput(Sink sink, void* context);

  private:
    void Emit(const char* line);

    const char* name_;
    Device device_;
    const std::string& executableName_;  // owned by the logger, which owns this target
    bool flush_ = false;
    Sink sink_ = nullptr;
    void* sinkContext_ = nullptr;
};

}  // namespace Kolm
