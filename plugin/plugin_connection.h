// PluginConnection: the plugin's side of the connection to the host. It keeps the host-event
// subscriptions (reference-counted per event name), the resource observer tables and the
// service-proxy state, and declares the host operations that PluginBase routes to the host table.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/host_boundary.h"
#include "plugin/resource_observers.h"

namespace Kolm {
class BindingTypeRegistry;
}

namespace Kolm::Client {

struct PluginResourceEvent;

// Handles one event the host delivers for a subscribed name. Shared: a delivery in progress
// keeps its handler alive even if the subscription is dropped meanwhile.
using HostEventHandler = std::function<void(const HostEventDelivery& event)>;

// The service-proxy layer's tables (pending requests, async-event handlers, response queues);
// created by that layer, guarded by PluginConnection::serviceProxyMutex.
class ServiceProxyTables {
  public:
    virtual ~ServiceProxyTables() = default;
    virtual void Clear() = 0;
};

// Thread rules: the subscription tables are guarded by one mutex, which is never held while the
// host is called; Subscribe and Unsubscribe may come from several host threads, but calls for
// the same name reach the host in the order in which the counts changed only when they come
// from one thread. The observer tables have a lock of their own (ResourceObservers).
class PluginConnection {
  public:
    PluginConnection();
    PluginConnection(const PluginConnection&) = delete;
    PluginConnection& operator=(const PluginConnection&) = delete;

    // Slot 0: counts a subscription to the host event of `uri`; the first one subscribes it at
    // the host with the resource dispatcher as handler.
    virtual void Subscribe(const std::string& uri);
    // Slot 1: drops one; the last one unsubscribes the host event.
    virtual void Unsubscribe(const std::string& uri);
    // Slot 2.
    virtual ~PluginConnection();
    // Slot 3: unsubscribes every host event once, then empties every table.
    virtual void Shutdown();

    // Slots 4 to 12: the host table's entries 0 to 8. Without a host (before Init) they do
    // nothing and leave the out-records untouched.
    virtual void SendRemotingRequest(HostResponse* response, const HostRequest* request) = 0;
    virtual void SendHttpRequest(HostHttpResponse* response, const HostHttpRequest* request) = 0;
    virtual void SendEvent(const HostEventRecord* event) = 0;
    virtual void SubscribeHostEvent(const char* eventName,
                                    std::uint32_t clientWord,
                                    HostEventCallback callback,
                                    void* userData,
                                    std::uint32_t kind) = 0;
    virtual void UnsubscribeHostEvent(const char* eventName, std::uint32_t clientWord) = 0;
    virtual void HostReserved5(std::uint32_t first,
                               std::uint32_t second,
                               std::uint32_t third,
                               double number,
                               std::uint32_t fourth) = 0;
    virtual void HostYield() = 0;
    virtual void BeginWait(const char* label, std::uint32_t flags) = 0;
    virtual std::uint64_t EndWait() = 0;

    // Counts a subscription to a host event by its name; the first one stores `handler` and
    // subscribes at the host with `kind`. Later calls only count (their handler is dropped).
    void SubscribeHostEventCounted(const std::string& eventName,
                                   std::shared_ptr<HostEventHandler> handler,
                                   std::uint32_t kind);
    // Drops one count; at zero the host event is unsubscribed and its handler removed. Names
    // without a subscription are ignored.
    void UnsubscribeHostEventCounted(const std::string& eventName);
    // The number of current subscriptions of a host event name (0 when none).
    int SubscriptionCount(const std::string& eventName) const;
    // The names in the handler table, in table order.
    std::vector<std::string> SubscribedHostEvents() const;

    // What every resource subscription's handler calls; installed by the resource-event layer.
    // Until then resource events are ignored (no observer could want them).
    void SetResourceDispatcher(std::shared_ptr<HostEventHandler> dispatcher);

    std::uint32_t ClientWord() const { return clientWord; }
    const std::string& UserAgent() const { return userAgent; }

    // The callback given to the host for every subscription: `userData` is the connection.
    static void ZC_HOST_CALL OnHostEvent(const HostEventDelivery* event);

    // The plugin's registry of shared types, through which events and remote calls convert;
    // null while the plugin has none.
    virtual Kolm::BindingTypeRegistry* TypeRegistry() const { return nullptr; }

    // Observers by exact URI and by pattern (with "*"), guarded by their own lock.
    ResourceObservers resourceObservers;

  protected:
    // The host's client word and the user-agent text, set by Init.
    std::uint32_t clientWord = 0;
    std::string userAgent;

  public:
    // The service-proxy layer's state and the mutex that guards it.
    std::mutex serviceProxyMutex;
    std::unique_ptr<ServiceProxyTables> serviceProxy;

  private:
    std::shared_ptr<HostEventHandler> HandlerFor(const char* eventName) const;
    void DispatchResource(const HostEventDelivery& event) const;

    mutable std::mutex subscriptionMutex_;
    std::map<std::string, std::shared_ptr<HostEventHandler>> hostEventHandlers_;
    std::map<std::string, int> subscriptionCounts_;
    std::shared_ptr<HostEventHandler> resourceDispatcher_;
    std::shared_ptr<HostEventHandler> resourceTrampoline_;
};

}  // namespace Kolm::Client
