#include "logging/logger.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "logging/message_format.h"
#include "platform/platform.h"

namespace Kolm {
namespace {

// Guards the process's logger pointer and its reference count. Log holds it while it writes, so
// the last ReleaseReference cannot destroy the logger under a line in flight. Recursive: a
// target may log while it writes. A static object rather than a leaked one: the library may be
// unloaded, and whatever it leaked would be lost to the process.
std::recursive_mutex& InstanceLock() {
    static std::recursive_mutex lock;
    return lock;
}

Logger* gLogger = nullptr;
int gReferences = 0;

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Logger::Logger()
    : stdErr_("StdErrLogTarget", ConsoleLogTarget::Device::StandardError, executableName_),
      stdOut_("StdOutLogTarget", ConsoleLogTarget::Device::StandardOutput, executableName_),
      debuggerConsole_("DebuggerConsoleLogTarget",
                       ConsoleLogTarget::Device::DebuggerConsole,
                       executableName_) {
    const std::string name = BaseName(Platform::ExecutableFileName());
    if (!name.empty()) {
        executableName_ = name;
    }
    const char* consoleFormat = "#E(#T): #L| #M";
    AttachTarget(stdErr_, kLogWarn, kLogGroupDbg, kLogGroupGen, consoleFormat);
    stdOut_.SetMinimumLevel(kLogWarn);
    stdOut_.SetGroups(kLogGroupGen, kLogGroupDbg);
    stdOut_.SetLineFormat("#M");
    AttachTarget(debuggerConsole_, kLogWarn, kLogGroupDbg, 0, consoleFormat);
}

Logger::~Logger() {
    std::lock_guard guard(lock_);
    for (LogTarget* target : targets_) {
        std::lock_guard targetGuard(target->lock_);
        target->attachedTo_ = nullptr;
    }
    targets_.clear();
}

Logger& Logger::AddReference() {
    std::lock_guard guard(InstanceLock());
    if (gLogger == nullptr) {
        gLogger = new Logger();
    }
    ++gReferences;
    return *gLogger;
}

void Logger::ReleaseReference() {
    std::lock_guard guard(InstanceLock());
    if (gReferences == 0) {
        return;  // unbalanced release: nothing to give back
    }
    if (--gReferences == 0) {
        delete gLogger;
        gLogger = nullptr;
    }
}

Logger* Logger::Current() {
    std::lock_guard guard(InstanceLock());
    return gLogger;
}

void Logger::SetMinimumLevel(std::int32_t level) {
    std::lock_guard guard(lock_);
    minimumLevel_ = level;
}

std::int32_t Logger::MinimumLevel() const {
    return minimumLevel_.load();
}

void Logger::SetSuppressedGroups(std::uint64_t groups) {
    std::lock_guard guard(lock_);
    suppressedGroups_ = groups;
}

std::uint64_t Logger::SuppressedGroups() const {
    return suppressedGroups_.load();
}

void Logger::Disable() {
    std::lock_guard guard(lock_);
    disabled_ = true;
}

void Logger::Enable() {
    std::lock_guard guard(lock_);
    disabled_ = false;
}

bool Logger::IsDisabled() const {
    return disabled_.load();
}

void Logger::AttachTarget(LogTarget& target,
                          std::int32_t minimumLevel,
                          std::uint64_t includedGroups,
                          std::uint64_t excludedGroups,
                          std::string lineFormat) {
    std::lock_guard guard(lock_);
    target.Detach();
    target.SetMinimumLevel(minimumLevel);
    target.SetGroups(includedGroups, excludedGroups);
    target.SetLineFormat(std::move(lineFormat));
    targets_.push_back(&target);
    std::lock_guard targetGuard(target.lock_);
    target.attachedTo_ = this;
}

void Logger::DetachTarget(LogTarget& target) {
    std::lock_guard guard(lock_);
    const auto found = std::find(targets_.begin(), targets_.end(), &target);
    if (found == targets_.end()) {
        return;
    }
    targets_.erase(found);
    std::lock_guard targetGuard(target.lock_);
    target.attachedTo_ = nullptr;
}

LogTarget* Logger::FindTarget(std::string_view name) {
    std::lock_guard guard(lock_);
    for (LogTarget* target : targets_) {
        if (name == target->Name()) {
            return target;
        }
    }
    return nullptr;
}

bool Logger::Passes(std::int32_t level, std::uint64_t groups) const {
    return !disabled_.load() && level >= minimumLevel_.load() &&
           (groups & suppressedGroups_.load()) == 0;
}

void Logger::Write(const LogRecord& record) {
    std::lock_guard guard(lock_);
    if (record.level == kLogWarn) {
        ++warnings_;
    } else if (record.level == kLogError) {
        ++errors_;
    }
    // A copy: a target may detach itself (or another) while writing.
    const std::vector<LogTarget*> targets = targets_;
    for (LogTarget* target : targets) {
        if (std::find(targets_.begin(), targets_.end(), target) != targets_.end() &&
            target->Accepts(record)) {
            target->Write(record);
        }
    }
}

void Log(std::int32_t level, std::uint64_t groups, const char* format, ...) {
    std::lock_guard guard(InstanceLock());
    if (gLogger == nullptr) {
        gLogger = new Logger();
    }
    if (!gLogger->Passes(level, groups)) {
        return;
    }
    char message[kMessageBufferSize];
    message[0] = '\0';
    if (format != nullptr) {
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(message, sizeof(message), format, arguments);
        va_end(arguments);
    }
    LogRecord record;
    record.time = Platform::CurrentLocalTime();
    record.level = level;
    record.groups = groups;
    record.message = message;
    gLogger->Write(record);
}

}  // namespace Kolm
