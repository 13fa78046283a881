// The process-wide logger: one per process, reference-counted, with its built-in console
// targets, and Log, the one entry for every log line of the program.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "logging/console_log_target.h"
#include "logging/log_record.h"
#include "logging/log_target.h"

namespace Kolm {

// Filters lines, counts warnings and errors and hands each line to the attached targets in
// attachment order. Every operation takes the logger's lock, which is recursive so that a target
// (or the host behind it) may log while a line is being written.
class Logger {
  public:
    // Takes a reference on the process's logger, creating it on first use.
    static Logger& AddReference();
    // Drops a reference; the last one destroys the logger, detaching every target still on it.
    static void ReleaseReference();
    // The logger, or null when there is none. Valid while the caller holds a reference.
    static Logger* Current();

    void SetMinimumLevel(std::int32_t level);
    std::int32_t MinimumLevel() const;
    void SetSuppressedGroups(std::uint64_t groups);
    std::uint64_t SuppressedGroups() const;
    void Disable();
    void Enable();
    bool IsDisabled() const;

    // Detaches `target` if attached, stores the settings and appends it to the list.
    void AttachTarget(LogTarget& target,
                      std::int32_t minimumLevel,
                      std::uint64_t includedGroups,
                      std::uint64_t excludedGroups,
                      std::string lineFormat);
    void DetachTarget(LogTarget& target);
    // The attached target with this name, or null.
    LogTarget* FindTarget(std::string_view name);

    ConsoleLogTarget& StdErrTarget() { return stdErr_; }
    ConsoleLogTarget& StdOutTarget() { return stdOut_; }
    ConsoleLogTarget& DebuggerConsoleTarget() { return debuggerConsole_; }

    std::uint32_t WarningCount() const { return warnings_.load(); }
    std::uint64_t ErrorCount() const { return errors_.load(); }
    // The executable's file name without its directory; "<unknown>" when it cannot be read.
    const std::string& ExecutableName() const { return executableName_; }

    // Whether a line of this level and groups passes the logger's own filter.
    bool Passes(std::int32_t level, std::uint64_t groups) const;
    // Counts the line and hands it to every attached target whose filter accepts it.
    void Write(const LogRecord& record);

  private:
    Logger();
    ~Logger();
    friend void Log(std::int32_t, std::uint64_t, const char*, ...);

    mutable std::recursive_mutex lock_;
    std::vector<LogTarget*> targets_;
    std::atomic<bool> disabled_{false};
    std::atomic<std::int32_t> minimumLevel_{kLogWarn};
    std::atomic<std::uint64_t> suppressedGroups_{kLogGroupXtr};
    std::atomic<std::uint32_t> warnings_{0};
    std::atomic<std::uint64_t> errors_{0};
    std::string executableName_ = "<unknown>";
    ConsoleLogTarget stdErr_;
    ConsoleLogTarget stdOut_;
    ConsoleLogTarget debuggerConsole_;
};

// Writes one line: printf-style `format` and arguments, cut to 4095 characters. Creates the
// logger when there is none; never fails towards the caller.
void Log(std::int32_t level, std::uint64_t groups, const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

}  // namespace Kolm
