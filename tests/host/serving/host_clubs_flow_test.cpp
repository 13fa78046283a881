// The clubs API driven over real HTTP through a running zun-clubs-host with its embedded
// clubs web service: reads, club actions, invitations, events, toasts and push messages.
#include <gtest/gtest.h>

#include <string>

#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/host_process.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr std::chrono::seconds kWait{10};

class HostClubsFlow : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Get(const std::string& target) { return Request(host.Port(), "GET", target); }
    rapidjson::Document Membership() {
        return ParseJson(Get("/zun-clubs/v1/clubs/membership").body);
    }
    std::string CreateClub(const std::string& name) {
        const HttpResult created = Request(host.Port(), "POST", "/zun-clubs/v1/clubs/membership",
                                           "{\"name\":\"" + name + "\"}");
        EXPECT_EQ(created.status, 200) << created.body;
        const rapidjson::Document club = ParseJson(created.body);
        return club.IsObject() && club.HasMember("key") ? club["key"].GetString() : "";
    }
    std::string Toasts() { return Get("/player-notifications/v1/notifications").body; }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostClubsFlow, ReadsTheSeededMembershipAfterStartUp) {
    const rapidjson::Document membership = Membership();
    ASSERT_TRUE(membership.IsObject());
    EXPECT_FALSE(ClubKeyByName(membership, "Night Owls").empty());
    ASSERT_EQ(membership["pendingInvites"].Size(), 1u);
    EXPECT_STREQ(membership["pendingInvites"][0]["clubName"].GetString(), "Lantern Keepers");
    EXPECT_STREQ(membership["pendingInvites"][0]["inviterSummonerName"].GetString(), "Aurelia");
    // The pending invitation was announced with a toast at start-up.
    EXPECT_NE(Toasts().find("\"detailKey\":\"clubs_new_invite\""), std::string::npos);
}

TEST_F(HostClubsFlow, CreatesAClubAndSetsItsMessageOfTheDay) {
    const std::string key = CreateClub("Ember Guild");
    ASSERT_FALSE(key.empty());
    const HttpResult motd = Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/" + key + "/motd",
                                    "{\"motd\":\"Meet at dusk\"}");
    EXPECT_EQ(motd.status, 200) << motd.body;
    EXPECT_EQ(Get("/zun-clubs/v1/clubs/" + key + "/motd").body, "\"Meet at dusk\"");
    EXPECT_EQ(ClubKeyByName(Membership(), "Ember Guild"), key);
}

TEST_F(HostClubsFlow, InvitesAPlayerAndRaisesTheInviteToast) {
    const std::string key = CreateClub("Quiet Harbour");
    ASSERT_FALSE(key.empty());
    const HttpResult invited =
        Request(host.Port(), "POST", "/zun-clubs/v1/clubs/" + key + "/invitations/2005");
    ASSERT_EQ(invited.status, 200) << invited.body;
    const rapidjson::Document lists = ParseJson(invited.body);
    ASSERT_TRUE(lists.IsObject()) << invited.body;
    ASSERT_EQ(lists["invitedMembers"].Size(), 1u);
    EXPECT_EQ(lists["invitedMembers"][0]["summonerId"].GetUint64(), 2005u);
    EXPECT_STREQ(lists["invitedMembers"][0]["summonerName"].GetString(), "Dace");
    EXPECT_TRUE(Eventually([&] {
        return Toasts().find("\"detailKey\":\"clubs_invite_sent\"") != std::string::npos;
    })) << Toasts();
}

