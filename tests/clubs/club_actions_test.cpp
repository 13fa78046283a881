// The club actions through the real entry: create, leave, tag and message of the day, and the
// refresh that follows a club answer (joined, left and nominated members, a new owner, the
// member order), with the web service's refusals passed on unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/clubs/clubs_scenario.h"

namespace Kolm::ClubsTest {
namespace {

const std::string kClubs = "/zun-clubs/v1/clubs";

std::vector<std::string> Names(const json& members) {
    std::vector<std::string> names;
    for (const json& member : members) {
        names.push_back(member.value("summonerName", ""));
    }
    return names;
}

std::vector<std::string> ClubKeys(const json& clubs) {
    std::vector<std::string> keys;
    for (const json& club : clubs) {
        keys.push_back(club.value("key", ""));
    }
    return keys;
}

using ClubActionsTest = ClubsScenario;

// --- Create ---

TEST_F(ClubActionsTest, CreateRepliesWithTheNewClubAsHeldAndPublishesIt) {
    host.EnableClubs();
    host.ClearRecords();

    const RestReply reply =
        host.Call(HOST_METHOD_POST, kClubs + "/membership", R"({"name":"Delta"})");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.status, 0u);
    const std::string key = host.service.FindClubKeyByName("Delta").value_or("?");
    EXPECT_EQ(reply.value["key"], key);
    EXPECT_EQ(reply.value["name"], "Delta");
    EXPECT_EQ(reply.value["role"], "OWNER");
    EXPECT_EQ(reply.value["owner"]["summonerId"], kSummonerId);
    ASSERT_EQ(reply.value["members"]["activeMembers"].size(), 1u);
    EXPECT_EQ(reply.value["members"]["activeMembers"][0]["summonerName"], "carl");
    EXPECT_EQ(reply.value["members"]["activeMembers"][0]["summonerIconId"], 11);

    // Create, then the membership read that brings the club in.
    const std::vector<Host::WebRequest> requests = host.ServiceRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method + " " + requests[0].url,
              std::string("POST ") + kServiceUrl + "/v1/clubs?clubName=Delta");
    EXPECT_EQ(requests[1].method + " " + requests[1].url,
              std::string("GET ") + kServiceUrl + "/v1/membership/EUW1/2001");

    const std::vector<PublishedEvent> club = host.PublishedOn(kClubs + "/" + key);
    ASSERT_FALSE(club.empty());
    EXPECT_EQ(club.back().eventType, 1);
    EXPECT_EQ(club.back().data, reply.value);
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/" + key).value, reply.value);
}

TEST_F(ClubActionsTest, CreateRefusalIsPassedOnAndChangesNothing) {
    host.EnableClubs();
    host.ClearRecords();

    const RestReply reply = host.Call(HOST_METHOD_POST, kClubs + "/membership", R"({"name":"ab"})");
    EXPECT_TRUE(reply.hasError);
    EXPECT_EQ(reply.status, 400u);
    EXPECT_EQ(reply.errorText, "CLUB_NAME_TOO_SHORT");
    EXPECT_EQ(host.ServiceRequests().size(), 1u);
    EXPECT_TRUE(host.Published().empty());
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs).value, json::array());
}

TEST_F(ClubActionsTest, CreatedClubNotHeldAfterAFailedReadIsRepliedAsTheServiceSentIt) {
    host.EnableClubs();
    host.ClearRecords();
    host.SetServiceHook([](const Host::WebRequest& request) -> std::optional<Host::WebResponse> {
        if (request.method == "GET") {
            return Host::WebResponse{503, {}, R"({"errorCode":"UNAVAILABLE"})"};
        }
        return std::nullopt;
    });

    const RestReply reply =
        host.Call(HOST_METHOD_POST, kClubs + "/membership", R"({"name":"Delta"})");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    const std::string key = host.service.FindClubKeyByName("Delta").value_or("?");
    EXPECT_EQ(reply.value["key"], key);
    EXPECT_EQ(reply.value["name"], "Delta");
    EXPECT_EQ(reply.value["owner"]["summonerId"], kSummonerId);
    EXPECT_EQ(reply.value["members"]["activeMembers"][0]["summonerId"], kSummonerId);
    // Not held, so not published, and the next membership read brings it in.
    EXPECT_TRUE(host.Published().empty());
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/" + key).errorText, "CLUB_NOT_FOUND");
}

// --- Leave ---

