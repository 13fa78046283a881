// Worlds through the running host and the real plugin: started from each shipped world, read
// and replaced while the plugin runs (the change reaching the plugin as the service's push
// messages), refused when bad, and written out on exit.
#include <gtest/gtest.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr const char* kWorld = "/zun-clubs-host/v1/world";
constexpr const char* kMembership = "/zun-clubs/v1/clubs/membership";

std::string Shipped(const std::string& name) {
    return std::string(ZC_WORLDS_DIR) + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Write(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return buffer.GetString();
}

std::vector<std::string> PendingInviteClubs(uint16_t port) {
    const rapidjson::Document membership = ParseJson(Request(port, "GET", kMembership).body);
    std::vector<std::string> names;
    if (membership.IsObject() && membership.HasMember("pendingInvites")) {
        for (const auto& invite : membership["pendingInvites"].GetArray()) {
            names.emplace_back(invite["clubName"].GetString());
        }
    }
    return names;
}

TEST(HostWorldStart, TheDefaultWorldIsTheShippedDefault) {
    HostProcess host({"--quiet"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    EXPECT_EQ(Request(host.Port(), "GET", kWorld).body, ReadFile(Shipped("default.json")));
}

TEST(HostWorldStart, FullHouseShowsTheLimitsReachedAndHidesTheBlockedInvitation) {
    HostProcess host({"--quiet", "--world", Shipped("full-house.yaml")});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    const rapidjson::Document membership = ParseJson(Request(host.Port(), "GET", kMembership).body);
    ASSERT_TRUE(membership.IsObject());
    EXPECT_EQ(membership["activeClubs"].Size(), 3u);
    // The invitation from a blocked player is declined by the plugin, not listed.
    EXPECT_TRUE(PendingInviteClubs(host.Port()).empty());
    // At the club limit: one more club is refused by the service, passed through.
    const HttpResult refused = Request(host.Port(), "POST", kMembership, R"({"name":"One More"})");
    EXPECT_EQ(refused.status, 409) << refused.body;
    EXPECT_NE(refused.body.find("MAX_ACTIVE_CLUBS"), std::string::npos) << refused.body;
    // The ownership handed over while away is announced.
    EXPECT_TRUE(Eventually([&] {
        return Request(host.Port(), "GET", "/player-notifications/v1/notifications")
                   .body.find("clubs_transfer_ownership_you") != std::string::npos;
    }));
}

TEST(HostWorldStart, TheLargeWorldLoadsItsThousandPlayers) {
    HostProcess host({"--quiet", "--world", Shipped("large.json")});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    const rapidjson::Document club =
        ParseJson(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/club-1").body);
    ASSERT_TRUE(club.IsObject());
    const rapidjson::Document players =
        ParseJson(Request(host.Port(), "GET", "/zun-clubs-host/v1/clubs-service/players").body);
    ASSERT_TRUE(players.IsArray());
    EXPECT_EQ(players.Size(), 1000u);
}

TEST(HostWorldStart, ABadWorldFileStopsTheHostWithTheReason) {
    const std::string path = testing::TempDir() + "zc_bad_world_test.json";
    std::ofstream(path) << R"({"players":[{"accountId":1,"summonerId":2}],"clubs":[)"
                           R"({"key":"k","name":"K","active":[{"accountId":3,"role":"OWNER"}]}]})";
    HostProcess host({"--world", path});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 2);
    EXPECT_NE(host.ErrorOutput().find("active member 3 is not a player"), std::string::npos)
        << host.ErrorOutput();
    std::remove(path.c_str());
}

class HostWorldChange : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Put(const std::string& body, const std::string& type = "application/json") {
        return Request(host.Port(), "PUT", kWorld, body, type);
    }
    std::string Current() { return Request(host.Port(), "GET", kWorld).body; }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostWorldChange, ANewInvitationReachesThePluginLikeAnotherPlayersInvitation) {
    rapidjson::Document world = ParseJson(Current());
    ASSERT_TRUE(world.IsObject());
    auto& clubs = world["clubs"];
    ASSERT_STREQ(clubs[2]["name"].GetString(), "Tidewatch");
    rapidjson::Document invitation = ParseJson(R"({"accountId":1001,"role":"INVITEE",)"
                                               R"("since":1700000000013,"by":1003})");
    clubs[2]["invited"].PushBack(rapidjson::Value(invitation, world.GetAllocator()),
                                 world.GetAllocator());
    const HttpResult replaced = Put(Write(world));
    ASSERT_EQ(replaced.status, 200) << replaced.body;
    EXPECT_TRUE(Eventually([&] {
        const std::vector<std::string> invites = PendingInviteClubs(host.Port());
        return std::find(invites.begin(), invites.end(), "Tidewatch") != invites.end();
    }));
}

TEST_F(HostWorldChange, ExportedWorldPutBackChangesNothing) {
    const std::string before = Current();
    ASSERT_EQ(Put(before).status, 200);
    EXPECT_EQ(Current(), before);
}

TEST_F(HostWorldChange, AYamlWorldReplacesTheRunningOne) {
    const HttpResult replaced = Put(ReadFile(Shipped("full-house.yaml")), "application/x-yaml");
    ASSERT_EQ(replaced.status, 200) << replaced.body;
    EXPECT_NE(Current().find("\"name\": \"Ember Court\""), std::string::npos);
    EXPECT_TRUE(Eventually([&] {
        const rapidjson::Document membership =
            ParseJson(Request(host.Port(), "GET", kMembership).body);
        return membership.IsObject() && membership["activeClubs"].Size() == 3u;
    }));
}

TEST_F(HostWorldChange, BadWorldsAreRefusedAndTheRunningWorldStays) {
    const std::string before = Current();
    rapidjson::Document twoOwners = ParseJson(before);
    twoOwners["clubs"][0]["active"][1]["role"].SetString("OWNER");
    const std::pair<std::string, std::string> cases[] = {
        {"{\"players\":", "not valid JSON"},
        {Write(twoOwners), "club \"club-1\" has two owners (accounts 1001 and 1004)"},
        {R"({"players":[],"clubs":[],"extra":true})", "extra: is not a field"},
        {R"({"players":"none","clubs":[]})", "players: must be an array"},
    };
    for (const auto& [body, message] : cases) {
        const HttpResult refused = Put(body);
        EXPECT_EQ(refused.status, 400) << body;
        const rapidjson::Document error = ParseJson(refused.body);
        ASSERT_TRUE(error.IsObject() && error.HasMember("error")) << refused.body;
        EXPECT_NE(std::string(error["error"].GetString()).find(message), std::string::npos)
            << error["error"].GetString();
    }
    const HttpResult badYaml = Put("players: [", "text/yaml");
    EXPECT_EQ(badYaml.status, 400);
    EXPECT_NE(badYaml.body.find("not valid YAML"), std::string::npos) << badYaml.body;
    EXPECT_EQ(Current(), before);
}

TEST(HostWorldExport, TheWorldIsWrittenOnExitAndStartsTheSameHostAgain) {
    const std::string path = testing::TempDir() + "zc_export_world_test.json";
    std::remove(path.c_str());
    std::string exported;
    {
        HostProcess host({"--quiet", "--export-world", path});
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        ASSERT_EQ(Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/club-1/motd",
                          R"({"motd":"Kept across runs"})")
                      .status,
                  200);
        exported = Request(host.Port(), "GET", kWorld).body;
        EXPECT_EQ(host.Stop(HostProcess::StopSignal(SIGTERM)), 0);
    }
    EXPECT_EQ(ReadFile(path), exported);
    HostProcess again({"--quiet", "--world", path});
    ASSERT_NE(again.Port(), 0) << again.ErrorOutput();
    EXPECT_EQ(Request(again.Port(), "GET", kWorld).body, exported);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace Kolm::HostTest