TEST_F(HostClubsFlow, AcceptsThePendingInvitation) {
    const rapidjson::Document before = Membership();
    ASSERT_EQ(before["pendingInvites"].Size(), 1u);
    const std::string key = before["pendingInvites"][0]["clubKey"].GetString();
    const std::string answer = "{\"clubKey\":\"" + key +
                               "\",\"clubName\":\"Lantern Keepers\",\"inviterSummonerId\":2002,"
                               "\"inviterAccountId\":1002,\"inviteeSummonerId\":2001,"
                               "\"inviteeAccountId\":1001,\"inviterSummonerName\":\"Aurelia\","
                               "\"status\":\"ACCEPTED\"}";
    const HttpResult accepted =
        Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/invitations", answer);
    ASSERT_EQ(accepted.status, 200) << accepted.body;
    const rapidjson::Document after = Membership();
    EXPECT_EQ(ClubKeyByName(after, "Lantern Keepers"), key);
    EXPECT_EQ(after["pendingInvites"].Size(), 0u);
}

TEST_F(HostClubsFlow, StreamsResourceEventsWithIncreasingIds) {
    EventStreamReader stream(host.Port(), "/zun-clubs-host/v1/events?uri=/zun-clubs/");
    ASSERT_TRUE(stream.Connected());
    const std::string key = CreateClub("Silver Reach");
    ASSERT_FALSE(key.empty());
    ASSERT_EQ(Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/" + key + "/motd",
                      "{\"motd\":\"streamed motd\"}")
                  .status,
              200);
    const std::vector<StreamEvent> events = stream.WaitFor("\"data\":\"streamed motd\"", kWait);
    int motdEvents = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].name, "OnJsonApiEvent");
        EXPECT_NE(events[i].data.find("\"uri\":\"/zun-clubs/"), std::string::npos);
        if (i > 0) {
            EXPECT_GT(events[i].id, events[i - 1].id);
        }
        if (events[i].data.find("\"uri\":\"/zun-clubs/v1/clubs/" + key + "/motd\"") !=
            std::string::npos) {
            motdEvents += events[i].data.find("\"data\":\"streamed motd\"") != std::string::npos;
        }
    }
    // Published by the action (and again by the refresh its push message causes).
    EXPECT_GE(motdEvents, 1);
}

TEST_F(HostClubsFlow, AnEventNameFilterSelectsTheUriDerivedCopies) {
    EventStreamReader stream(host.Port(),
                             "/zun-clubs-host/v1/events?event=OnJsonApiEvent_zun-clubs_v1_clubs");
    ASSERT_TRUE(stream.Connected());
    ASSERT_EQ(Request(host.Port(), "POST", "/zun-clubs/v1/clubs/any-key/view").status, 200);
    const std::vector<StreamEvent> events = stream.WaitFor("any-key", kWait);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().name, "OnJsonApiEvent_zun-clubs_v1_clubs");
    EXPECT_EQ(
        events.back().data,
        "{\"data\":\"any-key\",\"eventType\":\"Update\",\"uri\":\"/zun-clubs/v1/clubs/view\"}");
}

TEST_F(HostClubsFlow, AReconnectingClientGetsTheEventsItMissed) {
    ASSERT_EQ(Request(host.Port(), "POST", "/zun-clubs/v1/clubs/first/view").status, 200);
    ASSERT_EQ(Request(host.Port(), "POST", "/zun-clubs/v1/clubs/second/view").status, 200);
    EventStreamReader stream(host.Port(), "/zun-clubs-host/v1/events?lastEventId=1");
    const std::vector<StreamEvent> events = stream.WaitFor("second", kWait);
    bool sawFirst = false;
    for (const StreamEvent& event : events) {
        sawFirst = sawFirst || event.data.find("\"data\":\"first\"") != std::string::npos;
    }
    EXPECT_TRUE(sawFirst);
    ASSERT_FALSE(events.empty());
    EXPECT_GT(events.front().id, 1u);
}

