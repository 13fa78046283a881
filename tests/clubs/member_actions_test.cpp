// The member actions through the real entry: the checks made before the web service is asked,
// the id each action sends, the toast and when it is raised, and the reply.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/clubs/clubs_members_fixture.h"

namespace Kolm::ClubsTest {
namespace {

class MemberActionsTest : public ClubsMembersTest {
  protected:
    // "Alpha", owned by the player: alice a member, Zed an officer, Bob invited. Loaded.
    void BuildAlpha() {
        alpha = CreateClub(kAccountId, "Alpha");
        for (const auto& [account, summonerId] :
             {std::pair{kAliceAccount, kAlice}, {kZedAccount, kZed}}) {
            InviteAs(kAccountId, alpha, summonerId);
            AnswerAs(account, alpha, 1);
        }
        ChangeAs(kAccountId, alpha, "promote", kZedAccount);
        InviteAs(kAccountId, alpha, kBob);
        host.EnableClubs();
        ASSERT_EQ(Read(kClubsApi + "/" + alpha)["name"], "Alpha");
        host.ClearRecords();
        postedBefore = Posted().size();
    }

    std::vector<json> NewToasts() const {
        const std::vector<json> all = Posted();
        return std::vector<json>(all.begin() + static_cast<long>(postedBefore), all.end());
    }

    json Toast(const std::string& detailKey,
               uint64_t summonerId,
               const std::string& name,
               const std::string& role) const {
        return MemberToast("club_member", detailKey, summonerId, name, role, alpha, "Alpha",
                           kMemberIcon);
    }

    RestReply Act(uint32_t method, const std::string& operation, uint64_t summonerId) {
        return host.Call(
            method, kClubsApi + "/" + alpha + "/" + operation + "/" + std::to_string(summonerId));
    }
    using ClubsScenario::Act;

    static std::vector<std::string> Names(const json& members) {
        std::vector<std::string> names;
        for (const json& member : members) {
            names.push_back(member.value("summonerName", "") + ":" + member.value("role", ""));
        }
        return names;
    }

    std::string alpha;
    std::size_t postedBefore = 0;
};

TEST_F(MemberActionsTest, WithdrawingAnInvitationRemovesTheInviteeAndToastsTheKick) {
    BuildAlpha();
    const RestReply reply = Act(HOST_METHOD_DELETE, "invitations", kBob);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.status, 0u);
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"POST /v1/clubs/" + alpha + "/remove/2002"});
    EXPECT_EQ(NewToasts(), std::vector<json>{Toast("clubs_kick_player", kBob, "Bob", "INVITEE")});
    EXPECT_TRUE(reply.value["invitedMembers"].empty());
    EXPECT_EQ(Names(reply.value["activeMembers"]),
              (std::vector<std::string>{"carl:OWNER", "Zed:OFFICER", "alice:MEMBER"}));
    EXPECT_EQ(reply.value, Read(kClubsApi + "/" + alpha)["members"]);
    EXPECT_TRUE(LatestPublications().at(kClubsApi + "/" + alpha + "/invitations").empty());
}

TEST_F(MemberActionsTest, RemovingAMemberToastsTheRoleHeldBeforeTheRemoval) {
    BuildAlpha();
    const RestReply reply = Act(HOST_METHOD_DELETE, "members", kZed);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"POST /v1/clubs/" + alpha + "/remove/2004"});
    EXPECT_EQ(NewToasts(), std::vector<json>{Toast("clubs_kick_player", kZed, "Zed", "OFFICER")});
    EXPECT_EQ(Names(reply.value["activeMembers"]),
              (std::vector<std::string>{"carl:OWNER", "alice:MEMBER"}));
    ASSERT_EQ(reply.value["removedMembers"].size(), 1u);
    EXPECT_EQ(reply.value["removedMembers"][0]["summonerId"], kZed);
}

TEST_F(MemberActionsTest, UnknownClubsAndPlayersAreRefusedBeforeAnyCall) {
    BuildAlpha();
    struct Case {
        uint32_t method;
        std::string operation;
        std::string unknownPlayerError;
    };
    const std::vector<Case> cases = {
        {HOST_METHOD_DELETE, "members", "CLUB_PLAYER_NOT_FOUND"},
        {HOST_METHOD_DELETE, "invitations", "CLUB_PLAYER_NOT_FOUND"},
        {HOST_METHOD_POST, "members", "CLUB_PLAYER_NOT_FOUND"},
        {HOST_METHOD_POST, "promotions", "CLUB_PLAYER_NOT_FOUND"},
        {HOST_METHOD_DELETE, "promotions", "CLUB_PLAYER_NOT_FOUND"},
        {HOST_METHOD_DELETE, "nominations", "CLUB_NOMINATION_NOT_FOUND"},
    };
    for (const Case& c : cases) {
        // The club is checked first: an unknown club wins over an unknown player.
        const RestReply noClub = host.Call(c.method, kClubsApi + "/beta/" + c.operation + "/9999");
        EXPECT_EQ(std::tie(noClub.hasError, noClub.status, noClub.errorText),
                  std::make_tuple(true, 404u, std::string("CLUB_NOT_FOUND")))
            << c.operation;
        // A key differing only in case is another club.
        const RestReply otherCase =
            host.Call(c.method, kClubsApi + "/CLUB-1/" + c.operation + "/3002");
        EXPECT_EQ(otherCase.errorText, "CLUB_NOT_FOUND") << c.operation;
        const RestReply noPlayer = Act(c.method, c.operation, 9999);
        EXPECT_EQ(std::tie(noPlayer.hasError, noPlayer.status, noPlayer.errorText),
                  std::make_tuple(true, 404u, c.unknownPlayerError))
            << c.operation;
    }
    const RestReply invite = host.Call(HOST_METHOD_POST, kClubsApi + "/beta/invitations/3005");
    EXPECT_EQ(invite.errorText, "CLUB_NOT_FOUND");
    EXPECT_TRUE(ServiceCalls().empty());
    EXPECT_TRUE(host.Published().empty());
    EXPECT_TRUE(NewToasts().empty());
}

