#include "host/simulated/host_event_bus.h"

#include <algorithm>

namespace Kolm::Host {

namespace {

// The deliveries running on this thread, innermost first, chained through the stack frames of
// Deliver; lets a callback unsubscribe itself without waiting for its own delivery to end. Only
// a plain pointer is thread_local: the Windows toolchain destroys a thread_local object after it
// has released the object's storage, so none may need destroying.
struct DeliveryFrame {
    const void* subscription;
    const DeliveryFrame* outer;
};
constinit thread_local const DeliveryFrame* innermostDelivery = nullptr;

std::size_t DeliveriesOnThisThread(const void* subscription) {
    std::size_t count = 0;
    for (const DeliveryFrame* frame = innermostDelivery; frame != nullptr; frame = frame->outer) {
        count += frame->subscription == subscription ? 1 : 0;
    }
    return count;
}

}  // namespace

void HostEventBus::Subscribe(std::string_view eventName,
                             uint32_t clientWord,
                             HostEventCallback callback,
                             void* userData,
                             uint32_t kind) {
    auto subscription = std::make_shared<Subscription>();
    subscription->eventName = std::string(eventName);
    subscription->clientWord = clientWord;
    subscription->callback = callback;
    subscription->userData = userData;
    subscription->kind = kind;
    std::unique_lock lock(mutex_);
    subscription->order = nextOrder_++;
    auto& slot = subscriptions_[Key(subscription->eventName, clientWord)];
    std::shared_ptr<Subscription> replaced = std::move(slot);
    slot = std::move(subscription);
    if (replaced) {
        replaced->active = false;
        WaitForDeliveries(lock, replaced.get());
    }
}

bool HostEventBus::Unsubscribe(std::string_view eventName, uint32_t clientWord) {
    std::unique_lock lock(mutex_);
    auto found = subscriptions_.find(Key(std::string(eventName), clientWord));
    if (found == subscriptions_.end()) {
        return false;
    }
    std::shared_ptr<Subscription> removed = std::move(found->second);
    subscriptions_.erase(found);
    removed->active = false;
    WaitForDeliveries(lock, removed.get());
    return true;
}

void HostEventBus::WaitForDeliveries(std::unique_lock<std::mutex>& lock,
                                     const Subscription* subscription) {
    const std::size_t own = DeliveriesOnThisThread(subscription);
    deliveryDone_.wait(lock, [&] { return subscription->inFlight <= own; });
}

std::size_t HostEventBus::Publish(std::string_view eventName, const HostValue& payload) {
    std::vector<std::shared_ptr<Subscription>> targets;
    std::vector<std::shared_ptr<Listener>> listeners;
    {
        std::lock_guard lock(mutex_);
        std::string name(eventName);
        for (auto it = subscriptions_.lower_bound(Key(name, 0));
             it != subscriptions_.end() && it->first.first == name; ++it) {
            it->second->inFlight++;
            targets.push_back(it->second);
        }
        for (const auto& [id, entry] : listeners_) {
            if (entry.eventName.empty() || entry.eventName == name) {
                listeners.push_back(entry.listener);
            }
        }
    }
    std::sort(targets.begin(), targets.end(),
              [](const auto& a, const auto& b) { return a->order < b->order; });

    const std::string name(eventName);
    HostEventDelivery event{};
    event.eventName = name.c_str();
    event.payload = payload;
    event.reserved = 0;
    std::size_t reached = 0;
    for (const auto& subscription : targets) {
        bool active = false;
        {
            std::lock_guard lock(mutex_);
            active = subscription->active;
        }
        if (active) {
            Deliver(subscription, event);
            ++reached;
        }
        std::lock_guard lock(mutex_);
        subscription->inFlight--;
        deliveryDone_.notify_all();
    }
    for (const auto& listener : listeners) {
        (*listener)(eventName, payload);
    }
    return reached;
}

void HostEventBus::Deliver(const std::shared_ptr<Subscription>& subscription,
                           const HostEventDelivery& event) {
    HostEventDelivery delivery = event;
    delivery.userData = subscription->userData;
    const DeliveryFrame frame{subscription.get(), innermostDelivery};
    innermostDelivery = &frame;
    subscription->callback(&delivery);
    innermostDelivery = frame.outer;
}

HostEventBus::ListenerId HostEventBus::Listen(std::string_view eventName, Listener listener) {
    std::lock_guard lock(mutex_);
    ListenerId id = nextListener_++;
    listeners_[id] =
        ListenerEntry{std::string(eventName), std::make_shared<Listener>(std::move(listener))};
    return id;
}

void HostEventBus::StopListening(ListenerId id) {
    std::lock_guard lock(mutex_);
    listeners_.erase(id);
}

bool HostEventBus::IsSubscribed(std::string_view eventName, uint32_t clientWord) const {
    std::lock_guard lock(mutex_);
    return subscriptions_.count(Key(std::string(eventName), clientWord)) != 0;
}

std::size_t HostEventBus::SubscriberCount(std::string_view eventName) const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [key, subscription] : subscriptions_) {
        count += key.first == eventName ? 1 : 0;
    }
    return count;
}

int64_t HostEventBus::SubscriptionKind(std::string_view eventName, uint32_t clientWord) const {
    std::lock_guard lock(mutex_);
    auto found = subscriptions_.find(Key(std::string(eventName), clientWord));
    return found == subscriptions_.end() ? -1 : static_cast<int64_t>(found->second->kind);
}

std::vector<std::string> HostEventBus::SubscribedNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& [key, subscription] : subscriptions_) {
        names.push_back(key.first);
    }
    return names;
}

}  // namespace Kolm::Host
