// The request journal through the running host and the real plugin: what the plugin's calls
// record (cause and fault rule included), waiting for calls that a push makes the plugin send,
// waits that run out, filters, clearing, and waits that leave the host's other paths answering.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr const char* kRequests = "/zun-clubs-host/v1/requests";
constexpr const char* kAsAurelia = "/zun-clubs-host/v1/clubs-service/as/1002";
constexpr const char* kOwlsMotd = "/zun-clubs/v1/clubs/club-1/motd";

class HostJournal : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Call(const std::string& method,
                    const std::string& target,
                    const std::string& body = "",
                    std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        return Request(host.Port(), method, target, body, "application/json", timeout);
    }
    rapidjson::Document Read(const std::string& query = "") {
        const HttpResult read = Call("GET", std::string(kRequests) + query);
        EXPECT_EQ(read.status, 200) << read.body;
        return ParseJson(read.body);
    }
    uint64_t LastId() { return Read()["lastId"].GetUint64(); }
    int SetMotd(const std::string& motd) {
        return Call("PATCH", kOwlsMotd, "{\"motd\":\"" + motd + "\"}").status;
    }
    // "service method path" of each entry, in order.
    static std::vector<std::string> Calls(const rapidjson::Value& read) {
        std::vector<std::string> calls;
        for (const auto& entry : read["entries"].GetArray()) {
            calls.push_back(std::string(entry["service"].GetString()) + " " +
                            entry["method"].GetString() + " " + entry["path"].GetString());
        }
        return calls;
    }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostJournal, AWaitReturnsWhenAPushMakesThePluginRefetchTheMembership) {
    const std::string since = std::to_string(LastId());
    auto waited = std::async(std::launch::async, [&] {
        return Call("GET", std::string(kRequests) +
                               "/wait?service=clubs&method=GET&path=/v1/membership/LOC1/1001"
                               "&count=1&timeoutMs=20000&since=" +
                               since);
    });
    // Aurelia creates a club and invites the player: the membership push reaches the plugin.
    const HttpResult created =
        Call("POST", std::string(kAsAurelia) + "/v1/clubs?clubName=Far%20Shore");
    ASSERT_EQ(created.status, 200) << created.body;
    const std::string key = ParseJson(created.body)["clubData"]["clubKey"].GetString();
    ASSERT_EQ(Call("POST", std::string(kAsAurelia) + "/v1/clubs/" + key + "/invites",
                   "{\"inviteeSummonerId\":2001}")
                  .status,
              200);
    const HttpResult answer = waited.get();
    ASSERT_EQ(answer.status, 200) << answer.body;
    const rapidjson::Document read = ParseJson(answer.body);
    ASSERT_EQ(read["entries"].Size(), 1u) << answer.body;
    const rapidjson::Value& entry = read["entries"][0];
    EXPECT_EQ(entry["status"].GetUint(), 200u);
    EXPECT_STREQ(entry["cause"]["kind"].GetString(), "push");
    EXPECT_STREQ(entry["cause"]["label"].GetString(), "clubs/v1/membership/LOC1/1001");
    EXPECT_NE(std::string(entry["answerBody"].GetString()).find("Far Shore"), std::string::npos)
        << answer.body;
}

TEST_F(HostJournal, AWaitThatIsNotMetAnswers408WithTheCallsThatMatched) {
    const std::string since = std::to_string(LastId());
    ASSERT_EQ(SetMotd("Quiet week"), 200);
    const HttpResult answer =
        Call("GET", std::string(kRequests) +
                        "/wait?service=clubs&method=PUT&path=/v1/clubs/*/motd&count=2"
                        "&timeoutMs=300&since=" +
                        since);
    ASSERT_EQ(answer.status, 408) << answer.body;
    const rapidjson::Document read = ParseJson(answer.body);
    EXPECT_STREQ(read["error"].GetString(), "1 of the 2 calls waited for were made within 300 ms");
    ASSERT_EQ(read["entries"].Size(), 1u) << answer.body;
    const rapidjson::Value& entry = read["entries"][0];
    EXPECT_STREQ(entry["path"].GetString(), "/v1/clubs/club-1/motd");
    EXPECT_NE(std::string(entry["requestBody"].GetString()).find("Quiet week"), std::string::npos);
    EXPECT_STREQ(entry["cause"]["kind"].GetString(), "request");
    EXPECT_STREQ(entry["cause"]["label"].GetString(), "PATCH /zun-clubs/v1/clubs/club-1/motd");
    EXPECT_TRUE(entry["faultRule"].IsNull());
}

