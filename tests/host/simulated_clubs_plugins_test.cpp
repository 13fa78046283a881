// The simulated platform-configuration, player-notifications and summoner plugins, called the
// way the host routes a plugin's remote call to them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/simulated_platform_config.h"
#include "host/simulated_player_notifications.h"
#include "host/simulated_summoner.h"

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

TEST(SimulatedPlayerNotificationsTest, PostsAppendToTheListThatReadsAnswer) {
    SimulatedPlayerNotifications notifications;
    notifications.Add(OwnedHostValue::Json(R"({"source":"chat"})"));
    const std::string path = SimulatedPlayerNotifications::kNotificationsPath;
    EXPECT_EQ(
        ValueJson(notifications.Answer(Request(HOST_METHOD_POST, path, R"({"source":"clubs"})"))),
        R"({"source":"clubs"})");
    EXPECT_EQ(ValueJson(notifications.Answer(Request(HOST_METHOD_GET, path))),
              R"([{"source":"chat"},{"source":"clubs"}])");
    ASSERT_EQ(notifications.Posted().size(), 1u);
    EXPECT_EQ(notifications.Posted()[0].ToJson(), R"({"source":"clubs"})");
    EXPECT_EQ(notifications.ReadCount(), 1u);

    EXPECT_EQ(ValueJson(notifications.Answer(Request(HOST_METHOD_POST, path, "[1]"))),
              "error 400: A notification must be a structure");
    EXPECT_EQ(ValueJson(notifications.Answer(Request(HOST_METHOD_POST, path))),
              "error 400: A notification to post is required");
}

TEST(SimulatedPlayerNotificationsTest, RefusedReadsAndPostsChangeNothing) {
    SimulatedPlayerNotifications notifications;
    const std::string path = SimulatedPlayerNotifications::kNotificationsPath;
    notifications.FailReads(500, "no list");
    notifications.FailPosts(507, "full");
    EXPECT_EQ(ValueJson(notifications.Answer(Request(HOST_METHOD_GET, path))),
              "error 500: no list");
    EXPECT_EQ(ValueJson(notifications.Answer(Request(HOST_METHOD_POST, path, R"({"a":1})"))),
              "error 507: full");
    EXPECT_TRUE(notifications.Notifications().empty());
    EXPECT_TRUE(notifications.Posted().empty());
    notifications.ClearFailures();
    EXPECT_EQ(ValueJson(notifications.Answer(Request(HOST_METHOD_GET, path))), "[]");
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

TEST(SimulatedSummonerTest, WholeCallsFailUntilCleared) {
    SimulatedSummoner summoner;
    summoner.AddSummoner(7, "Kai", 3);
    summoner.FailCalls(SimulatedSummoner::kIconsPath, 503, "icons down");
    summoner.FailCalls(SimulatedSummoner::kSummonerPath, 500, "down");
    EXPECT_EQ(
        ValueJson(summoner.Answer(Request(HOST_METHOD_GET, SimulatedSummoner::kIconsPath, "[7]"))),
        "error 503: icons down");
    EXPECT_EQ(ValueJson(summoner.Answer(Request(HOST_METHOD_GET, "/zun-summoner/v1/summoners/7"))),
              "error 500: down");
    EXPECT_EQ(
        ValueJson(summoner.Answer(Request(HOST_METHOD_GET, SimulatedSummoner::kNamesPath, "[7]"))),
        R"([{"summonerId":7,"displayName":"Kai","profileIconId":3}])");
    summoner.ClearFailures();
    EXPECT_EQ(
        ValueJson(summoner.Answer(Request(HOST_METHOD_GET, SimulatedSummoner::kIconsPath, "[7]"))),
        R"([{"summonerId":7,"displayName":"Kai","profileIconId":3}])");
}

}  // namespace
}  // namespace Kolm::Host
