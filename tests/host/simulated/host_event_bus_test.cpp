#include "host/simulated/host_event_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {
namespace {

struct Received {
    std::string name;
    std::string payload;
    void* userData;
};

struct Subscriber {
    std::vector<Received> events;
    HostEventBus* bus = nullptr;
    std::function<void(Subscriber&)> onEvent;

    static void ZC_HOST_CALL Callback(const HostEventDelivery* event) {
        auto* self = static_cast<Subscriber*>(event->userData);
        self->events.push_back(
            {event->eventName, HostValueToJson(event->payload), event->userData});
        if (self->onEvent) {
            self->onEvent(*self);
        }
    }
};

TEST(HostEventBus, DeliversToEverySubscriberOfTheNameWithItsUserData) {
    HostEventBus bus;
    Subscriber first, second, other;
    bus.Subscribe("OnA", 1, &Subscriber::Callback, &first, HOST_EVENT_KIND_RESOURCE);
    bus.Subscribe("OnA", 2, &Subscriber::Callback, &second, HOST_EVENT_KIND_SERVICE_PROXY);
    bus.Subscribe("OnB", 1, &Subscriber::Callback, &other, HOST_EVENT_KIND_RESOURCE);

    OwnedHostValue payload = OwnedHostValue::Json(R"({"x":[1,"two",true]})");
    EXPECT_EQ(bus.Publish("OnA", payload.Get()), 2u);

    ASSERT_EQ(first.events.size(), 1u);
    EXPECT_EQ(first.events[0].name, "OnA");
    EXPECT_EQ(first.events[0].payload, R"({"x":[1,"two",true]})");
    EXPECT_EQ(first.events[0].userData, &first);
    ASSERT_EQ(second.events.size(), 1u);
    EXPECT_EQ(second.events[0].userData, &second);
    EXPECT_TRUE(other.events.empty());
    EXPECT_EQ(bus.SubscriptionKind("OnA", 2), HOST_EVENT_KIND_SERVICE_PROXY);
    EXPECT_EQ(bus.SubscriptionKind("OnA", 3), -1);
}

TEST(HostEventBus, UnsubscribeStopsDeliveryForThatClientOnly) {
    HostEventBus bus;
    Subscriber first, second;
    bus.Subscribe("OnA", 1, &Subscriber::Callback, &first, 0);
    bus.Subscribe("OnA", 2, &Subscriber::Callback, &second, 0);
    EXPECT_TRUE(bus.Unsubscribe("OnA", 1));
    EXPECT_FALSE(bus.Unsubscribe("OnA", 1));

    bus.Publish("OnA", OwnedHostValue::Signed(5).Get());
    EXPECT_TRUE(first.events.empty());
    EXPECT_EQ(second.events.size(), 1u);
    EXPECT_EQ(bus.SubscriberCount("OnA"), 1u);
}

TEST(HostEventBus, ACallbackMaySubscribeAndUnsubscribeItself) {
    HostEventBus bus;
    Subscriber subscriber, late;
    subscriber.onEvent = [&](Subscriber&) {
        bus.Subscribe("OnLate", 1, &Subscriber::Callback, &late, 0);
        bus.Unsubscribe("OnA", 1);
    };
    bus.Subscribe("OnA", 1, &Subscriber::Callback, &subscriber, 0);

    bus.Publish("OnA", OwnedHostValue::Null().Get());
    bus.Publish("OnA", OwnedHostValue::Null().Get());
    bus.Publish("OnLate", OwnedHostValue::Null().Get());

    EXPECT_EQ(subscriber.events.size(), 1u);
    EXPECT_EQ(late.events.size(), 1u);
}

TEST(HostEventBus, ACallbackMayUnsubscribeAnotherSubscriberOfTheSameEvent) {
    HostEventBus bus;
    Subscriber first, second;
    first.onEvent = [&](Subscriber&) { bus.Unsubscribe("OnA", 2); };
    bus.Subscribe("OnA", 1, &Subscriber::Callback, &first, 0);
    bus.Subscribe("OnA", 2, &Subscriber::Callback, &second, 0);

    EXPECT_EQ(bus.Publish("OnA", OwnedHostValue::Null().Get()), 1u);

    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_TRUE(second.events.empty());
    EXPECT_FALSE(bus.IsSubscribed("OnA", 2));
}

TEST(HostEventBus, AListenerMayStopItselfOrAnotherListenerOfTheSameEvent) {
    HostEventBus bus;
    std::vector<std::string> seen;
    HostEventBus::ListenerId self = 0;
    HostEventBus::ListenerId other = 0;
    self = bus.Listen("OnA", [&](std::string_view, const HostValue&) {
        seen.emplace_back("self");
        bus.StopListening(self);
        bus.StopListening(other);
    });
    other =
        bus.Listen("OnA", [&](std::string_view, const HostValue&) { seen.emplace_back("other"); });

    bus.Publish("OnA", OwnedHostValue::Null().Get());
    bus.Publish("OnA", OwnedHostValue::Null().Get());

    EXPECT_EQ(seen, std::vector<std::string>{"self"});
}

TEST(HostEventBus, ListenersSeeTheirNameOrEveryName) {
    HostEventBus bus;
    std::vector<std::string> named, all;
    bus.Listen("OnA", [&](std::string_view name, const HostValue&) { named.emplace_back(name); });
    HostEventBus::ListenerId id =
        bus.Listen("", [&](std::string_view name, const HostValue&) { all.emplace_back(name); });

    bus.Publish("OnA", OwnedHostValue::Null().Get());
    bus.Publish("OnB", OwnedHostValue::Null().Get());
    bus.StopListening(id);
    bus.Publish("OnC", OwnedHostValue::Null().Get());

    EXPECT_EQ(named, std::vector<std::string>{"OnA"});
    EXPECT_EQ(all, (std::vector<std::string>{"OnA", "OnB"}));
}

TEST(OwnedHostValue, RoundTripsJsonAndCopiesBorrowedTexts) {
    OwnedHostValue value = OwnedHostValue::Json(R"({"a":-1,"b":18446744073709551615,"c":1.5,)"
                                                R"("d":null,"e":{"f":"g"}})");
    EXPECT_EQ(value.ToJson(),
              R"({"a":-1,"b":18446744073709551615,"c":1.5,"d":null,"e":{"f":"g"}})");
    OwnedHostValue copy = value;
    EXPECT_EQ(copy.ToJson(), value.ToJson());
    EXPECT_FALSE(OwnedHostValue::FromJson("{nope").has_value());

    HostValue borrowed{};
    borrowed.kind = HOST_VALUE_KIND_BORROWED_STRING;
    borrowed.payload.string.text = "lent";
    OwnedHostValue owned = OwnedHostValue::Adopt(CopyHostValue(borrowed));
    const HostValue copied = owned.Get();
    const char* copiedText = copied.payload.string.text;
    const char* lentText = borrowed.payload.string.text;
    EXPECT_EQ(copied.kind, static_cast<uint32_t>(HOST_VALUE_KIND_STRING));
    EXPECT_NE(copiedText, lentText);
    EXPECT_EQ(OwnedHostValue::Blob({'h', 'i'}).ToJson(), R"("aGk=")");
}

}  // namespace
}  // namespace Kolm::Host
