#include "plugin/plugin_connection.h"

#include "plugin/host_event_names.h"

namespace Kolm::Client {

PluginConnection::PluginConnection()
    : resourceTrampoline_(std::make_shared<HostEventHandler>(
          [this](const HostEventDelivery& event) { DispatchResource(event); })) {}

PluginConnection::~PluginConnection() = default;

void PluginConnection::Subscribe(const std::string& uri) {
    SubscribeHostEventCounted(HostEventNameOfUri(uri), resourceTrampoline_,
                              HOST_EVENT_KIND_RESOURCE);
}

void PluginConnection::Unsubscribe(const std::string& uri) {
    UnsubscribeHostEventCounted(HostEventNameOfUri(uri));
}

void PluginConnection::SubscribeHostEventCounted(const std::string& eventName,
                                                 std::shared_ptr<HostEventHandler> handler,
                                                 std::uint32_t kind) {
    {
        std::lock_guard guard(subscriptionMutex_);
        if (++subscriptionCounts_[eventName] != 1) {
            return;
        }
        hostEventHandlers_[eventName] = std::move(handler);
    }
    SubscribeHostEvent(eventName.c_str(), clientWord, &PluginConnection::OnHostEvent, this, kind);
}

void PluginConnection::UnsubscribeHostEventCounted(const std::string& eventName) {
    {
        std::lock_guard guard(subscriptionMutex_);
        const auto count = subscriptionCounts_.find(eventName);
        if (count == subscriptionCounts_.end()) {
            return;
        }
        if (--count->second != 0) {
            return;
        }
        subscriptionCounts_.erase(count);
        hostEventHandlers_.erase(eventName);
    }
    UnsubscribeHostEvent(eventName.c_str(), clientWord);
}

int PluginConnection::SubscriptionCount(const std::string& eventName) const {
    std::lock_guard guard(subscriptionMutex_);
    const auto count = subscriptionCounts_.find(eventName);
    return count == subscriptionCounts_.end() ? 0 : count->second;
}

std::vector<std::string> PluginConnection::SubscribedHostEvents() const {
    std::lock_guard guard(subscriptionMutex_);
    std::vector<std::string> names;
    for (const auto& entry : hostEventHandlers_) {
        names.push_back(entry.first);
    }
    return names;
}

void PluginConnection::SetResourceDispatcher(std::shared_ptr<HostEventHandler> dispatcher) {
    std::lock_guard guard(subscriptionMutex_);
    resourceDispatcher_ = std::move(dispatcher);
}

void PluginConnection::Shutdown() {
    std::vector<std::string> names;
    {
        std::lock_guard guard(subscriptionMutex_);
        for (const auto& entry : hostEventHandlers_) {
            names.push_back(entry.first);
        }
        hostEventHandlers_.clear();
        subscriptionCounts_.clear();
    }
    for (const std::string& name : names) {
        UnsubscribeHostEvent(name.c_str(), clientWord);
    }
    {
        std::lock_guard guard(serviceProxyMutex);
        if (serviceProxy != nullptr) {
            serviceProxy->Clear();
        }
    }
    resourceObservers.Clear();
}

std::shared_ptr<HostEventHandler> PluginConnection::HandlerFor(const char* eventName) const {
    std::lock_guard guard(subscriptionMutex_);
    const auto found = hostEventHandlers_.find(eventName);
    return found == hostEventHandlers_.end() ? nullptr : found->second;
}

void PluginConnection::DispatchResource(const HostEventDelivery& event) const {
    std::shared_ptr<HostEventHandler> dispatcher;
    {
        std::lock_guard guard(subscriptionMutex_);
        dispatcher = resourceDispatcher_;
    }
    if (dispatcher != nullptr && *dispatcher) {
        (*dispatcher)(event);
    }
}

void ZC_HOST_CALL PluginConnection::OnHostEvent(const HostEventDelivery* event) {
    if (event == nullptr || event->userData == nullptr || event->eventName == nullptr) {
        return;
    }
    const auto* connection = static_cast<const PluginConnection*>(event->userData);
    const std::shared_ptr<HostEventHandler> handler = connection->HandlerFor(event->eventName);
    if (handler == nullptr || !*handler) {
        return;  // not (or no longer) subscribed
    }
    try {
        (*handler)(*event);
    } catch (...) {
        // Nothing may unwind into the host; a handler that throws loses its one event.
    }
}

}  // namespace Kolm::Client
