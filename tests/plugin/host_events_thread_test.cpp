// Several host threads at once publishing, subscribing, unsubscribing, observing and delivering
// events through the events test plugin's real entry (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/plugin/host_events_fixture.h"

namespace Kolm::Host {
namespace {

using HostEventsThreads = HostEventsFixture;

TEST_F(HostEventsThreads, ConcurrentSubscriptionsPublicationsAndDeliveriesStayConsistent) {
    auto login = plugins.Add("/zun-login");
    login->SetResource("/zun-login/v1/session", OwnedHostValue::Json(R"({"n":0})"));
    Command(R"({"action":"observe","uri":"/zun-login/v1/session"})");
    TakeObserved();

    constexpr int kRounds = 150;
    std::vector<std::thread> threads;
    // Subscribers: each thread counts its own URI up and down again, and observes a URI of its
    // own while events for it are being delivered.
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([this, t] {
            const std::string uri = "/zun-chat/v1/t" + std::to_string(t);
            for (int i = 0; i < kRounds; ++i) {
                Command(R"({"action":"subscribe","uri":")" + uri + R"("})");
                Command(R"({"action":"subscribe","uri":")" + uri + R"("})");
                Command(R"({"action":"unsubscribe","uri":")" + uri + R"("})");
                Command(R"({"action":"unsubscribe","uri":")" + uri + R"("})");
                if (i % 50 == 0) {
                    Command(R"({"action":"observe","uri":"/zun-clubs/v1/clubs/t)" +
                            std::to_string(t) + R"("})");
                }
            }
        });
    }
    // Publishers of another plugin's resource and of the plugin's own resources.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            login->Publish(ResourceEventType::Update, "/zun-login/v1/session",
                           OwnedHostValue::Json(R"({"n":1})"));
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            Command(R"({"action":"publish","type":1,"uri":"/zun-clubs/v1/clubs/x","data":[1]})");
            host->Host().DeliverEvent("OnServiceProxyUuidEvent",
                                      OwnedHostValue::Json(R"({"uuid":"u"})").Get());
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::vector<std::string> observed = TakeObserved();
    size_t sessions = 0;
    for (const std::string& event : observed) {
        sessions += event.find("/zun-login/v1/session") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(sessions, static_cast<size_t>(kRounds));
    for (const RecordedSubscription& s : host->Host().ActiveSubscriptions()) {
        EXPECT_EQ(s.name.find("zun-chat"), std::string::npos) << s.name;
    }
    EXPECT_EQ(Result(R"({"action":"queued","key":"u"})"),
              R"({"action":"queued","count":150,"failed":false,"message":"","status":0})");
}

}  // namespace
}  // namespace Kolm::Host