TEST_F(ClubActionsTest, LeavePostsOneLeaveToastAndNoRemovedToast) {
    const std::string beta = CreateClub(kBobAccount, "Beta");
    Join(kBobAccount, beta, kAccountId, kSummonerId);
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    host.EnableClubs();
    host.ClearRecords();

    const RestReply reply = Delete(kClubs + "/" + beta);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ClubKeys(reply.value["activeClubs"]), std::vector<std::string>{alpha});
    EXPECT_EQ(reply.value, host.Call(HOST_METHOD_GET, kClubs + "/membership").value);

    EXPECT_EQ(Posted(), std::vector<json>{ClubToast("clubs_leave", beta, "Beta", kMemberIcon)});
    const std::vector<PublishedEvent> clubs = host.PublishedOn(kClubs);
    ASSERT_EQ(clubs.size(), 1u);
    EXPECT_EQ(ClubKeys(clubs[0].data), std::vector<std::string>{alpha});
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/" + beta).errorText, "CLUB_NOT_FOUND");
}

TEST_F(ClubActionsTest, AfterALeaveAVanishedClubIsToastedAsRemoved) {
    const std::string beta = CreateClub(kBobAccount, "Beta");
    const std::string gamma = CreateClub(kBobAccount, "Gamma");
    Join(kBobAccount, beta, kAccountId, kSummonerId);
    Join(kBobAccount, gamma, kAccountId, kSummonerId);
    host.EnableClubs();
    ASSERT_FALSE(Delete(kClubs + "/" + beta).hasError);

    // Bob removes the player from Gamma; the membership message brings the news.
    Act(kBobAccount, "POST", "/v1/clubs/" + gamma + "/remove/" + std::to_string(kAccountId));
    host.SendMembershipMessage();
    EXPECT_EQ(Posted(),
              (std::vector<json>{ClubToast("clubs_leave", beta, "Beta", kMemberIcon),
                                 ClubToast("clubs_removed", gamma, "Gamma", kMemberIcon)}));
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs).value, json::array());
}

TEST_F(ClubActionsTest, LeavingAClubNotHeldRepliesNotFoundWithoutCallingTheService) {
    host.EnableClubs();
    host.ClearRecords();
    const RestReply reply = Delete(kClubs + "/club-9");
    EXPECT_TRUE(reply.hasError);
    EXPECT_EQ(reply.status, 404u);
    EXPECT_EQ(reply.errorText, "CLUB_NOT_FOUND");
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_TRUE(host.Published().empty());
}

TEST_F(ClubActionsTest, LeaveRefusalIsPassedOnAndTheClubStaysHeld) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    Join(kAccountId, alpha, kBobAccount, kBob);
    host.EnableClubs();
    const json before = host.Call(HOST_METHOD_GET, kClubs + "/membership").value;
    host.ClearRecords();
    const std::size_t readsBefore = NotificationReads();

    const RestReply reply = Delete(kClubs + "/" + alpha);
    EXPECT_TRUE(reply.hasError);
    EXPECT_EQ(reply.status, 409u);
    EXPECT_EQ(reply.errorText, "OWNER_CANNOT_LEAVE");
    EXPECT_TRUE(host.Published().empty());
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(NotificationReads(), readsBefore);
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/membership").value, before);

    // Nothing of the refused leave lingers: losing the club later is toasted.
    Act(kAccountId, "POST", "/v1/clubs/" + alpha + "/ownership/" + std::to_string(kBobAccount));
    Act(kBobAccount, "POST", "/v1/clubs/" + alpha + "/remove/" + std::to_string(kAccountId));
    host.SendMembershipMessage();
    EXPECT_EQ(PostedDetailKeys(), std::vector<std::string>{"clubs_removed"});
}

TEST_F(ClubActionsTest, LeaveSucceedsWhenTheNotificationsCannotBeRead) {
    const std::string beta = CreateClub(kBobAccount, "Beta");
    Join(kBobAccount, beta, kAccountId, kSummonerId);
    host.EnableClubs();
    host.notifications->FailReads(500, "notifications down");

    const RestReply reply = Delete(kClubs + "/" + beta);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.value["activeClubs"], json::array());
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(CountLines(kLogError,
                         "zun-clubs: Failed to look up player notifications: Error response for "
                         "GET /player-notifications/v1/notifications: notifications down"),
              1);
}

// --- Tag and message of the day ---