TEST_F(MemberActionsTest, RejectingANominationAcceptsAnyListedMember) {
    BuildAlpha();
    // An invited player is not nominated, but is found in the three lists; the service decides.
    const RestReply reply = Act(HOST_METHOD_DELETE, "nominations", kBob);
    EXPECT_EQ(ServiceCalls(),
              std::vector<std::string>{"POST /v1/clubs/" + alpha + "/nominate/2002/reject"});
    EXPECT_TRUE(reply.hasError);
    EXPECT_TRUE(NewToasts().empty());
}

TEST_F(MemberActionsTest, RejectingANominationSendsTheAccountIdAndPostsNoToast) {
    BuildAlpha();
    NominateAs(kAliceAccount, alpha, kXavier);
    host.SendMembershipMessage();  // the plugin learns of the nomination
    ASSERT_EQ(Read(kClubsApi + "/" + alpha + "/nominations").size(), 1u);
    host.ClearRecords();
    postedBefore = Posted().size();

    const RestReply reply = Act(HOST_METHOD_DELETE, "nominations", kXavier);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ServiceCalls(),
              std::vector<std::string>{"POST /v1/clubs/" + alpha + "/nominate/2005/reject"});
    EXPECT_TRUE(reply.value["nominatedMembers"].empty());
    EXPECT_TRUE(NewToasts().empty());
    EXPECT_TRUE(LatestPublications().at(kClubsApi + "/" + alpha + "/nominations").empty());
}

TEST_F(MemberActionsTest, NominatingForAClubNotHeldStillAsksTheService) {
    BuildAlpha();
    const RestReply reply = host.Call(HOST_METHOD_POST, kClubsApi + "/beta/nominations/3005");
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"POST /v1/clubs/beta/nominate/3005"});
    EXPECT_EQ(std::tie(reply.hasError, reply.status, reply.errorText),
              std::make_tuple(true, 404u, std::string("CLUB_NOT_FOUND")));
    EXPECT_TRUE(NewToasts().empty());
}

TEST_F(MemberActionsTest, NominatingSendsTheSummonerIdAndToastsTheNominee) {
    // The player is a plain member of Bob's club, where members may nominate.
    const std::string bobs = CreateClub(kBobAccount, "Bobs");
    InviteAs(kBobAccount, bobs, kSummonerId);
    AnswerAs(kAccountId, bobs, 1);
    host.EnableClubs();
    host.ClearRecords();
    const std::size_t before = Posted().size();

    const RestReply reply =
        host.Call(HOST_METHOD_POST, kClubsApi + "/" + bobs + "/nominations/3005");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ServiceCalls(),
              std::vector<std::string>{"POST /v1/clubs/" + bobs + "/nominate/3005"});
    EXPECT_EQ(Names(reply.value["nominatedMembers"]), std::vector<std::string>{"Xavier:NOMINEE"});
    const std::vector<json> posted = Posted();
    ASSERT_EQ(posted.size(), before + 1);
    EXPECT_EQ(posted.back(),
              MemberToast("club_member", "clubs_nominate_sent", kXavier, "Xavier", "NOMINEE", bobs,
                          "Bobs", posted.back().value("iconUrl", "")));
}

TEST_F(MemberActionsTest, DemoteToastCarriesTheRoleAfterTheChange) {
    BuildAlpha();
    const RestReply reply = Act(HOST_METHOD_DELETE, "promotions", kZed);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"POST /v1/clubs/" + alpha + "/demote/2004"});
    EXPECT_EQ(NewToasts(), std::vector<json>{Toast("clubs_demote_player", kZed, "Zed", "MEMBER")});
    EXPECT_EQ(Names(reply.value["activeMembers"]),
              (std::vector<std::string>{"carl:OWNER", "alice:MEMBER", "Zed:MEMBER"}));
}

