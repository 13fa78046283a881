#include "host/simulated/host_event_bus.h"

#include <algorithm>

namespace Kolm::Host {

namespace {

// The deliveries running on this thread, innermost first, chained through the stack frames of
// Delivery; lets a callback unsubscribe itself (or a listener stop listening) without waiting
// for its own delivery to end. Only a plain pointer is thread_local: the Windows toolchain
// destroys a thread_local object after it has released the object's storage, so none may need
// destroying.
struct DeliveryFrame {
    const void* target;
    const DeliveryFrame* outer;
};
constinit thread_local const DeliveryFrame* innermostDelivery = nullptr;

std::size_t DeliveriesOnThisThread(const void* target) {
    std::size_t count = 0;
    for (const DeliveryFrame* frame = innermostDelivery; frame != nullptr; frame = frame->outer) {
        count += frame->target == target ? 1 : 0;
    }
    return count;
}

// One delivery to a subscription or a listener (`Target` has `active` and `inFlight`, guarded
// by `mutex`). It begins only while the target is active and is counted in `inFlight` from
// that check, under the lock, to its end however the callback returns: Unsubscribe and
// StopListening, which clear `active` under the same lock, then wait for exactly the
// deliveries that began. A target taken by a Publish but not reached yet is not waited for (it
// will find itself inactive), so a callback may also remove another target of the same event.
template <typename Target>
class Delivery {
  public:
    Delivery(Platform::Mutex& mutex, Platform::CondVar& done, Target& target)
        : mutex_(mutex), done_(done), target_(target), frame_{&target, innermostDelivery} {
        const Platform::MutexLock lock(mutex_);
        begun_ = target_.active;
        if (begun_) {
            target_.inFlight++;
            innermostDelivery = &frame_;
        }
    }
    ~Delivery() {
        if (!begun_) {
            return;
        }
        innermostDelivery = frame_.outer;
        const Platform::MutexLock lock(mutex_);
        target_.inFlight--;
        done_.NotifyAll();
    }
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

    bool Begun() const { return begun_; }

  private:
    Platform::Mutex& mutex_;
    Platform::CondVar& done_;
    Target& target_;
    const DeliveryFrame frame_;
    bool begun_ = false;
};

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
    const Platform::MutexLock lock(mutex_);
    subscription->order = nextOrder_++;
    auto& slot = subscriptions_[Key(subscription->eventName, clientWord)];
    std::shared_ptr<Subscription> replaced = std::move(slot);
    slot = std::move(subscription);
    if (replaced) {
        replaced->active = false;
        WaitForDeliveries(replaced.get(), replaced->inFlight);
    }
}

bool HostEventBus::Unsubscribe(std::string_view eventName, uint32_t clientWord) {
    const Platform::MutexLock lock(mutex_);
    auto found = subscriptions_.find(Key(std::string(eventName), clientWord));
    if (found == subscriptions_.end()) {
        return false;
    }
    std::shared_ptr<Subscription> removed = std::move(found->second);
    subscriptions_.erase(found);
    removed->active = false;
    WaitForDeliveries(removed.get(), removed->inFlight);
    return true;
}

void HostEventBus::WaitForDeliveries(const void* target, const std::size_t& inFlight) {
    const std::size_t own = DeliveriesOnThisThread(target);
    while (inFlight > own) {
        deliveryDone_.Wait(mutex_);
    }
}

std::size_t HostEventBus::Publish(std::string_view eventName, const HostValue& payload) {
    std::vector<std::shared_ptr<Subscription>> targets;
    std::vector<std::shared_ptr<ListenerEntry>> listeners;
    {
        const Platform::MutexLock lock(mutex_);
        std::string name(eventName);
        for (auto it = subscriptions_.lower_bound(Key(name, 0));
             it != subscriptions_.end() && it->first.first == name; ++it) {
            targets.push_back(it->second);
        }
        for (const auto& [id, entry] : listeners_) {
            if (entry->eventName.empty() || entry->eventName == name) {
                listeners.push_back(entry);
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
        const Delivery delivery(mutex_, deliveryDone_, *subscription);
        if (delivery.Begun()) {
            HostEventDelivery record = event;
            record.userData = subscription->userData;
            subscription->callback(&record);
            ++reached;
        }
    }
    for (const auto& entry : listeners) {
        const Delivery delivery(mutex_, deliveryDone_, *entry);
        if (delivery.Begun()) {
            entry->listener(eventName, payload);
        }
    }
    return reached;
}

HostEventBus::ListenerId HostEventBus::Listen(std::string_view eventName, Listener listener) {
    const Platform::MutexLock lock(mutex_);
    ListenerId id = nextListener_++;
    auto entry = std::make_shared<ListenerEntry>();
    entry->eventName = std::string(eventName);
    entry->listener = std::move(listener);
    listeners_[id] = std::move(entry);
    return id;
}

void HostEventBus::StopListening(ListenerId id) {
    const Platform::MutexLock lock(mutex_);
    auto found = listeners_.find(id);
    if (found == listeners_.end()) {
        return;
    }
    std::shared_ptr<ListenerEntry> removed = std::move(found->second);
    listeners_.erase(found);
    removed->active = false;
    WaitForDeliveries(removed.get(), removed->inFlight);
}

bool HostEventBus::IsSubscribed(std::string_view eventName, uint32_t clientWord) const {
    const Platform::MutexLock lock(mutex_);
    return subscriptions_.count(Key(std::string(eventName), clientWord)) != 0;
}

std::size_t HostEventBus::SubscriberCount(std::string_view eventName) const {
    const Platform::MutexLock lock(mutex_);
    std::size_t count = 0;
    for (const auto& [key, subscription] : subscriptions_) {
        count += key.first == eventName ? 1 : 0;
    }
    return count;
}

int64_t HostEventBus::SubscriptionKind(std::string_view eventName, uint32_t clientWord) const {
    const Platform::MutexLock lock(mutex_);
    auto found = subscriptions_.find(Key(std::string(eventName), clientWord));
    return found == subscriptions_.end() ? -1 : static_cast<int64_t>(found->second->kind);
}

std::vector<std::string> HostEventBus::SubscribedNames() const {
    const Platform::MutexLock lock(mutex_);
    std::vector<std::string> names;
    for (const auto& [key, subscription] : subscriptions_) {
        names.push_back(key.first);
    }
    return names;
}

}  // namespace Kolm::Host
