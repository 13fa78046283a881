#include "host/simulated/host_event_bus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
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

// Polls `done` for a while; a thread that should be blocked gets that long to show it is not.
bool BecomesTrue(const std::atomic<bool>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!done && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done;
}

TEST(HostEventBusThreads, StopListeningWaitsForTheListenersDeliveryInFlight) {
    HostEventBus bus;
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> stopped{false};
    std::atomic<bool> ranAfterStop{false};
    const HostEventBus::ListenerId id = bus.Listen("OnA", [&](std::string_view, const HostValue&) {
        entered = true;
        while (!release) {
            std::this_thread::yield();
        }
        // What the listener touches now may already be destroyed if StopListening returned.
        ranAfterStop = stopped.load();
    });
    std::thread publisher([&] { bus.Publish("OnA", OwnedHostValue::Null().Get()); });
    while (!entered) {
        std::this_thread::yield();
    }
    std::thread stopper([&] {
        bus.StopListening(id);
        stopped = true;
    });
    EXPECT_FALSE(BecomesTrue(stopped)) << "StopListening returned while the listener ran";
    release = true;
    stopper.join();
    publisher.join();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(ranAfterStop);
}

// The event stream's shape: a listener uses an object that its owner destroys as soon as
// StopListening has returned, while other threads keep publishing. The objects are only marked
// destroyed (and kept), so that a late delivery is counted instead of touching freed memory.
TEST(HostEventBusThreads, NoListenerRunsAfterStopListeningReturned) {
    struct State {
        std::atomic<bool> destroyed{false};
        std::atomic<int> deliveries{0};
    };
    HostEventBus bus;
    std::atomic<bool> stop{false};
    std::atomic<int> late{0};
    std::vector<std::thread> publishers;
    for (int t = 0; t < 3; ++t) {
        publishers.emplace_back([&] {
            OwnedHostValue payload = OwnedHostValue::Json(R"({"n":1})");
            while (!stop) {
                bus.Publish("OnA", payload.Get());
            }
        });
    }
    std::vector<std::unique_ptr<State>> states;
    for (int round = 0; round < 300; ++round) {
        State& state = *states.emplace_back(std::make_unique<State>());
        const HostEventBus::ListenerId id =
            bus.Listen("OnA", [&state, &late](std::string_view, const HostValue&) {
                state.deliveries++;
                std::this_thread::yield();
                late += state.destroyed ? 1 : 0;
            });
        while (state.deliveries == 0) {
            std::this_thread::yield();
        }
        bus.StopListening(id);
        state.destroyed = true;
    }
    stop = true;
    for (std::thread& publisher : publishers) {
        publisher.join();
    }
    EXPECT_EQ(late.load(), 0);
}

}  // namespace
}  // namespace Kolm::Host
