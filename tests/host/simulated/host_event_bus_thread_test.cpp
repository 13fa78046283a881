#include "host/simulated/host_event_bus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {
namespace {

struct Counter {
    std::atomic<int> deliveries{0};
    std::atomic<bool> gone{false};
    std::atomic<int> afterUnsubscribe{0};

    static void ZC_HOST_CALL Callback(const HostEventDelivery* event) {
        auto* self = static_cast<Counter*>(event->userData);
        self->deliveries++;
        if (self->gone) {
            self->afterUnsubscribe++;
        }
    }
};

TEST(HostEventBusThreads, NoCallbackRunsAfterUnsubscribeReturned) {
    HostEventBus bus;
    constexpr int kSubscribers = 8;
    std::vector<Counter> counters(kSubscribers);
    for (int i = 0; i < kSubscribers; ++i) {
        bus.Subscribe("OnA", i, &Counter::Callback, &counters[i], 0);
    }
    std::atomic<bool> stop{false};
    std::vector<std::thread> publishers;
    for (int t = 0; t < 3; ++t) {
        publishers.emplace_back([&] {
            OwnedHostValue payload = OwnedHostValue::Json(R"({"n":1})");
            while (!stop) {
                bus.Publish("OnA", payload.Get());
            }
        });
    }
    std::thread churn([&] {
        for (int round = 0; round < 200; ++round) {
            bus.Subscribe("OnB", 99, &Counter::Callback, &counters[0], 1);
            bus.Unsubscribe("OnB", 99);
        }
    });
    for (int i = 0; i < kSubscribers; ++i) {
        std::this_thread::yield();
        bus.Unsubscribe("OnA", i);
        counters[i].gone = true;
    }
    churn.join();
    stop = true;
    for (std::thread& publisher : publishers) {
        publisher.join();
    }
    for (const Counter& counter : counters) {
        EXPECT_EQ(counter.afterUnsubscribe.load(), 0);
    }
    EXPECT_EQ(bus.SubscriberCount("OnA"), 0u);
    EXPECT_EQ(bus.SubscriberCount("OnB"), 0u);
}

}  // namespace
}  // namespace Kolm::Host
