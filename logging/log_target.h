// The base of every log target: its filter settings, its line format and its plain-function
// table for callers outside the class.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "logging/log_record.h"

namespace Kolm {

class Logger;
class LogTarget;

// The target's operations as plain functions, in table order, for code that cannot use the
// class (entries 6 and 7 set and get the line format).
struct LogTargetFunctions {
    std::uint32_t (*version)(LogTarget* target);
    void (*setMinimumLevel)(LogTarget* target, std::int32_t level);
    std::int32_t (*getMinimumLevel)(LogTarget* target);
    void (*setGroups)(LogTarget* target, std::uint64_t included, std::uint64_t excluded);
    std::uint64_t (*getIncludedGroups)(LogTarget* target);
    std::uint64_t (*getExcludedGroups)(LogTarget* target);
    void (*setLineFormat)(LogTarget* target, const char* format);
    const char* (*getLineFormat)(LogTarget* target);
    void (*detach)(LogTarget* target);
    std::uint8_t (*isAttached)(LogTarget* target);
    void (*write)(LogTarget* target, const LogRecord* record);
};

// Settings keep their values while the target is detached. Settings are guarded by the target's
// lock; the logger calls Deliver under its own lock, so the lock order is logger, then target.
class LogTarget {
  public:
    static constexpr const char* kDefaultLineFormat = "#D| #L| #G| #M";

    LogTarget() = default;
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    // Detaches the target from the logger it is attached to.
    virtual ~LogTarget();
    virtual void Detach();
    virtual const char* Name() const = 0;
    virtual std::string LineFormat() const;
    // Writes a record that passed the filter. Called under the logger's lock.
    virtual void Write(const LogRecord& record) = 0;

    void SetMinimumLevel(std::int32_t level);
    std::int32_t MinimumLevel() const;
    // Stores `included` without the excluded bits, and `excluded`.
    void SetGroups(std::uint64_t included, std::uint64_t excluded);
    std::uint64_t IncludedGroups() const;
    std::uint64_t ExcludedGroups() const;
    void SetLineFormat(std::string format);
    bool IsAttached() const;

    // The filter: level at least the minimum; a record with groups must share none with the
    // excluded ones and, when included groups are set, at least one with them.
    bool Accepts(const LogRecord& record) const;

    const LogTargetFunctions& Functions() const;

  protected:
    mutable std::mutex lock_;

  private:
    friend class Logger;
    friend struct LogTargetTableAccess;

    Logger* attachedTo_ = nullptr;  // set and cleared by the logger under its lock
    std::int32_t minimumLevel_ = kLogWarn;
    std::uint64_t includedGroups_ = 0;
    std::uint64_t excludedGroups_ = 0;
    std::string lineFormat_ = kDefaultLineFormat;
    std::string lineFormatForTable_;  // keeps the text getLineFormat returns alive
};

}  // namespace Kolm
