// The manager's look-ups and club order on a held model, without a host.
#include "clubs/clubs_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Kolm::Client::Clubs {
namespace {

Api::ClubMember Member(uint64_t summonerId, Api::ClubRole role) {
    Api::ClubMember member;
    member.summonerId = summonerId;
    member.role = role;
    return member;
}

Api::PlayerClub Club(const std::string& key, const std::string& name) {
    Api::PlayerClub club;
    club.key = key;
    club.name = name;
    return club;
}

std::vector<std::string> Keys(const Api::PlayerClubMembership& membership) {
    std::vector<std::string> keys;
    for (const Api::PlayerClub& club : membership.activeClubs) {
        keys.push_back(club.key);
    }
    return keys;
}

class ClubsManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Api::PlayerClub club = Club("abc", "Alpha");
        club.members.activeMembers = {Member(1, Api::ClubRole::OWNER)};
        club.members.invitedMembers = {Member(2, Api::ClubRole::INVITEE)};
        club.members.nominatedMembers = {Member(3, Api::ClubRole::NOMINEE),
                                         Member(2, Api::ClubRole::NOMINEE)};
        club.members.removedMembers = {Member(4, Api::ClubRole::MEMBER)};
        manager.membership.activeClubs = {club, Club("abd", "Beta")};
    }

    ClubsManager manager;
};

TEST_F(ClubsManagerTest, FindClubComparesTheWholeKeyCaseSensitively) {
    ASSERT_NE(manager.FindClub("abc"), nullptr);
    EXPECT_EQ(manager.FindClub("abc")->name, "Alpha");
    EXPECT_EQ(manager.FindClub("ABC"), nullptr);
    EXPECT_EQ(manager.FindClub("ab"), nullptr);
    EXPECT_EQ(manager.FindClub("abc "), nullptr);
    EXPECT_EQ(manager.FindClub(""), nullptr);
}

TEST_F(ClubsManagerTest, FindMemberSearchesActiveThenInvitedThenNominated) {
    ASSERT_NE(manager.FindMember("abc", 1), nullptr);
    EXPECT_EQ(manager.FindMember("abc", 1)->role, Api::ClubRole::OWNER);
    // Invited before nominated: the first list that has the player wins.
    ASSERT_NE(manager.FindMember("abc", 2), nullptr);
    EXPECT_EQ(manager.FindMember("abc", 2)->role, Api::ClubRole::INVITEE);
    ASSERT_NE(manager.FindMember("abc", 3), nullptr);
    EXPECT_EQ(manager.FindMember("abc", 3)->role, Api::ClubRole::NOMINEE);
}

TEST_F(ClubsManagerTest, FindMemberIgnoresRemovedMembersAndClubsNotHeld) {
    EXPECT_EQ(manager.FindMember("abc", 4), nullptr);
    EXPECT_EQ(manager.FindMember("abc", 99), nullptr);
    EXPECT_EQ(manager.FindMember("ABC", 1), nullptr);
}

TEST_F(ClubsManagerTest, FindInviteMatchesClubAndInviter) {
    Api::ClubInvite first;
    first.clubKey = "k";
    first.inviterSummonerId = 7;
    first.clubName = "first";
    Api::ClubInvite second = first;
    second.clubName = "second";
    Api::ClubInvite otherInviter = first;
    otherInviter.inviterSummonerId = 8;
    manager.membership.pendingInvites = {otherInviter, first, second};

    Api::ClubInvite query;
    query.clubKey = "k";
    query.inviterSummonerId = 7;
    query.status = Api::ClubInviteStatus::ACCEPTED;  // not part of the identity
    ASSERT_NE(manager.FindInvite(query), nullptr);
    EXPECT_EQ(manager.FindInvite(query)->clubName, "first");
    query.clubKey = "K";
    EXPECT_EQ(manager.FindInvite(query), nullptr);
}

TEST(ClubsManagerOrderTest, PrimaryClubFirstThenNamesIgnoringAsciiCase) {
    ClubsManager manager;
    manager.membership.activeClubs = {Club("1", "delta"), Club("2", "Charlie"),
                                      Club("3", "bravo"), Club("4", "ALPHA"),
                                      Club("5", "alph"),  Club("6", "_under")};
    manager.membership.preferences.primaryClubKey = "1";
    manager.SortActiveClubs();
    // "_" (0x5F) sorts before lower-cased letters; a proper prefix before the longer name.
    EXPECT_EQ(Keys(manager.membership), (std::vector<std::string>{"1", "6", "5", "4", "3", "2"}));

    manager.membership.preferences.primaryClubKey.clear();
    manager.SortActiveClubs();
    EXPECT_EQ(Keys(manager.membership), (std::vector<std::string>{"6", "5", "4", "3", "2", "1"}));
}

}  // namespace
}  // namespace Kolm::Client::Clubs
