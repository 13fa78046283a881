// End to end with the web service's changes reaching the plugin as push messages: another player
// creates a club and invites the player, who accepts; then promotions, a nomination, an ownership
// transfer, a removal and leaving, made by either side. At each step the toasts are compared as a
// whole and every published resource with what the plugin's API answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/clubs/clubs_members_fixture.h"

namespace Kolm::ClubsTest {
namespace {

class ClubsMembersScenarioTest : public ClubsMembersTest {
  protected:
    // Every path published so far still carries what the API answers for it now (paths the API
    // has no read for, and those of clubs no longer held, are left out). The club list and the
    // whole membership are published when a membership is applied, not on a club's own refresh;
    // `withMembership` compares them too, after a step that applied one.
    void ExpectPublishedAsHeld(bool withMembership = false) {
        const json held = Read(kClubsApi);
        for (const auto& [uri, value] : LatestPublications()) {
            const bool aggregate = uri == kClubsApi || uri == kClubsApi + "/membership";
            if (Readable(uri, held) && (withMembership || !aggregate)) {
                EXPECT_EQ(value, Read(uri)) << uri;
            }
        }
    }

    static bool Readable(const std::string& uri, const json& held) {
        for (const char* unread :
             {"/owner", "/view", "/membership/config", "/membership/presence"}) {
            if (uri.ends_with(unread)) {
                return false;
            }
        }
        const std::string clubPrefix = kClubsApi + "/club-";
        if (!uri.starts_with(clubPrefix)) {
            return true;
        }
        const std::size_t start = kClubsApi.size() + 1;
        const std::string key = uri.substr(start, uri.find('/', start) - start);
        return std::any_of(held.begin(), held.end(),
                           [&](const json& club) { return club["key"] == key; });
    }

    std::vector<std::string> Roster(const std::string& key) {
        std::vector<std::string> roster;
        const json members = Read(kClubsApi + "/" + key)["members"];
        for (const char* list : {"activeMembers", "invitedMembers", "nominatedMembers"}) {
            for (const json& member : members[list]) {
                roster.push_back(member.value("summonerName", "") + ":" + member.value("role", ""));
            }
        }
        return roster;
    }

    json Toast(const std::string& type,
               const std::string& detailKey,
               uint64_t summonerId,
               const std::string& name,
               const std::string& role) const {
        return MemberToast(type, detailKey, summonerId, name, role, bobs, "Bobs", kMemberIcon);
    }

    std::string bobs;
};

TEST_F(ClubsMembersScenarioTest, ChangesMadeByEitherSideReachThePlugin) {
    ConnectPushMessages();
    host.EnableClubs();
    std::vector<json> toasts;

    // Bob creates a club and invites the player: the membership message brings the invitation.
    bobs = CreateClub(kBobAccount, "Bobs");
    InviteAs(kBobAccount, bobs, kSummonerId);
    toasts.push_back(Toast("club_invite", "clubs_new_invite", kBob, "Bob", "INVITEE"));
    EXPECT_EQ(Posted(), toasts);
    ASSERT_EQ(Read(kClubsApi + "/invitations").size(), 1u);
    ExpectPublishedAsHeld(true);

    // The player accepts through the API.
    const json accept = {{"clubKey", bobs}, {"inviterSummonerId", kBob}, {"status", "ACCEPTED"}};
    RestReply reply = host.Call(HOST_METHOD_PATCH, kClubsApi + "/invitations", accept.dump());
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.value["activeClubs"][0]["key"], bobs);
    EXPECT_EQ(Read(kClubsApi + "/invitations"), json::array());
    EXPECT_EQ(Roster(bobs), (std::vector<std::string>{"Bob:OWNER", "carl:MEMBER"}));
    EXPECT_EQ(Posted(), toasts);
    ExpectPublishedAsHeld(true);

