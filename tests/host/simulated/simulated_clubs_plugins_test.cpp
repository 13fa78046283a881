// The simulated platform-configuration, summoner and player-notifications plugins, called the
// way the host routes a plugin's remote call to them. (The clubs tests read back every toast
// the plugin posts.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_platform_config.h"
#include "host/simulated/simulated_player_notifications.h"
#include "host/simulated/simulated_plugins.h"
#include "host/simulated/simulated_summoner.h"

namespace Kolm::Host {
namespace {

SimulatedRequest Request(uint32_t method,
                         const std::string& path,
                         const char* argumentJson = nullptr) {
    SimulatedRequest request;
    request.method = method;
    request.uri = path;
    request.path = path;
    if (argumentJson != nullptr) {
        SimulatedRequest::Argument argument;
        argument.value = OwnedHostValue::Json(argumentJson);
        request.arguments.push_back(std::move(argument));
    }
    return request;
}

std::string ValueJson(const SimulatedAnswer& answer) {
    return answer.hasError
               ? "error " + std::to_string(answer.status) + ": " + answer.errorText.value_or("")
               : answer.value.ToJson();
}

// A front end learns of a new toast from the event, as from the real notifications resource.
TEST(SimulatedPlayerNotificationsTest, APostedToastIsAnnouncedAndReadBack) {
    HostEventBus bus;
    SimulatedPlugins plugins(bus);
    auto notifications = std::make_shared<SimulatedPlayerNotifications>();
    plugins.Add(notifications);
    std::vector<std::string> seen;
    bus.Listen("OnJsonApiEvent", [&](std::string_view, const HostValue& payload) {
        seen.push_back(HostValueToJson(payload));
    });
    const std::string path = SimulatedPlayerNotifications::kNotificationsPath;
    const char* toast = R"({"type":"club_invite"})";
    EXPECT_EQ(ValueJson(notifications->Answer(Request(HOST_METHOD_POST, path, toast))), toast);
    EXPECT_EQ(seen,
              std::vector<std::string>{
                  R"({"data":{"type":"club_invite"},"eventType":"Create","uri":")" + path + "\"}"});
    EXPECT_EQ(ValueJson(notifications->Answer(Request(HOST_METHOD_GET, path))),
              "[" + std::string(toast) + "]");

    notifications->FailPosts(503, "down");
    notifications->Answer(Request(HOST_METHOD_POST, path, toast));
    EXPECT_EQ(seen.size(), 1u) << "a refused post announces nothing";
}

TEST(SimulatedPlatformConfigTest, ANamespaceReadsAsTheStructureOfItsValues) {
    SimulatedPlatformConfig config;
    config.SetValue("/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled",
                    OwnedHostValue::Bool(true));
    config.SetNamespaceValue("Clubs", "ClubsMemberIcon", OwnedHostValue::String("m.png"));
    config.SetNamespaceValue("Other", "Flag", OwnedHostValue::Signed(1));
    const std::string clubs = "/zun-platform-config/v1/namespaces/Clubs";
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs))),
              R"({"ClubsEnabled":true,"ClubsMemberIcon":"m.png"})");
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs + "/ClubsMemberIcon"))),
              R"("m.png")");

    config.SetNamespaceValue("Clubs", "ClubsEnabled", OwnedHostValue::Null(),
                             ResourceEventType::Delete);
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs))),
              R"({"ClubsMemberIcon":"m.png"})");
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs + "/ClubsEnabled"))),
              "error 404: No handler for 2 /zun-platform-config/v1/namespaces/Clubs/ClubsEnabled");
    EXPECT_EQ(ValueJson(config.Answer(
                  Request(HOST_METHOD_GET, "/zun-platform-config/v1/namespaces/Missing"))),
              "error 404: No namespace Missing");
}

TEST(SimulatedPlatformConfigTest, FailedNamespaceReadsAreCountedAndLeaveValueReadsAlone) {
    SimulatedPlatformConfig config;
    config.SetNamespaceValue("Clubs", "ClubsMemberIcon", OwnedHostValue::String("m.png"));
    config.FailNamespaceReads(503, "down");
    const std::string clubs = "/zun-platform-config/v1/namespaces/Clubs";
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs))), "error 503: down");
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs + "/ClubsMemberIcon"))),
              R"("m.png")");
    config.ClearNamespaceFailure();
    EXPECT_EQ(ValueJson(config.Answer(Request(HOST_METHOD_GET, clubs))),
              R"({"ClubsMemberIcon":"m.png"})");
    EXPECT_EQ(config.NamespaceReads(), 2u);
}

