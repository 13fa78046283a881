// HostEventBus: the host's routing of events by name. Plugins subscribe through
// SubscribeHostEvent and send through SendEvent; the bus hands each event to every subscriber
// of its name, with that subscriber's user data, and to host-side listeners (tests, simulated
// plugins, the runnable host's console).
//
// Thread rules: every operation may be called from any thread at the same time. Delivery runs on
// the publishing thread without any lock of the bus held, so a callback may subscribe,
// unsubscribe or publish again. Once Unsubscribe has returned, that subscription's callback is
// not running on another thread and will not be called again (a callback that unsubscribes
// itself just returns from Unsubscribe); the same holds for StopListening and its listener, so
// that what a listener uses may be destroyed right after it. Two callbacks that, on two
// threads, each stop the other while both are running wait for each other forever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mutex.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

class HostEventBus {
  public:
    // Sees every published event of one name (or of all names); `payload` is valid during the
    // call only.
    using Listener = std::function<void(std::string_view eventName, const HostValue& payload)>;
    using ListenerId = uint64_t;

    HostEventBus() = default;
    HostEventBus(const HostEventBus&) = delete;
    HostEventBus& operator=(const HostEventBus&) = delete;

    // A second subscription of the same name and client word replaces the first.
    void Subscribe(std::string_view eventName,
                   uint32_t clientWord,
                   HostEventCallback callback,
                   void* userData,
                   uint32_t kind);
    // Returns false when there was no such subscription.
    bool Unsubscribe(std::string_view eventName, uint32_t clientWord);

    // Delivers `payload` (owned by the caller) to the name's subscribers, in the order they
    // subscribed, then to its listeners; returns the number of plugin subscribers reached.
    std::size_t Publish(std::string_view eventName, const HostValue& payload);

    // An empty name listens to every event.
    ListenerId Listen(std::string_view eventName, Listener listener);
    void StopListening(ListenerId id);

    bool IsSubscribed(std::string_view eventName, uint32_t clientWord) const;
    // Subscriptions of that name, all client words.
    std::size_t SubscriberCount(std::string_view eventName) const;
    // The kind given at subscription, or -1 when not subscribed.
    int64_t SubscriptionKind(std::string_view eventName, uint32_t clientWord) const;
    // Every subscribed name with one entry per subscription, in name order.
    std::vector<std::string> SubscribedNames() const;

  private:
    struct Subscription {
        std::string eventName;
        uint32_t clientWord = 0;
        HostEventCallback callback = nullptr;
        void* userData = nullptr;
        uint32_t kind = 0;
        uint64_t order = 0;
        // Guarded by the bus's mutex_: a comment, as an annotation in a nested record cannot
        // name a member of the bus.
        bool active = true;
        std::size_t inFlight = 0;  // deliveries begun but not finished
    };
    struct ListenerEntry {
        std::string eventName;
        Listener listener;
        // Guarded by the bus's mutex_, as in Subscription.
        bool active = true;
        std::size_t inFlight = 0;
    };
    using Key = std::pair<std::string, uint32_t>;

    // Waits until the deliveries counted in `inFlight` (of the subscription or listener `target`)
    // have ended, except those running on this thread, which are its callers.
    void WaitForDeliveries(const void* target, const std::size_t& inFlight) ZC_REQUIRES(mutex_);

    mutable Platform::Mutex mutex_;
    Platform::CondVar deliveryDone_;
    std::map<Key, std::shared_ptr<Subscription>> subscriptions_ ZC_GUARDED_BY(mutex_);
    std::map<ListenerId, std::shared_ptr<ListenerEntry>> listeners_ ZC_GUARDED_BY(mutex_);
    uint64_t nextOrder_ ZC_GUARDED_BY(mutex_) = 0;
    ListenerId nextListener_ ZC_GUARDED_BY(mutex_) = 1;
};

}  // namespace Kolm::Host