TEST_F(HostJournal, FiltersSelectByServiceMethodPathPatternAndSince) {
    // The plugin's start reads the session and the platform's configuration.
    for (const std::string& call : Calls(Read("?service=login"))) {
        EXPECT_EQ(call.substr(0, 6), "login ") << call;
    }
    EXPECT_FALSE(Calls(Read("?service=login")).empty());
    const std::string since = std::to_string(LastId());
    ASSERT_EQ(SetMotd("One"), 200);
    ASSERT_EQ(SetMotd("Two"), 200);
    EXPECT_EQ(Calls(Read("?method=PUT&since=" + since)),
              (std::vector<std::string>{"clubs PUT /v1/clubs/club-1/motd",
                                        "clubs PUT /v1/clubs/club-1/motd"}));
    EXPECT_EQ(Calls(Read("?path=/v1/clubs/*/motd&service=chat")).size(), 0u);
    EXPECT_EQ(Calls(Read("?path=/v1/*/club-1/motd&since=" + since)).size(), 2u);
    // The motd changes' pushes make the plugin read the club again, later: only PUTs count.
    const uint64_t last = LastId();
    EXPECT_EQ(Read("?method=PUT&since=" + std::to_string(last))["entries"].Size(), 0u);
}

TEST_F(HostJournal, AnAppliedFaultRuleIsNamedInTheEntry) {
    const HttpResult added = Call("POST", "/zun-clubs-host/v1/faults",
                                  R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd",)"
                                  R"("status":403,"body":{"errorCode":"CLUB_PERMISSION_DENIED"}})");
    ASSERT_EQ(added.status, 201) << added.body;
    const std::string id = ParseJson(added.body)["id"].GetString();
    const std::string since = std::to_string(LastId());
    EXPECT_EQ(SetMotd("Refused"), 403);
    const rapidjson::Document read = Read("?service=clubs&method=PUT&since=" + since);
    ASSERT_EQ(read["entries"].Size(), 1u);
    const rapidjson::Value& entry = read["entries"][0];
    EXPECT_EQ(entry["faultRule"].GetString(), id);
    EXPECT_EQ(entry["status"].GetUint(), 403u);
    EXPECT_STREQ(entry["answerBody"].GetString(), R"({"errorCode":"CLUB_PERMISSION_DENIED"})");
}

TEST_F(HostJournal, ClearingEmptiesTheJournalAndIdsGoOn) {
    const uint64_t before = LastId();
    ASSERT_GT(before, 0u);
    EXPECT_EQ(Call("DELETE", kRequests).status, 204);
    // Calls made since (a late push's refetch) may be there; none from before.
    const rapidjson::Document empty = Read();
    for (const auto& entry : empty["entries"].GetArray()) {
        EXPECT_GT(entry["id"].GetUint64(), before);
    }
    EXPECT_EQ(empty["dropped"].GetUint64(), 0u);
    ASSERT_EQ(SetMotd("After"), 200);
    const rapidjson::Document after = Read("?service=clubs&method=PUT");
    ASSERT_EQ(after["entries"].Size(), 1u);
    EXPECT_GT(after["entries"][0]["id"].GetUint64(), before);
    EXPECT_EQ(Call("GET", std::string(kRequests) + "/" +
                              std::to_string(after["entries"][0]["id"].GetUint64()))
                  .status,
              200);
    EXPECT_EQ(Call("GET", std::string(kRequests) + "/1").body,
              R"({"error":"no journal entry with id \"1\" is kept"})");
}

TEST_F(HostJournal, UnreadableParametersAreRefusedByName) {
    const std::pair<const char*, const char*> cases[] = {
        {"?since=soon", R"({"error":"\"since\" must be an entry id, a whole number"})"},
        {"?method=put",
         R"({"error":"\"method\" must be an HTTP method in capitals, such as \"PUT\""})"},
        {"?path=v1",
         R"({"error":"\"path\" must be a path pattern starting with \"/\", \"*\" for a segment"})"},
        {"?count=2",
         R"({"error":"unknown parameter \"count\"; the journal is filtered by service, method, path and since"})"},
        {"/wait?count=0", R"({"error":"\"count\" must be a whole number from 1 to 10000"})"},
        {"/wait?timeoutMs=60001",
         R"({"error":"\"timeoutMs\" must be a whole number of milliseconds from 0 to 60000"})"},
    };
    for (const auto& [query, message] : cases) {
        const HttpResult refused = Call("GET", std::string(kRequests) + query);
        EXPECT_EQ(refused.status, 400) << query;
        EXPECT_EQ(refused.body, message) << query;
    }
    EXPECT_EQ(Call("POST", kRequests).status, 405);
}

