// The simulated chat plugin and messaging service as another plugin reaches them, through a
// SimulatedPlugins registry on an event bus, and the bridge from the clubs web service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/simulated/clubs_push_bridge.h"
#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_chat.h"
#include "host/simulated/simulated_messaging_service.h"
#include "host/simulated/simulated_plugins.h"

namespace Kolm::Host {
namespace {

SimulatedRequest Request(uint32_t method, const std::string& path) {
    SimulatedRequest request;
    request.method = method;
    request.uri = request.path = path;
    return request;
}

TEST(SimulatedChatTest, AnswersBlockedPlayersOneByOneAndBlocksThroughAPost) {
    SimulatedChat chat;
    chat.Block(3004, "Zed");
    EXPECT_EQ(
        chat.Answer(Request(HOST_METHOD_GET, "/zun-chat/v1/blocked-players/3004")).value.ToJson(),
        R"({"id":3004,"name":"Zed"})");
    const SimulatedAnswer unknown =
        chat.Answer(Request(HOST_METHOD_GET, "/zun-chat/v1/blocked-players/3002"));
    EXPECT_TRUE(unknown.hasError);
    EXPECT_EQ(unknown.status, 404u);
    EXPECT_EQ(unknown.errorText.value_or(""), "Player 3002 is not blocked");

    SimulatedRequest post = Request(HOST_METHOD_POST, SimulatedChat::kBlockedPlayersPath);
    post.arguments.push_back({std::nullopt, OwnedHostValue::Json(R"({"id":3002,"name":"Bobby"})")});
    EXPECT_FALSE(chat.Answer(post).hasError);
    EXPECT_EQ(chat.BlockedPlayers(),
              (std::vector<SimulatedChat::BlockedPlayer>{{3002, "Bobby"}, {3004, "Zed"}}));
    EXPECT_EQ(chat.PostedBlocks(), (std::vector<SimulatedChat::BlockedPlayer>{{3002, "Bobby"}}));
    EXPECT_EQ(chat.Queries(), (std::vector<uint64_t>{3004, 3002}));

    chat.FailQueries(500, "chat down");
    const SimulatedAnswer failed =
        chat.Answer(Request(HOST_METHOD_GET, "/zun-chat/v1/blocked-players/3004"));
    EXPECT_EQ(failed.errorText.value_or(""), "chat down");
}

TEST(SimulatedMessagingServiceTest, PublishesOnTheTopicAndKeepsTheLastMessageForReads) {
    HostEventBus bus;
    SimulatedPlugins plugins(bus);
    auto messaging = std::make_shared<SimulatedMessagingService>();
    plugins.Add(messaging);
    std::vector<std::string> seen;
    bus.Listen("OnJsonApiEvent", [&](std::string_view, const HostValue& payload) {
        seen.push_back(HostValueToJson(payload));
    });

    const SimulatedAnswer before = messaging->Answer(
        Request(HOST_METHOD_GET, SimulatedMessagingService::TopicOf("clubs/v1/clubs/k")));
    EXPECT_TRUE(before.hasError);
    messaging->Deliver("clubs/v1/clubs/k", "{}");
    ASSERT_EQ(seen.size(), 1u);
    const std::string message =
        R"({"resource":"clubs/v1/clubs/k","service":"clubs","version":"v1","timestamp":1,"payload":"{}"})";
    EXPECT_NE(seen[0].find(message), std::string::npos) << seen[0];
    EXPECT_NE(seen[0].find(R"("uri":"/kolm-messaging-service/v1/message/clubs/v1/clubs/k")"),
              std::string::npos);
    const SimulatedAnswer after = messaging->Answer(
        Request(HOST_METHOD_GET, SimulatedMessagingService::TopicOf("clubs/v1/clubs/k")));
    EXPECT_EQ(after.value.ToJson(), message);
    EXPECT_EQ(messaging->TopicReads("clubs/v1/clubs/k"), 2u);

    messaging->SetRecordLimit(1);
    messaging->Deliver("clubs/v1/clubs/j", "");
    ASSERT_EQ(messaging->Deliveries().size(), 1u);
    EXPECT_EQ(messaging->Deliveries()[0].resource, "clubs/v1/clubs/j");
}

TEST(ClubsPushBridgeTest, ForwardsEveryChangeOfTheWebServiceUntilDestroyed) {
    ClubsWebService service;
    ASSERT_TRUE(service.AddPlayer({"EUW1", 2001, 3001, "token"}));
    SimulatedMessagingService messaging;
    {
        ClubsPushBridge bridge(service, messaging);
        service.HandleAs(2001, "POST", "/v1/clubs?clubName=Alpha");
    }
    std::vector<std::string> resources;
    for (const SimulatedMessagingService::Delivery& delivery : messaging.Deliveries()) {
        resources.push_back(delivery.resource);
    }
    EXPECT_EQ(resources,
              (std::vector<std::string>{"clubs/v1/clubs/club-1", "clubs/v1/membership/EUW1/2001"}));
    service.HandleAs(2001, "POST", "/v1/clubs?clubName=Beta");
    EXPECT_EQ(messaging.Deliveries().size(), 2u);
}

}  // namespace
}  // namespace Kolm::Host
