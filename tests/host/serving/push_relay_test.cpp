// PushRelay in-process: while a delivery is slow (the plugin re-reading a club, say), newer
// messages about the same resource replace the one that waits, so a steady stream of actions
// does not grow the queue.
#include "host/serving/push_relay.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_plugins.h"

namespace Kolm::Host {
namespace {

// Holds the relay inside its first delivery until released.
class HeldDelivery {
  public:
    explicit HeldDelivery(HostEventBus& bus) : bus_(bus) {
        listener_ = bus_.Listen("", [this](std::string_view, const HostValue&) {
            std::unique_lock lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        });
    }
    ~HeldDelivery() {
        Release();
        bus_.StopListening(listener_);
    }
    void WaitEntered() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return entered_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    HostEventBus& bus_;
    HostEventBus::ListenerId listener_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool released_ = false;
};

using Delivery = SimulatedMessagingService::Delivery;

std::vector<std::string> Described(const std::vector<Delivery>& deliveries) {
    std::vector<std::string> described;
    for (const Delivery& delivery : deliveries) {
        described.push_back(delivery.resource + " " + delivery.payload);
    }
    return described;
}

TEST(PushRelay, AWaitingMessageIsReplacedByANewerOneAboutTheSameResource) {
    HostEventBus bus;
    SimulatedPlugins plugins(bus);
    auto messaging = std::make_shared<SimulatedMessagingService>();
    plugins.Add(messaging);
    PushRelay relay(*messaging);
    HeldDelivery held(bus);

    relay.Push("clubs/v1/clubs/club-1", "motd 0");
    held.WaitEntered();
    for (int i = 1; i <= 5000; ++i) {
        relay.Push("clubs/v1/clubs/club-1", "motd " + std::to_string(i));
        relay.Push("clubs/v1/memberships/1001", "membership " + std::to_string(i));
    }
    relay.Push("clubs/v1/clubs/club-2", "other");
    relay.Push("clubs/v1/clubs/club-1", "motd last");
    EXPECT_EQ(relay.Waiting(), 3u);
    held.Release();
    relay.Drain();

    EXPECT_EQ(Described(messaging->Deliveries()),
              (std::vector<std::string>{
                  "clubs/v1/clubs/club-1 motd 0", "clubs/v1/clubs/club-1 motd last",
                  "clubs/v1/memberships/1001 membership 5000", "clubs/v1/clubs/club-2 other"}));
    EXPECT_EQ(relay.Waiting(), 0u);
    relay.Push("clubs/v1/clubs/club-1", "after");
    relay.Drain();
    EXPECT_EQ(messaging->Deliveries().back().payload, "after");
}

}  // namespace
}  // namespace Kolm::Host
