// ServingHost: the host table of the runnable host. Remote calls go to the simulated other
// plugins, HTTP requests out through the HTTP transport, events and subscriptions through the
// event bus, log lines to a sink; waits and yields return at once (the host has no work queue
// of its own to run). Fault rules, when given, stand in for the services they name: the
// clubs web service for HTTP requests, a simulated plugin for remote calls. Unlike the recording
// test host it keeps no record of its own; the calls go to the request journal, when given,
// which is bounded in bytes, so the host can run for as long as it is left running.
//
// Thread rules: the plugin may call the table from any thread at once; the members it uses are
// thread-safe themselves.
#pragma once

#include <cstdint>
#include <functional>

#include "host/boundary/host_api_table.h"
#include "host/faults/fault_rules.h"
#include "host/serving/http_transport.h"
#include "host/serving/request_journal.h"
#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_plugins.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

class ServingHost {
  public:
    using LogSink = std::function<void(int32_t level, const char* line)>;

    // All arguments must outlive this host.
    ServingHost(HostEventBus& bus,
                SimulatedPlugins& plugins,
                const HttpTransport& transport,
                LogSink log,
                uint32_t clientWord = 0x2C1AB5);
    ServingHost(const ServingHost&) = delete;
    ServingHost& operator=(const ServingHost&) = delete;

    // The context handed to Init; valid as long as this host.
    const HostContext& Context() const { return context_; }

    // Rules asked before every remote call and HTTP request the plugin sends (null: none);
    // set before Init, must outlive this host.
    void UseFaults(FaultRules* faults) { faults_ = faults; }
    // Where every remote call and HTTP request the plugin sends is recorded (null: nowhere); set
    // before Init, must outlive this host.
    void UseJournal(RequestJournal* journal) { journal_ = journal; }

  private:
    friend struct HostApiTable<ServingHost>;
    static ServingHost& From(const HostApi* api);

    static void ZC_HOST_CALL SendRemotingRequest(const HostApi*, HostResponse*, const HostRequest*);
    static void ZC_HOST_CALL SendHttpRequest(const HostApi*,
                                             HostHttpResponse*,
                                             const HostHttpRequest*);
    static void ZC_HOST_CALL SendEvent(const HostApi*, const HostEventRecord*);
    static void ZC_HOST_CALL
    SubscribeHostEvent(const HostApi*, const char*, uint32_t, HostEventCallback, void*, uint32_t);
    static void ZC_HOST_CALL UnsubscribeHostEvent(const HostApi*, const char*, uint32_t);
    static void ZC_HOST_CALL
    Reserved5(const HostApi*, uint32_t, uint32_t, uint32_t, double, uint32_t);
    static void ZC_HOST_CALL HostYield(const HostApi*);
    static void ZC_HOST_CALL BeginWait(const HostApi*, const char*, uint32_t);
    static uint64_t ZC_HOST_CALL EndWait(const HostApi*);
    static void ZC_HOST_CALL WriteLog(const HostApi*, int32_t, const char*);

    HostApiTable<ServingHost> table_{this};
    HostContext context_;
    HostEventBus& bus_;
    SimulatedPlugins& plugins_;
    const HttpTransport& transport_;
    LogSink log_;
    FaultRules* faults_ = nullptr;
    RequestJournal* journal_ = nullptr;
};

}  // namespace Kolm::Host
