// The clubs REST endpoint table through the real entry: registration, the read queries, the
// preferences update, the view notice, the presence text and the bad-input replies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/clubs/clubs_test_host.h"

namespace Kolm::ClubsTest {
namespace {

constexpr uint64_t kOtherAccount = 2002;
constexpr uint64_t kOtherSummoner = 3002;
constexpr const char* kPreferencesPath = "/zun-clubs/v1/clubs/membership/preferences";

class ClubsEndpointsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.AddDefaultPlayer();
        ASSERT_TRUE(host.service.AddPlayer({kPlatformId, kOtherAccount, kOtherSummoner, "t-2"}));
        ASSERT_TRUE(host.Init());
    }

    // Our player owns "beta" (club-1) and "Alpha" (club-2) with a message of the day, has
    // invited the other player to "Alpha" and is invited by them to "Gamma" (club-3).
    void BuildClubs() {
        Act(kAccountId, "POST", "/v1/clubs?clubName=beta");
        Act(kAccountId, "POST", "/v1/clubs?clubName=Alpha");
        Act(kAccountId, "PUT", "/v1/clubs/club-2/motd", "Welcome");
        Act(kAccountId, "POST", "/v1/clubs/club-2/invites",
            R"({"clubKey":"club-2","inviteeSummonerId":3002})");
        Act(kOtherAccount, "POST", "/v1/clubs?clubName=Gamma");
        Act(kOtherAccount, "POST", "/v1/clubs/club-3/invites",
            R"({"clubKey":"club-3","inviteeSummonerId":3001})");
    }

    void Act(uint64_t account,
             const std::string& method,
             const std::string& path,
             const std::string& body = "") {
        const Host::WebResponse answer =
            host.service.HandleAs(account, method, std::string(kServiceUrl) + path, body);
        ASSERT_LT(answer.status, 300) << method << " " << path << ": " << answer.body;
    }

    RestReply Get(const std::string& uri) { return host.Call(HOST_METHOD_GET, uri); }

    ClubsTestHost host;
};

