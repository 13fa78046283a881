#include "logging/plugin_log_target.h"

#include "logging/logger.h"

namespace Kolm {

void PluginLogTarget::Write(const LogRecord& record) {
    if (hostApi_ != nullptr && hostApi_->WriteLog != nullptr) {
        hostApi_->WriteLog(hostApi_, record.level, record.message);
    }
}

std::unique_ptr<PluginLogTarget> InstallPluginLogTarget(const HostApi* hostApi) {
    Logger& logger = Logger::AddReference();
    std::unique_ptr<PluginLogTarget> target;
    if (logger.FindTarget(PluginLogTarget::kName) == nullptr) {
        logger.DetachTarget(logger.StdOutTarget());
        logger.DetachTarget(logger.StdErrTarget());
        logger.DetachTarget(logger.DebuggerConsoleTarget());
        logger.SetMinimumLevel(kLogOkay);
        logger.SetSuppressedGroups(kLogGroupXtr);
        target = std::make_unique<PluginLogTarget>(hostApi);
        logger.AttachTarget(*target, logger.MinimumLevel(), 0, 0, LogTarget::kDefaultLineFormat);
    }
    Logger::ReleaseReference();
    return target;
}

}  // namespace Kolm
