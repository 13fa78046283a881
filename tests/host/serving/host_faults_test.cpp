// Fault rules through the running host and the real plugin: the plugin's own answers to a
// failing clubs web service or platform plugin, the rule endpoints, and the events and log
// lines of applied rules.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr std::chrono::seconds kWait{10};
constexpr const char* kFaults = "/zun-clubs-host/v1/faults";
constexpr const char* kOwlsMotd = "/zun-clubs/v1/clubs/club-1/motd";

class HostFaults : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Call(const std::string& method,
                    const std::string& target,
                    const std::string& body = "") {
        return Request(host.Port(), method, target, body);
    }
    // Adds the rule and returns its id.
    std::string AddRule(const std::string& rule) {
        const HttpResult added = Call("POST", kFaults, rule);
        EXPECT_EQ(added.status, 201) << added.body;
        const rapidjson::Document stored = ParseJson(added.body);
        return stored.IsObject() && stored.HasMember("id") ? stored["id"].GetString() : "";
    }
    int SetMotd(const std::string& motd) {
        return Call("PATCH", kOwlsMotd, "{\"motd\":\"" + motd + "\"}").status;
    }
    std::string Toasts() { return Call("GET", "/player-notifications/v1/notifications").body; }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostFaults, AServiceRefusalPassesToTheFrontEndWithItsStatusAndErrorCode) {
    AddRule(R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","status":403,)"
            R"("body":{"errorCode":"CLUB_PERMISSION_DENIED"}})");
    const HttpResult refused = Call("PATCH", kOwlsMotd, R"({"motd":"Never seen"})");
    EXPECT_EQ(refused.status, 403) << refused.body;
    EXPECT_NE(refused.body.find("CLUB_PERMISSION_DENIED"), std::string::npos) << refused.body;
    EXPECT_EQ(Call("GET", kOwlsMotd).body, "\"Raid night is Thursday.\"");
}

TEST_F(HostFaults, AFailedNotificationLookUpSkipsTheToastButNotTheAction) {
    const std::string id =
        AddRule(R"({"service":"player-notifications","method":"GET",)"
                R"("path":"/player-notifications/v1/notifications","status":500,)"
                R"("body":{"message":"down"}})");
    const HttpResult invited = Call("POST", "/zun-clubs/v1/clubs/club-1/invitations/2005");
    EXPECT_EQ(invited.status, 200) << invited.body;
    EXPECT_EQ(Toasts().find("clubs_invite_sent"), std::string::npos) << Toasts();
    // With the rule gone the same kind of action is toasted again.
    EXPECT_EQ(Call("DELETE", std::string(kFaults) + "/" + id).status, 204);
    EXPECT_EQ(Call("POST", "/zun-clubs/v1/clubs/club-1/invitations/2002").status, 200);
    EXPECT_NE(Toasts().find("clubs_invite_sent"), std::string::npos) << Toasts();
}

TEST_F(HostFaults, LatencyDelaysTheAnswerAndLetsTheCallThrough) {
    AddRule(R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","latencyMs":400})");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SetMotd("Slow news"), 200);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_EQ(Call("GET", kOwlsMotd).body, "\"Slow news\"");
}

TEST_F(HostFaults, TimesLimitsTheAffectedCallsAndTheUsedUpRuleLeavesTheList) {
    AddRule(R"({"service":"clubs","path":"/v1/clubs/*/motd","status":503,"times":2,)"
            R"("body":{"errorCode":"SERVICE_UNAVAILABLE"}})");
    EXPECT_EQ(SetMotd("one"), 503);
    EXPECT_EQ(SetMotd("two"), 503);
    EXPECT_EQ(SetMotd("three"), 200);
    EXPECT_EQ(Call("GET", kFaults).body, "[]");
}

TEST_F(HostFaults, ASeededProbabilityFailsTheSameCallsOnEveryRun) {
    const std::string rule =
        R"({"service":"clubs","path":"/v1/clubs/*/motd","status":409,"probability":0.5,)"
        R"("seed":7,"body":{"errorCode":"CONFLICT"}})";
    auto run = [&] {
        EXPECT_EQ(Call("DELETE", kFaults).status, 204);
        AddRule(rule);
        std::string pattern;
        for (int i = 0; i < 12; ++i) {
            pattern += SetMotd("try " + std::to_string(i)) == 409 ? 'x' : '.';
        }
        return pattern;
    };
    const std::string first = run();
    EXPECT_EQ(run(), first);
    EXPECT_NE(first.find('x'), std::string::npos) << first;
    EXPECT_NE(first.find('.'), std::string::npos) << first;
}

TEST_F(HostFaults, NoAnswerFromTheServiceFailsTheActionAndChangesNothing) {
    AddRule(R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd",)"
            R"("transportFailure":true})");
    EXPECT_GE(SetMotd("Lost"), 500);
    EXPECT_EQ(Call("GET", kOwlsMotd).body, "\"Raid night is Thursday.\"");
}

TEST_F(HostFaults, AnAppliedRuleIsPublishedOnTheEventStream) {
    EventStreamReader stream(host.Port(),
                             "/zun-clubs-host/v1/events?uri=/zun-clubs-host/v1/faults");
    ASSERT_TRUE(stream.Connected());
    const std::string id =
        AddRule(R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","status":403})");
    EXPECT_EQ(SetMotd("x"), 403);
    const std::vector<StreamEvent> events = stream.WaitFor("\"service\":\"clubs\"", kWait);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().name, "OnJsonApiEvent");
    const rapidjson::Document event = ParseJson(events.back().data);
    ASSERT_TRUE(event.IsObject()) << events.back().data;
    EXPECT_EQ(event["uri"].GetString(), "/zun-clubs-host/v1/faults/" + id);
    EXPECT_STREQ(event["data"]["path"].GetString(), "/v1/clubs/club-1/motd");
    EXPECT_STREQ(event["data"]["method"].GetString(), "PUT");
    EXPECT_EQ(event["data"]["rule"]["id"].GetString(), id);
}