TEST_F(HostClubsFlow, ChangesByAnotherPlayerArriveAsPushMessages) {
    // Aurelia (account 1002) creates a club and invites the player through the admin path;
    // the service's push reaches the plugin, which refetches the membership.
    const std::string as = "/zun-clubs-host/v1/clubs-service/as/1002";
    const HttpResult created = Request(host.Port(), "POST", as + "/v1/clubs?clubName=Far%20Shore");
    ASSERT_EQ(created.status, 200) << created.body;
    const std::string key = ParseJson(created.body)["clubData"]["clubKey"].GetString();
    const HttpResult invited = Request(host.Port(), "POST", as + "/v1/clubs/" + key + "/invites",
                                       "{\"inviteeSummonerId\":2001}");
    ASSERT_EQ(invited.status, 200) << invited.body;
    EXPECT_TRUE(Eventually([&] {
        return Get("/zun-clubs/v1/clubs/invitations").body.find("\"clubName\":\"Far Shore\"") !=
               std::string::npos;
    })) << Get("/zun-clubs/v1/clubs/invitations").body;
    EXPECT_TRUE(Eventually([&] {
        return Toasts().find("\"clubName\":\"Far Shore\"") != std::string::npos;
    })) << Toasts();
}

TEST_F(HostClubsFlow, AMemberJoiningAnotherPlayersActionIsToasted) {
    // The player invites Dace; Dace (1005) accepts through the admin path; the club's push
    // makes the plugin refresh the club and toast the new member.
    const std::string key = CreateClub("Open Door");
    ASSERT_FALSE(key.empty());
    ASSERT_EQ(
        Request(host.Port(), "POST", "/zun-clubs/v1/clubs/" + key + "/invitations/2005").status,
        200);
    const HttpResult accepted =
        Request(host.Port(), "POST",
                "/zun-clubs-host/v1/clubs-service/as/1005/v1/membership/LOC1/1005/invites/" + key,
                "{\"status\":1}");
    ASSERT_EQ(accepted.status, 200) << accepted.body;
    EXPECT_TRUE(Eventually([&] {
        return Get("/zun-clubs/v1/clubs/" + key + "/members").body.find("\"summonerId\":2005") !=
               std::string::npos;
    }));
    EXPECT_TRUE(Eventually([&] {
        return Toasts().find("\"detailKey\":\"clubs_player_joined\"") != std::string::npos;
    })) << Toasts();
}

TEST_F(HostClubsFlow, ThePlatformIsReadableAndChangeableOverHttp) {
    EXPECT_NE(Get("/zun-login/v1/session").body.find("\"state\":\"SUCCEEDED\""), std::string::npos);
    EXPECT_EQ(Request(host.Port(), "POST", "/zun-chat/v1/blocked-players",
                      "{\"id\":2003,\"name\":\"Bram\"}")
                  .status,
              200);
    EXPECT_EQ(Get("/zun-chat/v1/blocked-players/2003").body, "{\"id\":2003,\"name\":\"Bram\"}");
    EXPECT_EQ(Request(host.Port(), "DELETE", "/zun-chat/v1/blocked-players/2003").status, 200);
    EXPECT_EQ(Get("/zun-chat/v1/blocked-players/2003").status, 404);

    EventStreamReader stream(host.Port(), "/zun-clubs-host/v1/events?uri=/zun-login/");
    EXPECT_EQ(Request(host.Port(), "DELETE", "/zun-login/v1/session").status, 200);
    EXPECT_EQ(Get("/zun-login/v1/session").status, 404);
    EXPECT_EQ(Request(host.Port(), "POST", "/zun-login/v1/session/login").status, 200);
    const std::vector<StreamEvent> events = stream.WaitFor("SUCCEEDED", kWait);
    ASSERT_GE(events.size(), 2u);
    EXPECT_NE(events[0].data.find("\"eventType\":\"Delete\""), std::string::npos);
    EXPECT_EQ(Request(host.Port(), "PUT",
                      "/zun-platform-config/v1/namespaces/Clubs/ClubsMemberIcon", "\"/x.png\"")
                  .status,
              200);
    EXPECT_EQ(Get("/zun-platform-config/v1/namespaces/Clubs/ClubsMemberIcon").body, "\"/x.png\"");
}

}  // namespace
}  // namespace Kolm::HostTest