TEST(SimulatedSummonerTest, ListsFollowTheIdsAndLeaveOutUnknownOnes) {
    SimulatedSummoner summoner;
    summoner.AddSummoner(7, "Kai", 3);
    summoner.AddSummoner(8, "Lu", 4);
    summoner.FailSummoner(8);
    EXPECT_EQ(ValueJson(summoner.Answer(
                  Request(HOST_METHOD_GET, SimulatedSummoner::kNamesPath, "[8,7,9,7]"))),
              R"([{"summonerId":7,"displayName":"Kai","profileIconId":3},)"
              R"({"summonerId":7,"displayName":"Kai","profileIconId":3}])");
    EXPECT_EQ(ValueJson(summoner.Answer(Request(HOST_METHOD_GET, "/zun-summoner/v1/summoners/7"))),
              R"({"summonerId":7,"displayName":"Kai","profileIconId":3})");
    EXPECT_EQ(ValueJson(summoner.Answer(Request(HOST_METHOD_GET, "/zun-summoner/v1/summoners/8"))),
              "error 404: Summoner 8 not found");
    EXPECT_EQ(ValueJson(summoner.Answer(Request(HOST_METHOD_GET, "/zun-summoner/v1/summoners/x"))),
              "error 400: Invalid summoner id x");
    EXPECT_EQ(ValueJson(summoner.Answer(Request(HOST_METHOD_GET, SimulatedSummoner::kIconsPath))),
              "error 400: A list of summoner ids is required");
    EXPECT_EQ(summoner.SingleReads(), (std::vector<uint64_t>{7, 8}));
    EXPECT_EQ(summoner.ListCalls(SimulatedSummoner::kNamesPath), 1u);
}

TEST(SimulatedSummonerTest, ARecordLimitKeepsTheNewestReads) {
    SimulatedSummoner summoner;
    summoner.AddSummoner(7, "Kai", 3);
    for (const char* id : {"1", "2", "3"}) {
        summoner.Answer(Request(HOST_METHOD_GET, std::string("/zun-summoner/v1/summoners/") + id));
    }
    summoner.SetRecordLimit(2);
    EXPECT_EQ(summoner.SingleReads(), (std::vector<uint64_t>{2, 3}));
    summoner.Answer(Request(HOST_METHOD_GET, "/zun-summoner/v1/summoners/7"));
    EXPECT_EQ(summoner.SingleReads(), (std::vector<uint64_t>{3, 7}));
}

// Forty toasts of 100 kB each: the list, the posts and the calls received keep only the newest
// that fit in their byte limit, whatever their count limits.
TEST(SimulatedPlayerNotificationsTest, TheListThePostsAndTheCallsAreBoundedInBytes) {
    SimulatedPlayerNotifications notifications;
    const std::string text(100 * 1024, 'x');
    for (int i = 0; i < 40; ++i) {
        const std::string record = "{\"n\":" + std::to_string(i) + ",\"text\":\"" + text + "\"}";
        notifications.Answer(Request(
            HOST_METHOD_POST, SimulatedPlayerNotifications::kNotificationsPath, record.c_str()));
    }
    const auto heldBytes = [](const std::vector<OwnedHostValue>& values) {
        std::size_t bytes = 0;
        for (const OwnedHostValue& value : values) {
            bytes += RecordBytes(value);
        }
        return bytes;
    };
    const std::size_t limit = RecentRecords<OwnedHostValue>::kDefaultByteLimit;
    const std::vector<OwnedHostValue> list = notifications.Notifications();
    const std::vector<OwnedHostValue> posted = notifications.Posted();
    // A little over 100 kB each: nine or ten fit in a megabyte (the bookkeeping differs between
    // 32- and 64-bit builds), the newest ones.
    EXPECT_GE(list.size(), 9u);
    EXPECT_LE(heldBytes(list), limit);
    ASSERT_GE(posted.size(), 9u);
    EXPECT_LE(heldBytes(posted), limit);
    EXPECT_EQ(posted.back().ToJson().substr(0, 8), "{\"n\":39,");
    EXPECT_EQ(list.back().ToJson().substr(0, 8), "{\"n\":39,");
    const std::vector<SimulatedRequest> received = notifications.ReceivedRequests();
    EXPECT_GE(received.size(), 9u);
    EXPECT_LT(received.size(), 40u);
    std::size_t receivedBytes = 0;
    for (const SimulatedRequest& request : received) {
        receivedBytes += RecordBytes(request);
    }
    EXPECT_LE(receivedBytes, limit);
}

TEST(SimulatedPlayerNotificationsTest, TheListAndThePostsKeepOnlyTheNewest) {
    SimulatedPlayerNotifications notifications;
    notifications.SetRecordLimit(2);
    const std::size_t total = SimulatedPlayerNotifications::kListLimit + 3;
    for (std::size_t i = 0; i < total; ++i) {
        const std::string record = "{\"n\":" + std::to_string(i) + "}";
        notifications.Answer(Request(
            HOST_METHOD_POST, SimulatedPlayerNotifications::kNotificationsPath, record.c_str()));
    }
    const std::vector<OwnedHostValue> list = notifications.Notifications();
    ASSERT_EQ(list.size(), SimulatedPlayerNotifications::kListLimit);
    EXPECT_EQ(list.front().ToJson(), "{\"n\":3}");
    const std::vector<OwnedHostValue> posted = notifications.Posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted.back().ToJson(), "{\"n\":" + std::to_string(total - 1) + "}");
}

}  // namespace
}  // namespace Kolm::Host