TEST_F(HostFaults, BadRulesAndUnknownIdsChangeNothing) {
    AddRule(R"({"service":"chat","path":"/zun-chat/v1/blocked-players","status":500})");
    const std::string before = Call("GET", kFaults).body;
    for (const char* bad : {"{", R"({"service":"mail","path":"/x","status":500})",
                            R"({"service":"clubs","path":"/x"})"}) {
        const HttpResult refused = Call("POST", kFaults, bad);
        EXPECT_EQ(refused.status, 400) << bad;
        const rapidjson::Document error = ParseJson(refused.body);
        ASSERT_TRUE(error.IsObject() && error.HasMember("error")) << refused.body;
        EXPECT_GT(error["error"].GetStringLength(), 0u);
    }
    EXPECT_EQ(Call("DELETE", std::string(kFaults) + "/42").status, 404);
    EXPECT_EQ(Call("GET", kFaults).body, before);
}

// The API document says what the host does: its example refusal is the host's own answer, and
// every service its schema names can be given a rule.
TEST_F(HostFaults, TheApiDocumentsRuleSchemaAndRefusalAreWhatTheHostDoes) {
    const rapidjson::Document api = ParseJson(Call("GET", "/zun-clubs-host/v1/openapi.json").body);
    ASSERT_TRUE(api.IsObject());
    const auto& example = api["paths"][kFaults]["post"]["responses"]["400"]["content"]
                             ["application/json"]["example"]["error"];
    const HttpResult refused =
        Call("POST", kFaults, R"({"service":"mail","path":"/x","status":500})");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body,
              "{\"error\":\"\\\"service\\\" must be one of clubs, login, platform-config, "
              "summoner, chat, player-notifications or messaging\"}");
    EXPECT_EQ(ParseJson(refused.body)["error"].GetString(), std::string(example.GetString()));
    const auto& services =
        api["components"]["schemas"]["FaultRule"]["properties"]["service"]["enum"];
    ASSERT_EQ(services.Size(), 7u);
    for (const auto& service : services.GetArray()) {
        AddRule(std::string(R"({"service":")") + service.GetString() +
                R"(","path":"/nothing/calls/this","latencyMs":1})");
    }
    const rapidjson::Document listed = ParseJson(Call("GET", kFaults).body);
    ASSERT_TRUE(listed.IsArray());
    EXPECT_EQ(listed.Size(), 7u);
}

TEST(HostFaultsFile, RulesFromTheFileApplyFromTheStartAndAreLogged) {
    const std::string path = testing::TempDir() + "zc_faults_test.json";
    std::ofstream(path) << R"([{"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd",)"
                           R"("status":403,"body":{"errorCode":"CLUB_PERMISSION_DENIED"}}])";
    HostProcess host({"--quiet", "--faults", path});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    EXPECT_EQ(Request(host.Port(), "PATCH", kOwlsMotd, R"({"motd":"x"})").status, 403);
    EXPECT_TRUE(Eventually([&] {
        return host.ErrorOutput().find(
                   "fault rule 1 applied to clubs PUT "
                   "/v1/clubs/club-1/motd") != std::string::npos;
    })) << host.ErrorOutput();
    std::remove(path.c_str());
}

TEST(HostFaultsFile, ABadRulesFileStopsTheHostWithTheReason) {
    const std::string path = testing::TempDir() + "zc_bad_faults_test.json";
    std::ofstream(path) << R"([{"service":"mail","path":"/x","status":500}])";
    HostProcess host({"--faults", path});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 2);
    EXPECT_NE(host.ErrorOutput().find("rule 1: \"service\" must be one of clubs, login, "
                                      "platform-config, summoner, chat, player-notifications or "
                                      "messaging"),
              std::string::npos)
        << host.ErrorOutput();
    std::remove(path.c_str());
}

}  // namespace
}  // namespace Kolm::HostTest