    // Bob promotes the player (the player's membership changes too); alice joins.
    ChangeAs(kBobAccount, bobs, "promote", kAccountId);
    EXPECT_EQ(Read(kClubsApi + "/" + bobs)["role"], "OFFICER");
    ExpectPublishedAsHeld(true);
    InviteAs(kBobAccount, bobs, kAlice);
    EXPECT_EQ(Roster(bobs),
              (std::vector<std::string>{"Bob:OWNER", "carl:OFFICER", "alice:INVITEE"}));
    AnswerAs(kAliceAccount, bobs, 1);
    toasts.push_back(Toast("club", "clubs_player_joined", kAlice, "alice", "MEMBER"));
    EXPECT_EQ(Posted(), toasts);
    ExpectPublishedAsHeld();

    // alice nominates Xavier; the player, an officer, hears of it.
    NominateAs(kAliceAccount, bobs, kXavier);
    toasts.push_back(Toast("club", "clubs_player_nominated", kXavier, "Xavier", "NOMINEE"));
    EXPECT_EQ(Posted(), toasts);
    EXPECT_EQ(Roster(bobs), (std::vector<std::string>{"Bob:OWNER", "carl:OFFICER", "alice:MEMBER",
                                                      "Xavier:NOMINEE"}));
    ExpectPublishedAsHeld();

    // Bob hands the club to the player.
    ChangeAs(kBobAccount, bobs, "ownership", kAccountId);
    toasts.push_back(
        Toast("club_member", "clubs_transfer_ownership", kSummonerId, "carl", "OWNER"));
    EXPECT_EQ(Posted(), toasts);
    EXPECT_EQ(Read(kClubsApi + "/" + bobs)["owner"]["summonerId"], kSummonerId);
    ExpectPublishedAsHeld(true);

    // The player, now owner, promotes alice and rejects the nomination through the API.
    reply = host.Call(HOST_METHOD_POST, kClubsApi + "/" + bobs + "/promotions/3003");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    toasts.push_back(Toast("club_member", "clubs_promote_player", kAlice, "alice", "OFFICER"));
    reply = host.Call(HOST_METHOD_DELETE, kClubsApi + "/" + bobs + "/nominations/3005");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(Posted(), toasts);
    EXPECT_EQ(Roster(bobs),
              (std::vector<std::string>{"carl:OWNER", "alice:OFFICER", "Bob:OFFICER"}));
    ExpectPublishedAsHeld();

    // ... removes Bob through the API: one kick toast, no "left" toast from the push after it.
    reply = host.Call(HOST_METHOD_DELETE, kClubsApi + "/" + bobs + "/members/3002");
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    toasts.push_back(Toast("club_member", "clubs_kick_player", kBob, "Bob", "OFFICER"));
    EXPECT_EQ(Posted(), toasts);
    EXPECT_EQ(Roster(bobs), (std::vector<std::string>{"carl:OWNER", "alice:OFFICER"}));
    ExpectPublishedAsHeld();

    // alice leaves on her own: the player hears of it.
    Act(kAliceAccount, "POST", "/v1/membership/EUW1/2003/leave/" + bobs);
    toasts.push_back(Toast("club", "clubs_player_left", kAlice, "alice", "OFFICER"));
    EXPECT_EQ(Posted(), toasts);
    EXPECT_EQ(Roster(bobs), std::vector<std::string>{"carl:OWNER"});
    ExpectPublishedAsHeld();

    // The player leaves: a leave toast, no "removed" toast, and the club's topic is dropped.
    reply = host.Call(HOST_METHOD_DELETE, kClubsApi + "/" + bobs);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    toasts.push_back(ClubToast("clubs_leave", bobs, "Bobs", kMemberIcon));
    EXPECT_EQ(Posted(), toasts);
    EXPECT_EQ(Read(kClubsApi), json::array());
    ExpectPublishedAsHeld(true);
    host.ClearRecords();
    host.messaging->Deliver("clubs/v1/clubs/" + bobs, "");
    EXPECT_TRUE(host.ServiceRequests().empty());
}

}  // namespace
}  // namespace Kolm::ClubsTest
