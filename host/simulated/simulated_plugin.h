// SimulatedPlugin: the host side's stand-in for another back-end plugin (login, platform
// configuration, summoner, chat, player notifications, ...). It answers the REST calls that a
// plugin sends it through SendRemotingRequest, by method and path, with values, errors or
// streams, keeps resources that a GET reads, and publishes resource events the way a plugin
// does: under the URI's host event name and under "OnJsonApiEvent".
//
// Thread rules: every member may be called from any thread; handlers run on the caller's thread
// with no lock of the plugin held, so a handler may call back into it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/boundary/owned_host_value.h"
#include "host/simulated/recent_records.h"
#include "host/simulated/scripted_stream.h"
#include "platform/mutex.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

class HostEventBus;

enum class ResourceEventType : int32_t { Create = 0, Update = 1, Delete = 2 };

// "Create", "Update" or "Delete", the names plugins send event types under.
const char* ResourceEventTypeName(ResourceEventType type);

// The host event name of a resource URI, as every plugin derives it: "OnJsonApiEvent" and the
// URI's first three non-empty pieces (five under "zun-platform-config"), joined by "_".
std::string ResourceEventName(std::string_view uri);

// A remote call as the target sees it; copied out of the request record.
struct SimulatedRequest {
    struct Argument {
        std::optional<std::string> name;  // none: addressed by position
        OwnedHostValue value;
    };
    uint32_t method = 0;
    std::string methodName;  // with HOST_METHOD_OTHER
    std::string uri;         // as sent, query included
    std::string path;        // before "?"
    std::string query;       // after "?", empty without one
    std::vector<Argument> arguments;
    uint32_t callToken = 0;

    static SimulatedRequest FromRecord(const HostRequest& record);
    // The first argument's value as JSON, "null" without arguments.
    std::string FirstArgumentJson() const;
    // What a kept copy holds, for the byte bound of the received calls.
    friend std::size_t RecordBytes(const SimulatedRequest& request);
};

// What a simulated plugin answers.
struct SimulatedAnswer {
    OwnedHostValue value;
    uint32_t status = 0;
    bool hasError = false;
    std::optional<std::string> errorText;  // none with hasError: an error flag without text
    std::vector<std::pair<std::string, std::string>> headers;
    std::shared_ptr<ScriptedStream> stream;

    static SimulatedAnswer Value(OwnedHostValue value, uint32_t status = 0);
    static SimulatedAnswer Json(std::string_view json, uint32_t status = 0);
    static SimulatedAnswer Error(uint32_t status, std::string text);
    // A malformed answer some hosts produce: the error flag set, no error text.
    static SimulatedAnswer ErrorWithoutText(uint32_t status);
    static SimulatedAnswer Stream(std::shared_ptr<ScriptedStream> stream, uint32_t status = 0);
};

class SimulatedPlugin {
  public:
    using Handler = std::function<SimulatedAnswer(const SimulatedRequest&)>;

    // `pathPrefix` is the first path piece the plugin owns, such as "/zun-login".
    explicit SimulatedPlugin(std::string pathPrefix);
    virtual ~SimulatedPlugin() = default;
    SimulatedPlugin(const SimulatedPlugin&) = delete;
    SimulatedPlugin& operator=(const SimulatedPlugin&) = delete;

    const std::string& PathPrefix() const { return pathPrefix_; }

    // Answers `method` on exactly `path` (no query); replaces an earlier handler of both.
    void On(uint32_t method, std::string path, Handler handler);
    // A GET of `path` answers with the value; no event is sent.
    void SetResource(std::string path, OwnedHostValue value);
    std::optional<OwnedHostValue> Resource(const std::string& path) const;
    // Stores (Create, Update) or removes (Delete) the resource and sends its event, twice, on
    // the bus this plugin was added with (none: only stores).
    void Publish(ResourceEventType type, const std::string& uri, OwnedHostValue value);

    // Routes one call: the handler of method and path, else a GET of a held resource, else a
    // 404 error "No handler for %s %s" (method code, path). Records the call first.
    virtual SimulatedAnswer Answer(const SimulatedRequest& request);

    // The newest calls received, oldest first, and how many of them were of method and path:
    // only the newest RecentRecords::kDefaultLimit are kept unless SetRecordLimit says
    // otherwise, so that a long-running host does not grow.
    std::vector<SimulatedRequest> ReceivedRequests() const;
    std::size_t RequestCount(uint32_t method, const std::string& path) const;
    // How many of the newest calls (and of each record a derived plugin keeps) are kept.
    virtual void SetRecordLimit(std::size_t limit);

  private:
    friend class SimulatedPlugins;
    void AttachBus(HostEventBus* bus);

    const std::string pathPrefix_;
    mutable Platform::Mutex mutex_;
    std::map<std::pair<uint32_t, std::string>, std::shared_ptr<Handler>> handlers_
        ZC_GUARDED_BY(mutex_);
    std::map<std::string, OwnedHostValue> resources_ ZC_GUARDED_BY(mutex_);
    RecentRecords<SimulatedRequest> received_ ZC_GUARDED_BY(mutex_);
    HostEventBus* bus_ ZC_GUARDED_BY(mutex_) = nullptr;
};

}  // namespace Kolm::Host
