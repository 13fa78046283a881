// Invitations through the real entry: the pending list rebuilt from each membership (blocked
// inviters declined without asking, one toast per invitation, inviter names), and answering an
// invitation (built from the held one, BLOCKED kept in chat, the membership re-read on a refusal).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/clubs/clubs_members_fixture.h"

namespace Kolm::ClubsTest {
namespace {

class InvitationsTest : public ClubsMembersTest {
  protected:
    // Bob's club "Bobs" and Zed's club "Zeds" both invite the player (not loaded yet).
    void TwoInvitations() {
        bobs = CreateClub(kBobAccount, "Bobs");
        zeds = CreateClub(kZedAccount, "Zeds");
        InviteAs(kBobAccount, bobs, kSummonerId);
        InviteAs(kZedAccount, zeds, kSummonerId);
    }

    json InviteToast(uint64_t inviter,
                     const std::string& name,
                     const std::string& key,
                     const std::string& clubName) const {
        return MemberToast("club_invite", "clubs_new_invite", inviter, name, "INVITEE", key,
                           clubName, kMemberIcon);
    }

    json Listed(const std::string& key,
                const std::string& clubName,
                uint64_t inviterAccount,
                uint64_t inviter,
                const std::string& inviterName) const {
        return {{"clubKey", key},
                {"clubName", clubName},
                {"status", "PENDING"},
                {"inviterAccountId", inviterAccount},
                {"inviterSummonerId", inviter},
                {"inviterSummonerName", inviterName},
                {"inviteeAccountId", 0},
                {"inviteeSummonerId", kSummonerId}};
    }

    std::string AnswerPath(const std::string& key) const {
        return std::string("POST /v1/membership/") + kPlatformId + "/2001/invites/" + key;
    }

    RestReply Answer(const std::string& key,
                     uint64_t inviter,
                     const std::string& status,
                     const std::string& inviterName = "") {
        const json body = {{"clubKey", key},
                           {"inviterSummonerId", inviter},
                           {"inviterSummonerName", inviterName},
                           {"status", status}};
        return host.Call(HOST_METHOD_PATCH, kClubsApi + "/invitations", body.dump());
    }