TEST_F(ClubsEndpointsTest, RegistersTheTwentyFourEndpointsInTableOrder) {
    const std::vector<std::pair<uint32_t, std::string>> rows = {
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership/preferences"},
        {HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/membership/preferences"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/membership"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/invitations"},
        {HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/invitations"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/{clubKey}"},
        {HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/{clubKey}"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/{clubKey}"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/{clubKey}/view"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/{clubKey}/motd"},
        {HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/{clubKey}/motd"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/{clubKey}/members"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/{clubKey}/members/{summonerId}"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/{clubKey}/members/{summonerId}"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/{clubKey}/nominations"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/{clubKey}/nominations/{summonerId}"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/{clubKey}/nominations/{summonerId}"},
        {HOST_METHOD_GET, "/zun-clubs/v1/clubs/{clubKey}/invitations"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/{clubKey}/invitations/{summonerId}"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/{clubKey}/invitations/{summonerId}"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/{clubKey}/promotions/{summonerId}"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/{clubKey}/promotions/{summonerId}"},
    };
    const std::vector<ClubsTestHost::EndpointInfo> endpoints = host.Endpoints();
    ASSERT_EQ(endpoints.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(endpoints[i].method, rows[i].first) << "row " << i + 1;
        EXPECT_EQ(endpoints[i].pathTemplate, rows[i].second) << "row " << i + 1;
    }
    EXPECT_EQ(endpoints[7].name, "GetZunClubsV1ClubsByClubKey");
    EXPECT_EQ(endpoints[14].name, "DeleteZunClubsV1ClubsByClubKeyMembersBySummonerId");
    EXPECT_EQ(endpoints[14].argumentLocations, (std::vector<uint32_t>{2, 2}));
    EXPECT_EQ(endpoints[2].argumentLocations, (std::vector<uint32_t>{5}));
    EXPECT_EQ(endpoints[12].argumentLocations, (std::vector<uint32_t>{2, 5}));
}

TEST_F(ClubsEndpointsTest, BeforeAnyLoadTheFreshModelIsServed) {
    const RestReply membership = Get("/zun-clubs/v1/clubs/membership");
    ASSERT_FALSE(membership.hasError) << membership.errorText;
    EXPECT_EQ(membership.status, 0u);
    EXPECT_EQ(membership.value["info"]["summonerIconId"], -1);
    EXPECT_EQ(membership.value["activeClubs"], json::array());
    EXPECT_EQ(membership.value["pendingInvites"], json::array());
    EXPECT_EQ(membership.value["secureClubPresenceInfoString"], "");

    const RestReply club = Get("/zun-clubs/v1/clubs/club-1");
    EXPECT_TRUE(club.hasError);
    EXPECT_EQ(club.status, 404u);
    EXPECT_EQ(club.errorText, "CLUB_NOT_FOUND");
}

TEST_F(ClubsEndpointsTest, LiteralRoutesWinOverTheClubKeyTemplate) {
    BuildClubs();
    host.EnableClubs();
    EXPECT_EQ(host.EndpointFor(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership"),
              "GetZunClubsV1ClubsMembership");
    EXPECT_EQ(host.EndpointFor(HOST_METHOD_GET, "/zun-clubs/v1/clubs/invitations"),
              "GetZunClubsV1ClubsInvitations");

    const RestReply membership = Get("/zun-clubs/v1/clubs/membership");
    EXPECT_FALSE(membership.hasError) << membership.errorText;
    EXPECT_EQ(membership.value["info"]["summonerId"], kSummonerId);

    // The player's own invitations, not the invited members of a club keyed "invitations".
    const RestReply invites = Get("/zun-clubs/v1/clubs/invitations");
    ASSERT_FALSE(invites.hasError) << invites.errorText;
    ASSERT_EQ(invites.value.size(), 1u);
    EXPECT_EQ(invites.value[0]["clubKey"], "club-3");
    EXPECT_EQ(invites.value[0]["clubName"], "Gamma");
    EXPECT_EQ(invites.value[0]["inviterSummonerId"], kOtherSummoner);
    EXPECT_EQ(invites.value[0]["inviteeAccountId"], 0);
    EXPECT_EQ(invites.value[0]["status"], "PENDING");
}

TEST_F(ClubsEndpointsTest, ReadsAnswerFromTheHeldClubs) {
    BuildClubs();
    host.EnableClubs();

    const RestReply clubs = Get("/zun-clubs/v1/clubs");
    ASSERT_FALSE(clubs.hasError) << clubs.errorText;
    ASSERT_EQ(clubs.value.size(), 2u);
    // Case-folded name order: "Alpha" before "beta".
    EXPECT_EQ(clubs.value[0]["name"], "Alpha");
    EXPECT_EQ(clubs.value[1]["name"], "beta");
    EXPECT_EQ(clubs.value[0]["role"], "OWNER");

    const RestReply club = Get("/zun-clubs/v1/clubs/club-2");
    ASSERT_FALSE(club.hasError) << club.errorText;
    EXPECT_EQ(club.value["name"], "Alpha");
    EXPECT_EQ(club.value["owner"]["summonerId"], kSummonerId);

    const RestReply members = Get("/zun-clubs/v1/clubs/club-2/members");
    ASSERT_EQ(members.value.size(), 1u);
    EXPECT_EQ(members.value[0]["role"], "OWNER");

    const RestReply invited = Get("/zun-clubs/v1/clubs/club-2/invitations");
    ASSERT_EQ(invited.value.size(), 1u);
    EXPECT_EQ(invited.value[0]["summonerId"], kOtherSummoner);
    EXPECT_EQ(invited.value[0]["role"], "INVITEE");

    const RestReply nominated = Get("/zun-clubs/v1/clubs/club-2/nominations");
    EXPECT_FALSE(nominated.hasError);
    EXPECT_EQ(nominated.value, json::array());

    const RestReply motd = Get("/zun-clubs/v1/clubs/club-2/motd");
    EXPECT_FALSE(motd.hasError);
    EXPECT_EQ(motd.status, 200u);
    EXPECT_EQ(motd.value, "Welcome");
}

TEST_F(ClubsEndpointsTest, UnknownClubKeysAreNotFound) {
    BuildClubs();
    host.EnableClubs();
    // A key held only in another letter case is another key.
    for (const std::string uri :
         {"/zun-clubs/v1/clubs/CLUB-2", "/zun-clubs/v1/clubs/club-9/members",
          "/zun-clubs/v1/clubs/club-9/nominations", "/zun-clubs/v1/clubs/club-9/invitations"}) {
        const RestReply reply = Get(uri);
        EXPECT_TRUE(reply.hasError) << uri;
        EXPECT_EQ(reply.status, 404u) << uri;
        EXPECT_EQ(reply.errorText, "CLUB_NOT_FOUND") << uri;
    }
    // The message of the day of an unknown club is a value reply: an empty text with 404.
    const RestReply motd = Get("/zun-clubs/v1/clubs/Club-2/motd");
    EXPECT_FALSE(motd.hasError);
    EXPECT_EQ(motd.errorText, "");
    EXPECT_EQ(motd.status, 404u);
    EXPECT_EQ(motd.value, "");
}

TEST_F(ClubsEndpointsTest, PreferencesUpdateAppliesTheServiceAnswerAndReordersTheClubs) {
    BuildClubs();
    host.EnableClubs();
    host.ClearRecords();

    const RestReply reply = host.Call(HOST_METHOD_PATCH, kPreferencesPath,
                                      R"({"primaryClubKey":"club-1","shareClubAffiliation":true})");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.value, json({{"primaryClubKey", "club-1"}, {"shareClubAffiliation", true}}));

    const std::vector<Host::WebRequest> requests = host.ServiceRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "PUT");
    EXPECT_EQ(requests[0].url, "https://clubs.test/v1/membership/EUW1/2001");
    const json sent = json::parse(requests[0].body);
    EXPECT_EQ(sent, json({{"primaryActiveClubKey", "club-1"}, {"shareClubAffiliation", true}}));

    // The primary club comes first in the list published last, flagged as primary.
    const std::vector<PublishedEvent> lists = host.PublishedOn("/zun-clubs/v1/clubs");
    ASSERT_FALSE(lists.empty());
    const json& last = lists.back().data;
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[0]["key"], "club-1");
    EXPECT_EQ(last[0]["primary"], true);
    EXPECT_EQ(last[1]["primary"], false);
    EXPECT_EQ(Get("/zun-clubs/v1/clubs").value[0]["key"], "club-1");

    // The presence text the service issued with the answer is republished unchanged.
    const std::vector<PublishedEvent> presence =
        host.PublishedOn("/zun-clubs/v1/clubs/membership/presence");
    ASSERT_EQ(presence.size(), 1u);
    EXPECT_EQ(presence[0].data, "clubs-presence:EUW1:2001:club-1:shared");
    EXPECT_EQ(Get("/zun-clubs/v1/clubs/membership").value["secureClubPresenceInfoString"],
              "clubs-presence:EUW1:2001:club-1:shared");
}

