// SimulatedPlugins: the host's registry of simulated other plugins, keyed by the path prefix
// each one owns, which answers SendRemotingRequest by handing the call to the plugin whose
// prefix is the longest one matching the URI on a path boundary.
//
// The answer record it fills owns host-heap copies of everything (value, texts, headers, the
// stream) and carries a release callback that frees them; counters tell tests whether every
// answer given was released. Thread-safe: calls may arrive on several host threads at once.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "host/simulated/simulated_plugin.h"
#include "platform/mutex.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

class HostEventBus;

class SimulatedPlugins {
  public:
    explicit SimulatedPlugins(HostEventBus& bus) : bus_(bus) {}
    SimulatedPlugins(const SimulatedPlugins&) = delete;
    SimulatedPlugins& operator=(const SimulatedPlugins&) = delete;

    // Creates and registers a plain simulated plugin for `pathPrefix` (replacing one of the
    // same prefix) and returns it.
    std::shared_ptr<SimulatedPlugin> Add(std::string pathPrefix);
    // Registers a plugin of a derived kind under its own prefix.
    void Add(std::shared_ptr<SimulatedPlugin> plugin);
    void Remove(const std::string& pathPrefix);
    // The plugin that serves `uri`, or null.
    std::shared_ptr<SimulatedPlugin> Find(std::string_view uri) const;

    // The body of the host's SendRemotingRequest: answers `request` into `response`. A URI no
    // plugin serves gets a 404 error "No plugin serves %s" (the URI).
    void Answer(HostResponse& response, const HostRequest& request);

    // The release callback of every answer record filled here.
    static void ZC_HOST_CALL ReleaseAnswer(HostResponse* response);

    // Answer records filled here (by every registry of the process) and not yet released.
    static std::size_t OutstandingAnswers();

  private:
    HostEventBus& bus_;
    mutable Platform::Mutex mutex_;
    std::map<std::string, std::shared_ptr<SimulatedPlugin>> plugins_ ZC_GUARDED_BY(mutex_);
};

// Fills `response` (cleared first) with a host-heap copy of `answer`, release callback set.
void WriteSimulatedAnswer(HostResponse& response, const SimulatedAnswer& answer);

}  // namespace Kolm::Host
