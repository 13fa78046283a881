// The log target that forwards lines to the host's log through the host table's WriteLog, and
// the set-up that replaces the console targets with it when the plugin starts.
#pragma once

#include <memory>

#include "logging/log_target.h"
#include "plugin/host_boundary.h"

namespace Kolm {

class PluginLogTarget : public LogTarget {
  public:
    static constexpr const char* kName = "PluginLogTarget";

    // `hostApi` is owned by the host and must outlive the target (the plugin destroys the target
    // before Shutdown returns).
    explicit PluginLogTarget(const HostApi* hostApi) : hostApi_(hostApi) {}

    const char* Name() const override { return kName; }
    // Passes level and raw message: the host formats its own lines. Holds no lock of the target
    // while the host runs, so the host may log back into the plugin.
    void Write(const LogRecord& record) override;

  private:
    const HostApi* hostApi_;
};

// Routes the process's logging to the host, unless a PluginLogTarget is already attached (then
// nothing changes and null is returned): detaches the three console targets, sets the logger's
// minimum level to OKAY and its suppressed groups to XTR, and attaches a new PluginLogTarget with
// the logger's minimum level, no group filter and the format "#D| #L| #G| #M". The caller owns
// the target; destroying it detaches it. Needs a reference on the logger.
std::unique_ptr<PluginLogTarget> InstallPluginLogTarget(const HostApi* hostApi);

}  // namespace Kolm