TEST_F(ClubsEndpointsTest, RefusedPreferencesPassTheServiceErrorOnAndChangeNothing) {
    BuildClubs();
    host.EnableClubs();
    const json before = Get("/zun-clubs/v1/clubs/membership").value;
    host.ClearRecords();

    // Not checked against the held clubs: the service decides.
    const RestReply reply = host.Call(HOST_METHOD_PATCH, kPreferencesPath,
                                      R"({"primaryClubKey":"club-3","shareClubAffiliation":true})");
    EXPECT_TRUE(reply.hasError);
    EXPECT_EQ(reply.status, 404u);
    EXPECT_EQ(reply.errorText, "CLUB_NOT_FOUND");
    EXPECT_EQ(host.ServiceRequests().size(), 1u);
    EXPECT_TRUE(host.Published().empty());
    EXPECT_EQ(Get("/zun-clubs/v1/clubs/membership").value, before);
}

TEST_F(ClubsEndpointsTest, PreferencesBodiesOfTheWrongShapeAreRefusedBeforeTheHandler) {
    BuildClubs();
    host.EnableClubs();
    const json before = Get("/zun-clubs/v1/clubs/membership").value;
    host.ClearRecords();

    const std::vector<std::pair<std::string, std::string>> bodies = {
        {"[1,2,3]", "application/json"},
        {R"({"primaryClubKey":{"nested":true}})", "application/json"},
        {R"({"primaryClubKey":"club-1")", "application/json"},
        {"primaryClubKey=club-1", "text/plain"},
    };
    for (const auto& [body, contentType] : bodies) {
        const RestReply reply = host.Call(HOST_METHOD_PATCH, kPreferencesPath, body, contentType);
        EXPECT_TRUE(reply.hasError) << body;
        EXPECT_FALSE(reply.errorText.empty()) << body;
    }
    EXPECT_EQ(host.Call(HOST_METHOD_PATCH, kPreferencesPath, "primaryClubKey=club-1", "text/plain")
                  .errorText,
              "Unsupported body content type");
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_TRUE(host.Published().empty());
    EXPECT_EQ(Get("/zun-clubs/v1/clubs/membership").value, before);
}

TEST_F(ClubsEndpointsTest, ViewNoticeAnnouncesAnyKeyWithStatus200) {
    for (const std::string key : {"club-1", "never-held"}) {
        host.ClearRecords();
        const RestReply reply = host.Call(HOST_METHOD_POST, "/zun-clubs/v1/clubs/" + key + "/view");
        EXPECT_FALSE(reply.hasError) << reply.errorText;
        EXPECT_EQ(reply.status, 200u);
        EXPECT_TRUE(reply.value.is_null());
        const std::vector<PublishedEvent> views = host.PublishedOn("/zun-clubs/v1/clubs/view");
        ASSERT_EQ(views.size(), 1u);
        EXPECT_EQ(views[0].eventType, 1);
        EXPECT_EQ(views[0].data, key);
    }
}