    std::string bobs;
    std::string zeds;
};

TEST_F(InvitationsTest, NewInvitationsAreToastedOnceAndListedWithTheirInviters) {
    TwoInvitations();
    host.EnableClubs();
    const std::vector<json> toasts = {InviteToast(kBob, "Bob", bobs, "Bobs"),
                                      InviteToast(kZed, "Zed", zeds, "Zeds")};
    EXPECT_EQ(Posted(), toasts);
    const json listed = json::array({Listed(bobs, "Bobs", kBobAccount, kBob, "Bob"),
                                     Listed(zeds, "Zeds", kZedAccount, kZed, "Zed")});
    EXPECT_EQ(Read(kClubsApi + "/invitations"), listed);
    EXPECT_EQ(host.PublishedOn(kClubsApi + "/invitations").back().data, listed);

    // The same membership again: the toasts are in the list already.
    host.ClearRecords();
    host.SendMembershipMessage();
    EXPECT_EQ(Posted(), toasts);
    ASSERT_EQ(host.PublishedOn(kClubsApi + "/invitations").size(), 1u);
    EXPECT_EQ(host.PublishedOn(kClubsApi + "/invitations")[0].data, listed);
}

TEST_F(InvitationsTest, FailedLookUpsGiveAnEmptyNameAndCountAsNotBlocked) {
    TwoInvitations();
    host.summoner->FailSummoner(kBob);
    host.chat->FailQueries(500, "chat down");
    host.notifications->FailReads(500, "notifications down");
    host.EnableClubs();
    // Without the list every toast counts as new; a missing name leaves the text empty.
    EXPECT_EQ(Posted(), (std::vector<json>{InviteToast(kBob, "", bobs, "Bobs"),
                                           InviteToast(kZed, "Zed", zeds, "Zeds")}));
    EXPECT_EQ(Read(kClubsApi + "/invitations"),
              json::array({Listed(bobs, "Bobs", kBobAccount, kBob, ""),
                           Listed(zeds, "Zeds", kZedAccount, kZed, "Zed")}));
    EXPECT_EQ(host.chat->Queries(), (std::vector<uint64_t>{kBob, kZed}));
}

TEST_F(InvitationsTest, ABlockedInvitersInvitationIsDeclinedNotToastedAndNotListed) {
    TwoInvitations();
    host.chat->Block(kZed, "Zed");
    host.EnableClubs();
    const std::vector<Host::WebRequest> requests = host.ServiceRequests();
    std::vector<std::string> declines;
    for (const Host::WebRequest& request : requests) {
        if (request.method == "POST") {
            declines.push_back(request.url);
            EXPECT_EQ(json::parse(request.body)["status"], 2);
        }
    }
    EXPECT_EQ(declines,
              std::vector<std::string>{std::string(kServiceUrl) + AnswerPath(zeds).substr(5)});
    EXPECT_EQ(Posted(), std::vector<json>{InviteToast(kBob, "Bob", bobs, "Bobs")});
    const json listed = json::array({Listed(bobs, "Bobs", kBobAccount, kBob, "Bob")});
    EXPECT_EQ(Read(kClubsApi + "/invitations"), listed);
    EXPECT_EQ(host.PublishedOn(kClubsApi + "/invitations").back().data, listed);
    EXPECT_EQ(Read(kClubsApi + "/membership")["pendingInvites"], listed);
}

TEST_F(InvitationsTest, AServiceThatKeepsListingADeclinedInvitationIsDeclinedOnlyOnce) {
    TwoInvitations();
    host.chat->Block(kZed, "Zed");
    // The service accepts the decline but answers the membership as it was, still listing it.
    const std::string stale =
        host.service
            .HandleAs(kAccountId, "GET", std::string(kServiceUrl) + "/v1/membership/EUW1/2001")
            .body;
    host.SetServiceHook([&](const Host::WebRequest& request) -> std::optional<Host::WebResponse> {
        if (request.method != "POST") {
            return std::nullopt;
        }
        return Host::WebResponse{200, {{"Content-Type", "application/json"}}, stale};
    });
    host.EnableClubs();
    std::size_t declines = 0;
    for (const std::string& call : ServiceCalls()) {
        declines += call == AnswerPath(zeds);
    }
    EXPECT_EQ(declines, 1u);
    EXPECT_EQ(Posted(), std::vector<json>{InviteToast(kBob, "Bob", bobs, "Bobs")});
    EXPECT_EQ(Read(kClubsApi + "/invitations"),
              json::array({Listed(bobs, "Bobs", kBobAccount, kBob, "Bob")}));

    // A later application is a new one: it declines again, once.
    host.ClearRecords();
    host.SendMembershipMessage();
    declines = 0;
    for (const std::string& call : ServiceCalls()) {
        declines += call == AnswerPath(zeds);
    }
    EXPECT_EQ(declines, 1u);
}

TEST_F(InvitationsTest, AFailedAutomaticDeclineLeavesTheInvitationOutWithoutAToast) {
    TwoInvitations();
    host.chat->Block(kBob, "Bob");
    host.SetServiceHook([](const Host::WebRequest& request) -> std::optional<Host::WebResponse> {
        if (request.method == "POST") {
            return Refusal(500, "INTERNAL");
        }
        return std::nullopt;
    });
    host.EnableClubs();
    EXPECT_EQ(Posted(), std::vector<json>{InviteToast(kZed, "Zed", zeds, "Zeds")});
    EXPECT_EQ(Read(kClubsApi + "/invitations"),
              json::array({Listed(zeds, "Zeds", kZedAccount, kZed, "Zed")}));
}

TEST_F(InvitationsTest, AnsweringBlockedKeepsTheBlockInChatAndDeclinesAtTheService) {
    TwoInvitations();
    host.EnableClubs();
    host.ClearRecords();
    const RestReply reply = Answer(bobs, kBob, "BLOCKED", "Bobby");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(host.chat->PostedBlocks(),
              (std::vector<Host::SimulatedChat::BlockedPlayer>{{kBob, "Bobby"}}));
    const std::vector<Host::WebRequest> requests = host.ServiceRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(ServiceCalls()[0], AnswerPath(bobs));
    // Built from the held invitation; the service never hears BLOCKED.
    EXPECT_EQ(json::parse(requests[0].body), json({{"clubKey", bobs},
                                                   {"clubName", "Bobs"},
                                                   {"status", 2},
                                                   {"inviterPlatformId", kPlatformId},
                                                   {"inviterAccountId", kBobAccount},
                                                   {"inviterSummonerId", kBob},
                                                   {"inviteePlatformId", kPlatformId},
                                                   {"inviteeSummonerId", kSummonerId},
                                                   {"inviteeAccountId", kAccountId}}));
    EXPECT_EQ(reply.value["pendingInvites"],
              json::array({Listed(zeds, "Zeds", kZedAccount, kZed, "Zed")}));
    EXPECT_EQ(reply.value, Read(kClubsApi + "/membership"));
}

TEST_F(InvitationsTest, AFailedBlockInChatStillDeclines) {
    TwoInvitations();
    host.EnableClubs();
    host.chat->FailPosts(500, "chat down");
    host.ClearRecords();
    const RestReply reply = Answer(bobs, kBob, "BLOCKED", "Bob");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    ASSERT_FALSE(host.ServiceRequests().empty());
    EXPECT_EQ(json::parse(host.ServiceRequests()[0].body)["status"], 2);
    EXPECT_EQ(reply.value["pendingInvites"].size(), 1u);
}

TEST_F(InvitationsTest, AcceptingBringsTheClubInAndFollowsItsTopic) {
    TwoInvitations();
    host.EnableClubs();
    host.ClearRecords();
    const RestReply reply = Answer(bobs, kBob, "ACCEPTED");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    ASSERT_EQ(reply.value["activeClubs"].size(), 1u);
    EXPECT_EQ(reply.value["activeClubs"][0]["key"], bobs);
    EXPECT_EQ(reply.value["activeClubs"][0]["role"], "MEMBER");
    EXPECT_EQ(host.messaging->TopicReads("clubs/v1/clubs/" + bobs), 1u);
    EXPECT_EQ(Read(kClubsApi + "/invitations"),
              json::array({Listed(zeds, "Zeds", kZedAccount, kZed, "Zed")}));
}

TEST_F(InvitationsTest, AnUnknownInvitationIsRefusedWithoutAnyCall) {
    TwoInvitations();
    host.EnableClubs();
    host.ClearRecords();
    const std::size_t chatCalls = host.chat->ReceivedRequests().size();
    for (const auto& [key, inviter] : {std::pair{bobs, kZed}, {std::string("club-9"), kBob}}) {
        const RestReply reply = Answer(key, inviter, "BLOCKED", "x");
        EXPECT_EQ(std::tie(reply.hasError, reply.status, reply.errorText),
                  std::make_tuple(true, 404u, std::string("CLUB_INVITE_NOT_FOUND")));
    }
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_EQ(host.chat->ReceivedRequests().size(), chatCalls);
    EXPECT_TRUE(host.Published().empty());
}

TEST_F(InvitationsTest, ARefusedAcceptanceRereadsTheMembershipAndPassesTheRefusalOn) {
    TwoInvitations();
    host.EnableClubs();
    // Meanwhile Bob withdrew his invitation; the plugin has not heard of it.
    ChangeAs(kBobAccount, bobs, "remove", kAccountId);
    host.ClearRecords();
    const RestReply reply = Answer(bobs, kBob, "ACCEPTED");
    EXPECT_EQ(std::tie(reply.hasError, reply.status, reply.errorText),
              std::make_tuple(true, 404u, std::string("CLUB_INVITE_NOT_FOUND")));
    EXPECT_EQ(ServiceCalls(),
              (std::vector<std::string>{AnswerPath(bobs), "GET /v1/membership/EUW1/2001"}));
    const json listed = json::array({Listed(zeds, "Zeds", kZedAccount, kZed, "Zed")});
    EXPECT_EQ(host.PublishedOn(kClubsApi + "/invitations").back().data, listed);
    EXPECT_EQ(Read(kClubsApi + "/membership")["pendingInvites"], listed);
}

}  // namespace
}  // namespace Kolm::ClubsTest
