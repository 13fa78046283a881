#include "logging/console_log_target.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "logging/message_format.h"
#include "platform/platform.h"

namespace Kolm {
namespace {

const char* const kGroupNames[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};

// The counter value of the process's first time query; #H counts from it.
std::int64_t ProcessClockStart() {
    static const std::int64_t start = Platform::PerformanceCounter();
    return start;
}

// Appends to a fixed buffer, keeping one byte for the terminator and cutting silently.
class LineBuffer {
  public:
    LineBuffer(char* buffer, std::size_t bufferSize) : buffer_(buffer), capacity_(bufferSize - 1) {}

    void Append(std::string_view text) {
        const std::size_t count = std::min(text.size(), capacity_ - length_);
        std::memcpy(buffer_ + length_, text.data(), count);
        length_ += count;
    }

    // Ends the line with exactly one line feed, overwriting the last character when full.
    std::size_t FinishLine() {
        if (capacity_ > 0 && (length_ == 0 || buffer_[length_ - 1] != '\n')) {
            if (length_ == capacity_) {
                --length_;
            }
            buffer_[length_++] = '\n';
        }
        buffer_[length_] = '\0';
        return length_;
    }

  private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

void AppendCode(LineBuffer& line,
                char code,
                const LogRecord& record,
                std::string_view executableName) {
    char scratch[64];
    switch (code) {
        case 'D': {
            const Platform::LocalTime& t = record.time;
            std::snprintf(scratch, sizeof(scratch), "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
            line.Append(scratch);
            break;
        }
        case 'E':
            line.Append(executableName);
            break;
        case 'G':
            line.Append(LogGroupNames(record.groups));
            break;
        case 'H': {
            const std::int64_t frequency = Platform::PerformanceFrequency();
            const std::int64_t elapsed = Platform::PerformanceCounter() - ProcessClockStart();
            const std::int64_t seconds = frequency > 0 ? elapsed / frequency : 0;
            const std::int64_t milliseconds =
                frequency > 0 ? (elapsed % frequency) * 1000 / frequency : 0;
            std::snprintf(scratch, sizeof(scratch), "%06d.%03d", static_cast<int>(seconds),
                          static_cast<int>(milliseconds));
            line.Append(scratch);
            break;
        }
        case 'L':
            line.Append(LogLevelName(record.level));
            break;
        case 'M':
            line.Append(record.message != nullptr ? record.message : "");
            break;
        case 'T':
            std::snprintf(
                scratch, sizeof(scratch), "%p",
                reinterpret_cast<void*>(static_cast<std::uintptr_t>(Platform::CurrentThreadId())));
            line.Append(scratch);
            break;
        default:
            line.Append(std::string_view(&code, 1));
            break;
    }
}

}  // namespace

std::string LogGroupNames(std::uint64_t groups) {
    std::string names;
    for (int bit = 0; bit < 64; ++bit) {
        if ((groups & (std::uint64_t{1} << bit)) == 0) {
            continue;
        }
        if (!names.empty()) {
            names += ';';
        }
        names += bit < 8 ? kGroupNames[bit] : "???";
    }
    return names;
}

std::size_t FormatLogLine(char* buffer,
                          std::size_t bufferSize,
                          std::string_view format,
                          const LogRecord& record,
                          std::string_view executableName) {
    if (buffer == nullptr || bufferSize == 0) {
        return 0;
    }
    LineBuffer line(buffer, bufferSize);
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '#' && i + 1 < format.size()) {
            AppendCode(line, format[++i], record, executableName);
        } else {
            line.Append(format.substr(i, 1));
        }
    }
    return line.FinishLine();
}

ConsoleLogTarget::ConsoleLogTarget(const char* name,
                                   Device device,
                                   const std::string& executableName)
    : name_(name), device_(device), executableName_(executableName) {
    ProcessClockStart();
}

void ConsoleLogTarget::Write(const LogRecord& record) {
    const std::string format = LineFormat();
    char line[kMessageBufferSize];
    FormatLogLine(line, sizeof(line), format, record, executableName_);
    std::lock_guard guard(lock_);
    Emit(line);
}

void ConsoleLogTarget::SetFlush(bool flush) {
    std::lock_guard guard(lock_);
    flush_ = flush;
}

void ConsoleLogTarget::RedirectOutput(Sink sink, void* context) {
    std::lock_guard guard(lock_);
    sink_ = sink;
    sinkContext_ = context;
}

void ConsoleLogTarget::Emit(const char* line) {
    if (sink_ != nullptr) {
        sink_(line, sinkContext_);
        return;
    }
    switch (device_) {
        case Device::StandardError:
            std::fputs(line, stderr);
            break;
        case Device::StandardOutput:
            std::fputs(line, stdout);
            if (flush_) {
                std::fflush(stdout);
            }
            break;
        case Device::DebuggerConsole:
            Platform::WriteDebuggerConsole(line);
            break;
    }
}

}  // namespace Kolm
