// A plugin built only for the tests of resource events, remote calls and service-proxy events:
// its own shared library with its own load_zun_clubs. At Start it observes a driver resource;
// every Update of that resource is one command, run on the delivering host thread, whose outcome
// the plugin publishes as a resource of its own. The tests thus reach every path through the
// real entry and the host table only.
//
// Commands (the driver resource's data): {"action": A, ...}
//   "call", "callVoid": method, uri, optional value -> RemoteCall (typed as a value, or void)
//   "callTyped": method, uri -> RemoteCall<PluginManagerResource>
//   "observe", "observeTyped": uri -> ObserveResource<BindingProperty / PluginManagerResource>
//   "subscribe", "unsubscribe": uri
//   "publish": type, uri, data -> PublishResourceEvent
//   "queued": key -> the number of service-proxy answers queued under key
//   "await": key -> a pending service-proxy request; its answer is reported as "fulfilled"
// Outcomes go to "/zun-events-test/v1/results", observed events to "/zun-events-test/v1/observed".
#include <memory>
#include <string>

#include "binding/binding_conversion.h"
#include "plugin/host_events_setup.h"
#include "plugin/host_types.h"
#include "plugin/plugin_base.h"
#include "plugin/remote_call.h"
#include "plugin/resource_events.h"
#include "plugin/service_proxy.h"

namespace Kolm::Client {
namespace {

constexpr const char* kCommandsUri = "/zun-events-driver/v1/commands";
constexpr const char* kResultsUri = "/zun-events-test/v1/results";
constexpr const char* kObservedUri = "/zun-events-test/v1/observed";

class EventsTestPlugin final : public PluginBase {
  public:
    bool Start() override {
        ObserveResource<BindingProperty>(
            *this, kCommandsUri,
            [this](const ResourceEvent<BindingProperty>& event) { Run(event.data); });
        return true;
    }

  private:
    void Run(const BindingProperty& command) {
        const std::string action(command.Find("action").GetString());
        const std::string uri(command.Find("uri").GetString());
        const auto method = static_cast<HttpMethod>(Number(command.Find("method"), 2));
        if (action == "call") {
            RemoteResult<BindingProperty> result =
                command.Contains("value")
                    ? RemoteCall<BindingProperty>(*this, method, uri, command.Find("value"))
                    : RemoteCall<BindingProperty>(*this, method, uri);
            BindingProperty outcome = Outcome(action, result.failed, result.status, result.message);
            outcome["value"] = result.value;
            Report(outcome);
        } else if (action == "callVoid") {
            RemoteResult<> result = RemoteCall(*this, method, uri);
            Report(Outcome(action, result.failed, result.status, result.message));
        } else if (action == "callTyped") {
            RemoteResult<PluginManagerResource> result =
                RemoteCall<PluginManagerResource>(*this, method, uri);
            BindingProperty outcome = Outcome(action, result.failed, result.status, result.message);
            outcome["state"] = static_cast<std::int32_t>(result.value.state);
            Report(outcome);
        } else if (action == "observe") {
            ObserveResource<BindingProperty>(*this, uri,
                                             [this](const ResourceEvent<BindingProperty>& event) {
                                                 Observed(event, event.data);
                                             });
        } else if (action == "observeTyped") {
            ObserveResource<PluginManagerResource>(
                *this, uri, [this](const ResourceEvent<PluginManagerResource>& event) {
                    Observed(event, BindingProperty(static_cast<std::int32_t>(event.data.state)));
                });
        } else if (action == "subscribe") {
            Subscribe(uri);
        } else if (action == "unsubscribe") {
            Unsubscribe(uri);
        } else if (action == "publish") {
            const auto type = static_cast<PluginResourceEventType>(Number(command.Find("type"), 1));
            PublishResourceEvent(*this, type, uri, command.Find("data"));
        } else if (action == "await") {
            if (ServiceProxy* proxy = ServiceProxyOf(*this)) {
                proxy->AddPendingRequest(std::string(command.Find("key").GetString()),
                                         [this](const ServiceProxy::Response& response) {
                                             BindingProperty outcome =
                                                 Outcome("fulfilled", false, 0, response.payload);
                                             outcome["uuid"] = response.uuid;
                                             Report(outcome);
                                         });
            }
        } else if (action == "queued") {
            ServiceProxy* proxy = ServiceProxyOf(*this);
            const std::string key(command.Find("key").GetString());
            BindingProperty outcome = Outcome(action, proxy == nullptr, 0, "");
            outcome["count"] = static_cast<std::uint64_t>(proxy ? proxy->QueuedCount(key) : 0);
            Report(outcome);
        }
    }

    // JSON numbers arrive as signed or unsigned values, depending on the host's reader.
    static std::int64_t Number(const BindingProperty& value, std::int64_t fallback) {
        if (value.IsUnsigned()) {
            return static_cast<std::int64_t>(value.GetUnsigned());
        }
        return value.GetSigned(fallback);
    }

    static BindingProperty Outcome(const std::string& action,
                                   bool failed,
                                   std::int32_t status,
                                   const std::string& message) {
        BindingProperty outcome;
        outcome["action"] = action;
        outcome["failed"] = failed;
        outcome["status"] = status;
        outcome["message"] = message;
        return outcome;
    }

    template <class T>
    void Observed(const ResourceEvent<T>& event, const BindingProperty& data) {
        BindingProperty seen;
        seen["uri"] = event.uri;
        seen["eventType"] = static_cast<std::int32_t>(event.eventType);
        seen["data"] = data;
        PublishResourceEvent(*this, PluginResourceEventType::Update, kObservedUri, seen);
    }

    void Report(const BindingProperty& outcome) {
        PublishResourceEvent(*this, PluginResourceEventType::Update, kResultsUri, outcome);
    }
};

}  // namespace
}  // namespace Kolm::Client

extern "C" __attribute__((visibility("default"))) void load_zun_clubs(PluginLoadRecord* record) {
    Kolm::Client::LoadPlugin<Kolm::Client::EventsTestPlugin>(record, "zun-events-test", "backend");
}