TEST_F(ClubActionsTest, SetTagRepliesWithTheRefreshedClubAndOnlyThePreferredClubIsPrimary) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    const std::string beta = CreateClub(kAccountId, "Beta");
    Act(kAccountId, "PUT", std::string("/v1/membership/EUW1/") + std::to_string(kAccountId),
        json{{"primaryActiveClubKey", beta}, {"shareClubAffiliation", true}}.dump());
    host.EnableClubs();
    host.ClearRecords();

    const RestReply tagged = Patch(kClubs + "/" + alpha, R"({"tag":"ALP"})");
    ASSERT_FALSE(tagged.hasError) << tagged.errorText;
    EXPECT_EQ(tagged.value["tag"], "ALP");
    EXPECT_EQ(tagged.value["primary"], false);
    EXPECT_EQ(tagged.value, host.Call(HOST_METHOD_GET, kClubs + "/" + alpha).value);

    const RestReply primary = Patch(kClubs + "/" + beta, R"({"tag":"BET"})");
    ASSERT_FALSE(primary.hasError) << primary.errorText;
    EXPECT_EQ(primary.value["primary"], true);

    // The refresh publishes the club's paths in this order, each with the held value.
    std::vector<std::string> uris;
    for (const PublishedEvent& event : host.Published()) {
        if (event.uri.rfind(kClubs + "/" + alpha, 0) == 0) {
            uris.push_back(event.uri);
            EXPECT_EQ(event.eventType, 1);
        }
    }
    const std::string path = kClubs + "/" + alpha;
    EXPECT_EQ(uris, (std::vector<std::string>{path + "/members", path + "/invitations",
                                              path + "/nominations", path, path, path + "/motd"}));
    EXPECT_EQ(host.PublishedOn(path).back().data, tagged.value);
    EXPECT_EQ(host.PublishedOn(path + "/motd").back().data, "");
}

TEST_F(ClubActionsTest, SetMotdRefusalIsPassedOnAndNothingIsPublished) {
    const std::string beta = CreateClub(kBobAccount, "Beta");
    Join(kBobAccount, beta, kAccountId, kSummonerId);
    host.EnableClubs();
    host.ClearRecords();

    const RestReply reply = Patch(kClubs + "/" + beta + "/motd", R"({"motd":"Hi"})");
    EXPECT_TRUE(reply.hasError);
    EXPECT_EQ(reply.status, 403u);
    EXPECT_EQ(reply.errorText, "INSUFFICIENT_PERMISSIONS");
    EXPECT_TRUE(host.Published().empty());
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/" + beta + "/motd").value, "");
}

TEST_F(ClubActionsTest, SetMotdOfAClubNoLongerHeldRepliesWithTheServiceClubAndStoresNothing) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    host.EnableClubs();
    // The player joins Gamma elsewhere; the plugin has not heard of it yet.
    const std::string gamma = CreateClub(kBobAccount, "Gamma");
    Join(kBobAccount, gamma, kAccountId, kSummonerId);
    Promote(kBobAccount, gamma, kAccountId);
    host.ClearRecords();

    const RestReply reply = Patch(kClubs + "/" + gamma + "/motd", R"({"motd":"Hello"})");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.value["key"], gamma);
    EXPECT_EQ(reply.value["motd"], "Hello");
    EXPECT_EQ(reply.value["role"], "OFFICER");
    EXPECT_EQ(reply.value["owner"]["summonerId"], kBob);
    EXPECT_TRUE(host.Published().empty());
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(ClubKeys(host.Call(HOST_METHOD_GET, kClubs).value), std::vector<std::string>{alpha});
}

// --- Refresh after a club answer ---

TEST_F(ClubActionsTest, TwoJoinedAndOneLeftPostThreeToastsJoinedFirst) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    Join(kAccountId, alpha, kXavierAccount, kXavier);
    host.EnableClubs();
    Join(kAccountId, alpha, kZedAccount, kZed);
    Join(kAccountId, alpha, kAliceAccount, kAlice);
    Act(kXavierAccount, "POST",
        std::string("/v1/membership/EUW1/") + std::to_string(kXavierAccount) + "/leave/" + alpha);
    const std::size_t readsBefore = NotificationReads();

    ASSERT_FALSE(Patch(kClubs + "/" + alpha + "/motd", R"({"motd":"Hi"})").hasError);
    EXPECT_EQ(Posted(),
              (std::vector<json>{MemberToast("club", "clubs_player_joined", kZed, "Zed", "MEMBER",
                                             alpha, "Alpha", kMemberIcon),
                                 MemberToast("club", "clubs_player_joined", kAlice, "alice",
                                             "MEMBER", alpha, "Alpha", kMemberIcon),
                                 MemberToast("club", "clubs_player_left", kXavier, "Xavier",
                                             "MEMBER", alpha, "Alpha", kMemberIcon)}));
    EXPECT_EQ(NotificationReads(), readsBefore + 3);
    EXPECT_EQ(host.summoner->SingleReads(), (std::vector<uint64_t>{kZed, kAlice}));
}