TEST_F(HostJournal, NewEntriesArePublishedOnTheEventStreamWithoutTheirBodies) {
    EventStreamReader stream(host.Port(),
                             "/zun-clubs-host/v1/events?uri=/zun-clubs-host/v1/requests");
    ASSERT_TRUE(stream.Connected());
    ASSERT_EQ(SetMotd("Streamed"), 200);
    const std::vector<StreamEvent> events =
        stream.WaitFor("\"method\":\"PUT\"", std::chrono::seconds(10));
    std::string put;
    for (const StreamEvent& streamed : events) {
        put = streamed.data.find("\"method\":\"PUT\"") != std::string::npos ? streamed.data : put;
    }
    const rapidjson::Document event = ParseJson(put);
    ASSERT_TRUE(event.IsObject()) << put;
    EXPECT_STREQ(event["eventType"].GetString(), "Create");
    EXPECT_STREQ(event["data"]["path"].GetString(), "/v1/clubs/club-1/motd");
    EXPECT_FALSE(event["data"].HasMember("requestBody"));
    EXPECT_EQ(std::string(event["uri"].GetString()),
              std::string(kRequests) + "/" + std::to_string(event["data"]["id"].GetUint64()));
}

TEST_F(HostJournal, WaitsUnderWayLeaveTheHostsOtherPathsAnswering) {
    const std::string since = std::to_string(LastId());
    // More waits than the host's own paths have workers.
    std::vector<std::future<HttpResult>> waits;
    for (int i = 0; i < 6; ++i) {
        waits.push_back(std::async(std::launch::async, [&] {
            return Call("GET", std::string(kRequests) +
                                   "/wait?service=clubs&method=PUT&timeoutMs=30000&since=" + since);
        }));
    }
    // The waits went out first; had they taken the host's workers these reads would queue
    // behind them until the client gives up.
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(Call("GET", "/zun-clubs-host/v1/faults", "", std::chrono::seconds(5)).status,
                  200);
        ASSERT_EQ(Call("GET", "/zun-clubs-host/v1/world", "", std::chrono::seconds(5)).status, 200);
    }
    for (auto& wait : waits) {
        EXPECT_EQ(wait.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    }
    ASSERT_EQ(SetMotd("Release"), 200);
    for (auto& wait : waits) {
        EXPECT_EQ(wait.get().status, 200);
    }
}

// One club of `members` players, the player (1001) its owner, so that the club's answers are
// far larger than a body the journal keeps whole.
std::string CrowdedWorld(int members) {
    std::string text = R"({"loggedInAccountId":1001,"service":{"limits":{"maxClubMembers":1000}},)"
                       R"("players":[)";
    std::string active;
    for (int i = 0; i < members; ++i) {
        const std::string id = std::to_string(1001 + i);
        text += std::string(i == 0 ? "" : ",") + R"({"accountId":)" + id + R"(,"summonerId":)" +
                std::to_string(2001 + i) + R"(,"name":"Member )" + id + "\"}";
        active += std::string(i == 0 ? "" : ",") + R"({"accountId":)" + id + R"(,"role":")" +
                  (i == 0 ? "OWNER" : "MEMBER") + "\"}";
    }
    return text + R"(],"clubs":[{"key":"club-1","name":"Crowd","active":[)" + active + "]}]}";
}

TEST_F(HostJournal, PastItsBytesTheJournalDropsTheOldestCallsAndCutsLongBodies) {
    const HttpResult put = Call("PUT", "/zun-clubs-host/v1/world", CrowdedWorld(600));
    ASSERT_EQ(put.status, 200) << put.body.substr(0, 300);
    // Each change makes the plugin read the crowded club again (a cut body of 64 KB each).
    uint64_t dropped = 0;
    for (int i = 0; i < 400 && dropped == 0; ++i) {
        ASSERT_EQ(SetMotd("Crowded " + std::to_string(i)), 200);
        dropped = Read("?service=clubs&method=PUT")["dropped"].GetUint64();
    }
    ASSERT_GT(dropped, 0u);
    const rapidjson::Document read = Read();
    EXPECT_EQ(read["entries"][0]["id"].GetUint64(), read["dropped"].GetUint64() + 1);
    bool sawCut = false;
    for (const auto& entry : read["entries"].GetArray()) {
        EXPECT_LE(entry["answerBody"].GetStringLength(), 64u * 1024);
        if (entry.HasMember("bodiesCut")) {
            sawCut = true;
            EXPECT_GT(entry["answerBodyBytes"].GetUint64(), 64u * 1024);
        }
    }
    EXPECT_TRUE(sawCut);
}

}  // namespace
}  // namespace Kolm::HostTest
