// HostApplication: the runnable host put together. It owns the event bus, the simulated
// platform, the embedded clubs web service (unless another service URL is given), the host
// table, the plugin instance, the REST server with its request bridge, the event stream and
// the OpenAPI document, and routes every HTTP request:
//   /zun-clubs-host/v1/events, /openapi.json, /world (and its reset and snapshots), /faults,
//   /clock, /requests, /scenarios,
//   /clubs-service/...                                              the host's own paths
//   /zun-login, /zun-platform-config, ... (a simulated plugin's)    PlatformSimulation
//   anything else                                                   the plugin, by its
//   ApiDescription
// The plugin's requests, the host's own and the host's changes that the plugin hears at once
// run on separate lanes of the REST server, so that plugin calls held up by a slow fault rule
// leave the host's paths answering.
//
// Start order: the world (--world or the built-in default), the fault rules (--faults), clubs
// web service, platform, load (version check), bind the REST port, Init, then listen and serve
// (so the port answers only once the plugin has started), the --scenario. Stop order: fault
// latencies cut short, scenarios (each running step finishes), REST server (no request in flight),
// push relay, plugin Shutdown, event stream, the world written out (--export-world), clubs web
// service. Used by the program and, in-process, by tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/faults/fault_rules.h"
#include "host/serving/bus_event_feed.h"
#include "host/serving/embedded_clubs_service.h"
#include "host/serving/host_options.h"
#include "host/serving/host_world.h"
#include "host/serving/http/event_stream.h"
#include "host/serving/http/http_server.h"
#include "host/serving/http_transport.h"
#include "host/serving/platform_simulation.h"
#include "host/serving/request_bridge.h"
#include "host/serving/request_journal.h"
#include "host/serving/scenario_endpoints.h"
#include "host/serving/serving_host.h"
#include "host/serving/snapshot_endpoints.h"
#include "host/serving/world_snapshots.h"
#include "host/simulated/host_event_bus.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

enum HostExitCode {
    kExitClean = 0,
    kExitUsage = 2,           // bad flags, or the library cannot be loaded
    kExitRefused = 3,         // the plugin refused the host's version
    kExitSetup = 4,           // a port cannot be bound, or the clubs service cannot be set up
    kExitInitFailed = 5,      // the plugin's Init failed
    kExitStoppedLoading = 6,  // a stop request (Ctrl-C, SIGTERM) before serving
};

class HostApplication {
  public:
    static constexpr const char* kHostPrefix = "/zun-clubs-host/v1";

    // Where the plugin's log lines and the access log go (standard error in the program).
    using LogSink = std::function<void(const std::string& line)>;

    HostApplication(HostOptions options, LogSink log);
    ~HostApplication();
    HostApplication(const HostApplication&) = delete;
    HostApplication& operator=(const HostApplication&) = delete;

    // Runs the start order with the plugin's entry (which must stay valid until Stop). Returns
    // kExitClean when serving, otherwise the exit code with `error` filled.
    int Start(LoadZunClubsFunction entry, std::string* error);
    // Idempotent; also run by the destructor.
    void Stop();

    uint16_t Port() const { return server_ != nullptr ? server_->Port() : 0; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(Port()); }
    std::string ClubsServiceUrl() const { return clubsServiceUrl_; }
    const char* PluginName() const;

    // The routing of one request (what the server calls).
    HttpResponse Handle(const HttpRequest& request);

    HostEventBus& Bus() { return bus_; }
    PlatformSimulation& Platform() { return *platform_; }
    EmbeddedClubsService* ClubsService() { return embedded_.get(); }
    FaultRules& Faults() { return faults_; }
    RequestJournal& Journal() { return journal_; }

  private:
    HttpResponse HandleHostPath(const HttpRequest& request, std::string_view rest);
    // The REST server lane of a complete request (see ServerLanes).
    std::size_t LaneOf(const HttpRequest& request) const;
    HttpResponse Index() const;
    void WritePluginLog(int32_t level, const char* line);
    // The world to start from (--world or the default, with the player flags), or none with
    // `error` filled.
    std::optional<World> StartingWorld(std::string* error) const;
    int StartPlatform(std::string* error);
    void FaultApplied(const FaultRule& rule,
                      std::string_view service,
                      std::string_view method,
                      std::string_view path);
    void ExportWorld();
    // What the host does around a reset or restore of the world.
    WorldRestoreSteps RestoreSteps();
    void PublishJournalEntry(const JournalEntry* entry);
    // Reads --scenario before the plugin is loaded, so that a bad document stops the start.
    int ReadStartingScenario(std::string* error);
    void PublishScenarioEvent(const std::string& json, const std::string& uri);

    const HostOptions options_;
    const LogSink log_;
    HostEventBus bus_;
    HttpTransport transport_;
    std::unique_ptr<EmbeddedClubsService> embedded_;
    std::string clubsServiceUrl_;
    std::unique_ptr<PlatformSimulation> platform_;
    std::unique_ptr<HostWorld> world_;
    std::unique_ptr<WorldSnapshots> snapshots_;  // with world_
    FaultRules faults_;
    RequestJournal journal_;
    std::unique_ptr<ServingHost> host_;
    std::unique_ptr<EventStream> events_;
    std::unique_ptr<BusEventFeed> feed_;  // of bus_ into events_
    PluginLoadRecord record_{};
    bool loaded_ = false;
    std::unique_ptr<RequestBridge> bridge_;
    std::string openApi_;
    std::unique_ptr<HttpServer> server_;
    std::optional<Scenario> startingScenario_;
    // Their steps go through Handle; stopped before the server and the plugin.
    std::unique_ptr<ScenarioRuns> scenarios_;
    std::atomic<bool> ready_{false};
};

}  // namespace Kolm::Host