TEST_F(ClubsEndpointsTest, MemberAndInvitationRowsReachTheirHandlers) {
    BuildClubs();
    host.EnableClubs();
    host.ClearRecords();
    // Every row but nominate checks the held model first: an unknown club (or invitation) is
    // refused by the handler itself, before any service call.
    const std::vector<std::tuple<uint32_t, std::string, std::string, std::string>> actions = {
        {HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/invitations",
         R"({"clubKey":"club-9","inviterSummonerId":3002,"status":"ACCEPTED"})",
         "CLUB_INVITE_NOT_FOUND"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/club-9/members/3002", "", "CLUB_NOT_FOUND"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/club-9/members/3002", "", "CLUB_NOT_FOUND"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/club-9/nominations/3002", "", "CLUB_NOT_FOUND"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/club-9/invitations/3002", "", "CLUB_NOT_FOUND"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/club-9/invitations/3002", "", "CLUB_NOT_FOUND"},
        {HOST_METHOD_POST, "/zun-clubs/v1/clubs/club-9/promotions/3002", "", "CLUB_NOT_FOUND"},
        {HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/club-9/promotions/3002", "", "CLUB_NOT_FOUND"},
    };
    for (const auto& [method, uri, body, error] : actions) {
        const RestReply reply = host.Call(method, uri, body);
        EXPECT_TRUE(reply.hasError) << uri;
        EXPECT_EQ(reply.status, 404u) << uri;
        EXPECT_EQ(reply.errorText, error) << uri;
    }
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_TRUE(host.Published().empty());
}

TEST_F(ClubsEndpointsTest, SummonerIdsBeyondSixtyFourBitsAreRefusedBeforeTheHandler) {
    BuildClubs();
    host.EnableClubs();
    host.ClearRecords();
    for (const std::string id : {"18446744073709551616", "99999999999999999999999", "-1", "abc"}) {
        const RestReply reply =
            host.Call(HOST_METHOD_DELETE, "/zun-clubs/v1/clubs/club-2/promotions/" + id);
        EXPECT_TRUE(reply.hasError) << id;
        EXPECT_NE(reply.errorText, "Not implemented") << id;
        EXPECT_FALSE(reply.errorText.empty()) << id;
    }
    EXPECT_TRUE(host.ServiceRequests().empty());
}

TEST_F(ClubsEndpointsTest, SameMembershipAppliedTwicePublishesThePresenceTextTwice) {
    host.EnableClubs();
    host.SendMembershipMessage();
    const std::vector<PublishedEvent> presence =
        host.PublishedOn("/zun-clubs/v1/clubs/membership/presence");
    ASSERT_EQ(presence.size(), 2u);
    EXPECT_EQ(presence[0].data, "clubs-presence:EUW1:2001::private");
    EXPECT_EQ(presence[1].data, presence[0].data);
}

TEST_F(ClubsEndpointsTest, PresenceTextIsCopiedByteForByte) {
    host.EnableClubs();
    // Opaque texts, including an empty one and one that looks like JSON, are kept as they are.
    for (const std::string& text : {std::string("a \"quoted\" {json} text\twith tab"),
                                    std::string(), std::string("\xC3\xA9t\xC3\xA9")}) {
        const json answer = {
            {"player", {{"currentAccountId", kAccountId}, {"summonerId", kSummonerId}}},
            {"secureClubPresenceInfoString", text}};
        host.SetServiceHook([&](const Host::WebRequest&) -> std::optional<Host::WebResponse> {
            return Host::WebResponse{200, {}, answer.dump()};
        });
        host.ClearRecords();
        host.SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubServiceUrl",
                              std::string("\"") + kServiceUrl + "\"");
        const std::vector<PublishedEvent> presence =
            host.PublishedOn("/zun-clubs/v1/clubs/membership/presence");
        ASSERT_EQ(presence.size(), 1u);
        EXPECT_EQ(presence[0].data, text);
        EXPECT_EQ(Get("/zun-clubs/v1/clubs/membership").value["secureClubPresenceInfoString"],
                  text);
    }
}

TEST_F(ClubsEndpointsTest, PresenceDataRecordIsRegistered) {
    const std::vector<std::string> fields = host.TypeFields("ClubsPresenceDataDto");
    EXPECT_EQ(fields,
              (std::vector<std::string>{"clubName", "clubTag", "summonerId", "summonerName"}));
}

}  // namespace
}  // namespace Kolm::ClubsTest
