#include "plugin/service_proxy.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace Kolm::Client {
namespace {

ServiceProxy::Response Answer(std::string uuid, std::string payload = "") {
    ServiceProxy::Response response;
    response.uuid = std::move(uuid);
    response.serviceName = "svc";
    response.methodName = "get";
    response.payload = std::move(payload);
    return response;
}

TEST(ServiceProxy, KeysWithoutPendingRequestKeepTheirQueues) {
    std::mutex mutex;
    ServiceProxy proxy(mutex);
    proxy.OnUuidEvent(Answer("a", "1"));
    proxy.OnUuidEvent(Answer("b"));
    proxy.OnUuidEvent(Answer("a", "2"));
    proxy.OnMethodEvent(Answer("c"));
    EXPECT_EQ(proxy.QueueKeys(), (std::vector<std::string>{"a", "b", "svc.get"}));
    EXPECT_EQ(proxy.QueuedCount("a"), 2u);

    std::vector<std::string> served;
    proxy.AddPendingRequest("b",
                            [&](const ServiceProxy::Response& r) { served.push_back(r.uuid); });
    EXPECT_EQ(served, std::vector<std::string>{"b"});
    EXPECT_EQ(proxy.QueueKeys(), (std::vector<std::string>{"a", "svc.get"}));
    EXPECT_FALSE(proxy.HasPendingRequest("b"));
}

TEST(ServiceProxy, AHandlerMayWaitAgainWithoutDeadlock) {
    std::mutex mutex;
    ServiceProxy proxy(mutex);
    std::vector<std::string> payloads;
    std::function<void(const ServiceProxy::Response&)> again =
        [&](const ServiceProxy::Response& response) {
            payloads.push_back(response.payload);
            if (payloads.size() < 3) {
                proxy.AddPendingRequest("a", again);
            }
        };
    proxy.AddPendingRequest("a", again);
    proxy.OnUuidEvent(Answer("a", "1"));
    proxy.OnUuidEvent(Answer("a", "2"));
    EXPECT_EQ(payloads, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(proxy.HasPendingRequest("a"));
}

TEST(ServiceProxy, AsyncAnswersGoToTheHandlerOfTheirMethodAndClearEmptiesAll) {
    std::mutex mutex;
    ServiceProxy proxy(mutex);
    std::vector<std::string> async;
    proxy.SetAsyncHandler("svc.get",
                          [&](const ServiceProxy::Response& r) { async.push_back(r.uuid); });
    proxy.OnAsyncEvent(Answer("x"));
    EXPECT_EQ(async, std::vector<std::string>{"x"});
    EXPECT_TRUE(proxy.QueueKeys().empty());

    proxy.OnUuidEvent(Answer("q"));
    proxy.AddPendingRequest("never", [](const ServiceProxy::Response&) {});
    {
        std::lock_guard guard(mutex);
        proxy.Clear();
    }
    EXPECT_TRUE(proxy.QueueKeys().empty());
    EXPECT_FALSE(proxy.HasPendingRequest("never"));
    proxy.OnAsyncEvent(Answer("y"));  // the handler is gone: only logged
    EXPECT_EQ(async.size(), 1u);
}

}  // namespace
}  // namespace Kolm::Client
