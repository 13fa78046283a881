#include "logging/log_target.h"

#include "logging/logger.h"

namespace Kolm {
namespace {

std::uint32_t TableVersion(LogTarget*) {
    return 1;
}
void TableSetMinimumLevel(LogTarget* target, std::int32_t level) {
    target->SetMinimumLevel(level);
}
std::int32_t TableGetMinimumLevel(LogTarget* target) {
    return target->MinimumLevel();
}
void TableSetGroups(LogTarget* target, std::uint64_t included, std::uint64_t excluded) {
    target->SetGroups(included, excluded);
}
std::uint64_t TableGetIncludedGroups(LogTarget* target) {
    return target->IncludedGroups();
}
std::uint64_t TableGetExcludedGroups(LogTarget* target) {
    return target->ExcludedGroups();
}
void TableSetLineFormat(LogTarget* target, const char* format) {
    target->SetLineFormat(format != nullptr ? format : "");
}
void TableDetach(LogTarget* target) {
    target->Detach();
}
std::uint8_t TableIsAttached(LogTarget* target) {
    return target->IsAttached() ? 1 : 0;
}
void TableWrite(LogTarget* target, const LogRecord* record) {
    if (record != nullptr) {
        target->Write(*record);
    }
}

}  // namespace

// The table's line-format getter needs storage that outlives the call; it lives in the target.
struct LogTargetTableAccess {
    static const char* GetLineFormat(LogTarget* target) {
        std::string format = target->LineFormat();
        std::lock_guard guard(target->lock_);
        target->lineFormatForTable_ = std::move(format);
        return target->lineFormatForTable_.c_str();
    }
};

LogTarget::~LogTarget() {
    LogTarget::Detach();
}

void LogTarget::Detach() {
    Logger* logger = nullptr;
    {
        std::lock_guard guard(lock_);
        logger = attachedTo_;
    }
    if (logger != nullptr) {
        logger->DetachTarget(*this);
    }
}

std::string LogTarget::LineFormat() const {
    std::lock_guard guard(lock_);
    return lineFormat_;
}

void LogTarget::SetMinimumLevel(std::int32_t level) {
    std::lock_guard guard(lock_);
    minimumLevel_ = level;
}

std::int32_t LogTarget::MinimumLevel() const {
    std::lock_guard guard(lock_);
    return minimumLevel_;
}

void LogTarget::SetGroups(std::uint64_t included, std::uint64_t excluded) {
    std::lock_guard guard(lock_);
    includedGroups_ = included & ~excluded;
    excludedGroups_ = excluded;
}

std::uint64_t LogTarget::IncludedGroups() const {
    std::lock_guard guard(lock_);
    return includedGroups_;
}

std::uint64_t LogTarget::ExcludedGroups() const {
    std::lock_guard guard(lock_);
    return excludedGroups_;
}

void LogTarget::SetLineFormat(std::string format) {
    std::lock_guard guard(lock_);
    lineFormat_ = std::move(format);
}

bool LogTarget::IsAttached() const {
    std::lock_guard guard(lock_);
    return attachedTo_ != nullptr;
}

bool LogTarget::Accepts(const LogRecord& record) const {
    std::lock_guard guard(lock_);
    if (record.level < minimumLevel_) {
        return false;
    }
    if (record.groups == 0) {
        return true;
    }
    if ((record.groups & excludedGroups_) != 0) {
        return false;
    }
    return includedGroups_ == 0 || (record.groups & includedGroups_) != 0;
}

const LogTargetFunctions& LogTarget::Functions() const {
    static const LogTargetFunctions table{
        TableVersion,
        TableSetMinimumLevel,
        TableGetMinimumLevel,
        TableSetGroups,
        TableGetIncludedGroups,
        TableGetExcludedGroups,
        TableSetLineFormat,
        LogTargetTableAccess::GetLineFormat,
        TableDetach,
        TableIsAttached,
        TableWrite,
    };
    return table;
}

}  // namespace Kolm