TEST_F(MemberActionsTest, PromoteRepliesWithTheListsAsNowHeldAndPublished) {
    BuildAlpha();
    const RestReply reply = Act(HOST_METHOD_POST, "promotions", kAlice);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ServiceCalls(),
              std::vector<std::string>{"POST /v1/clubs/" + alpha + "/promote/2003"});
    EXPECT_EQ(NewToasts(),
              std::vector<json>{Toast("clubs_promote_player", kAlice, "alice", "OFFICER")});
    const std::string club = kClubsApi + "/" + alpha;
    EXPECT_EQ(PublishedUris(), (std::vector<std::string>{club + "/members", club + "/invitations",
                                                         club + "/nominations", club}));
    const std::map<std::string, json> latest = LatestPublications();
    EXPECT_EQ(latest.at(club), Read(club));
    EXPECT_EQ(reply.value, Read(club)["members"]);
    EXPECT_EQ(latest.at(club + "/members"), reply.value["activeMembers"]);
}

TEST_F(MemberActionsTest, ARefusedPromotePassesTheRefusalOnAndChangesNothing) {
    BuildAlpha();
    const json before = Read(kClubsApi + "/" + alpha);
    host.ClearRecords();
    host.SetServiceHook(
        [](const Host::WebRequest&) { return Refusal(403, "INSUFFICIENT_PERMISSIONS"); });
    const RestReply reply = Act(HOST_METHOD_POST, "promotions", kAlice);
    EXPECT_EQ(std::tie(reply.hasError, reply.status, reply.errorText),
              std::make_tuple(true, 403u, std::string("INSUFFICIENT_PERMISSIONS")));
    EXPECT_TRUE(host.Published().empty());
    EXPECT_TRUE(NewToasts().empty());
    EXPECT_EQ(Read(kClubsApi + "/" + alpha), before);
}

TEST_F(MemberActionsTest, TransferringOwnershipToastsTheNewOwnerOnceAndRepliesWithTheClub) {
    BuildAlpha();
    const RestReply reply = Act(HOST_METHOD_POST, "members", kZed);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(ServiceCalls(),
              std::vector<std::string>{"POST /v1/clubs/" + alpha + "/ownership/2004"});
    // The owner check and the handler raise the same record; the duplicate test keeps one.
    EXPECT_EQ(NewToasts(),
              std::vector<json>{Toast("clubs_transfer_ownership", kZed, "Zed", "OWNER")});
    const std::string club = kClubsApi + "/" + alpha;
    EXPECT_EQ(reply.value, Read(club));
    EXPECT_EQ(reply.value["owner"]["summonerId"], kZed);
    ASSERT_EQ(host.PublishedOn(club + "/owner").size(), 1u);
    EXPECT_EQ(host.PublishedOn(club + "/owner")[0].data["summonerId"], kZed);
    EXPECT_EQ(Names(reply.value["members"]["activeMembers"]),
              (std::vector<std::string>{"Zed:OWNER", "carl:OFFICER", "alice:MEMBER"}));
}

TEST_F(MemberActionsTest, InvitingSendsTheInvitationRecordAndToastsTheInvitee) {
    BuildAlpha();
    const RestReply reply = Act(HOST_METHOD_POST, "invitations", kXavier);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    const std::vector<Host::WebRequest> requests = host.ServiceRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(ServiceCalls()[0], "POST /v1/clubs/" + alpha + "/invites");
    EXPECT_EQ(json::parse(requests[0].body), json({{"clubKey", alpha},
                                                   {"clubName", "Alpha"},
                                                   {"status", 0},
                                                   {"inviterPlatformId", kPlatformId},
                                                   {"inviterAccountId", kAccountId},
                                                   {"inviterSummonerId", kSummonerId},
                                                   {"inviteePlatformId", kPlatformId},
                                                   {"inviteeSummonerId", kXavier}}));
    EXPECT_EQ(NewToasts(),
              std::vector<json>{Toast("clubs_invite_sent", kXavier, "Xavier", "INVITEE")});
    EXPECT_EQ(Names(reply.value["invitedMembers"]),
              (std::vector<std::string>{"Bob:INVITEE", "Xavier:INVITEE"}));
}

TEST_F(MemberActionsTest, AFailedNotificationReadOnlyLogsForRoleChangesAndIsSilentForInvites) {
    BuildAlpha();
    host.notifications->FailReads(503, "notifications down");
    const std::string line =
        "zun-clubs: Failed to look up player notifications: Error response for GET "
        "/player-notifications/v1/notifications: notifications down";
    const long before = CountLines(kLogError, line);
    EXPECT_FALSE(Act(HOST_METHOD_POST, "promotions", kAlice).hasError);
    EXPECT_EQ(CountLines(kLogError, line), before + 1);
    EXPECT_FALSE(Act(HOST_METHOD_POST, "invitations", kXavier).hasError);
    EXPECT_EQ(CountLines(kLogError, line), before + 1);
    EXPECT_TRUE(NewToasts().empty());
}

}  // namespace
}  // namespace Kolm::ClubsTest