TEST_F(ClubActionsTest, MembersArePublishedOwnerThenOfficersThenByNameIgnoringCase) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    Join(kAccountId, alpha, kBobAccount, kBob);
    Join(kAccountId, alpha, kAliceAccount, kAlice);
    Join(kAccountId, alpha, kZedAccount, kZed);
    Promote(kAccountId, alpha, kZedAccount);
    host.EnableClubs();

    const std::vector<PublishedEvent> members = host.PublishedOn(kClubs + "/" + alpha + "/members");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(Names(members[0].data), (std::vector<std::string>{"carl", "Zed", "alice", "Bob"}));
    EXPECT_EQ(members[0].data[1]["role"], "OFFICER");
    EXPECT_EQ(members[0].data[1]["summonerIconId"], 14);
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/" + alpha + "/members").value, members[0].data);
}

TEST_F(ClubActionsTest, NewNominationsAreToastedOnlyToOwnersAndOfficers) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    const std::string beta = CreateClub(kBobAccount, "Beta");
    Join(kAccountId, alpha, kBobAccount, kBob);
    Join(kBobAccount, beta, kAccountId, kSummonerId);
    Join(kBobAccount, beta, kZedAccount, kZed);
    host.EnableClubs();
    // Bob nominates alice to Alpha, where the player owns; Zed nominates her to Beta, where the
    // player is a plain member.
    Act(kBobAccount, "POST", "/v1/clubs/" + alpha + "/nominate/" + std::to_string(kAlice));
    Act(kZedAccount, "POST", "/v1/clubs/" + beta + "/nominate/" + std::to_string(kAlice));
    host.ClearRecords();

    host.SendMembershipMessage();
    EXPECT_EQ(Posted(),
              std::vector<json>{MemberToast("club", "clubs_player_nominated", kAlice, "alice",
                                            "NOMINEE", alpha, "Alpha", kMemberIcon)});
    const json nominations = host.Call(HOST_METHOD_GET, kClubs + "/" + beta + "/nominations").value;
    ASSERT_EQ(nominations.size(), 1u);
    EXPECT_EQ(nominations[0]["summonerName"], "alice");
}

TEST_F(ClubActionsTest, AChangedOwnerIsPublishedOnceAndToastedOnce) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    Join(kAccountId, alpha, kBobAccount, kBob);
    host.EnableClubs();
    // The first time a club is stored there is no owner to compare with.
    EXPECT_TRUE(host.PublishedOn(kClubs + "/" + alpha + "/owner").empty());
    EXPECT_TRUE(Posted().empty());

    Act(kAccountId, "POST", "/v1/clubs/" + alpha + "/ownership/" + std::to_string(kBobAccount));
    host.SendMembershipMessage();

    const std::vector<PublishedEvent> owner = host.PublishedOn(kClubs + "/" + alpha + "/owner");
    ASSERT_EQ(owner.size(), 1u);
    EXPECT_EQ(owner[0].eventType, 1);
    EXPECT_EQ(owner[0].data["summonerId"], kBob);
    EXPECT_EQ(owner[0].data["role"], "OWNER");
    EXPECT_EQ(Posted(),
              std::vector<json>{MemberToast("club_member", "clubs_transfer_ownership", kBob, "Bob",
                                            "OWNER", alpha, "Alpha", kMemberIcon)});
    const json club = host.Call(HOST_METHOD_GET, kClubs + "/" + alpha).value;
    EXPECT_EQ(club["owner"], owner[0].data);
    EXPECT_EQ(club["role"], "OFFICER");
}

TEST_F(ClubActionsTest, AnOwnerWhoseNameCannotBeReadIsPublishedWithoutAToast) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    Join(kAccountId, alpha, kBobAccount, kBob);
    host.EnableClubs();
    Act(kAccountId, "POST", "/v1/clubs/" + alpha + "/ownership/" + std::to_string(kBobAccount));
    host.summoner->FailCalls(Host::SimulatedSummoner::kNamesPath, 503, "names down");

    host.SendMembershipMessage();
    EXPECT_EQ(host.PublishedOn(kClubs + "/" + alpha + "/owner").size(), 1u);
    EXPECT_TRUE(Posted().empty());
}

}  // namespace
}  // namespace Kolm::ClubsTest
