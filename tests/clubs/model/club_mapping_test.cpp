#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clubs/model/club_mapping.h"
#include "logging/logger.h"

namespace Kolm::Client::Clubs::Api {
namespace {

// Collects the lines the logger hands on, while attached.
class CapturingTarget : public LogTarget {
  public:
    const char* Name() const override { return "CapturingTarget"; }
    void Write(const LogRecord& record) override {
        lines.push_back({record.level, record.groups, record.message});
    }
    struct Line {
        int32_t level;
        uint64_t groups;
        std::string message;
    };
    std::vector<Line> lines;
};

MemberSinceDto Entry(uint64_t accountId, uint64_t summonerId, const char* role, int64_t since = 0) {
    MemberSinceDto entry;
    entry.playerInfo.currentPlatformId = "OTHER";
    entry.playerInfo.currentAccountId = accountId;
    entry.playerInfo.summonerId = summonerId;
    entry.role = role;
    entry.since = since;
    return entry;
}

TEST(ClubRoleFromTextTest, ComparesWholeTextCaseSensitively) {
    EXPECT_EQ(ClubRoleFromText("OWNER"), ClubRole::OWNER);
    EXPECT_EQ(ClubRoleFromText("OFFICER"), ClubRole::OFFICER);
    EXPECT_EQ(ClubRoleFromText("MEMBER"), ClubRole::MEMBER);
    EXPECT_EQ(ClubRoleFromText("INVITEE"), ClubRole::INVITEE);
    EXPECT_EQ(ClubRoleFromText("NOMINEE"), ClubRole::NOMINEE);
    for (const char* other : {"UNKNOWN", "owner", "", "OWNER ", "OWNERS"}) {
        EXPECT_EQ(ClubRoleFromText(other), ClubRole::UNKNOWN) << other;
    }
}

TEST(MapClubRoleTest, NamesEveryRole) {
    EXPECT_EQ(MapClubRole(ClubRole::UNKNOWN), "UNKNOWN");
    EXPECT_EQ(MapClubRole(ClubRole::OWNER), "OWNER");
    EXPECT_EQ(MapClubRole(ClubRole::OFFICER), "OFFICER");
    EXPECT_EQ(MapClubRole(ClubRole::MEMBER), "MEMBER");
    EXPECT_EQ(MapClubRole(ClubRole::INVITEE), "INVITEE");
    EXPECT_EQ(MapClubRole(ClubRole::NOMINEE), "NOMINEE");
}

TEST(MapClubRoleTest, UnknownNumberLogsAnErrorAndGivesUnknown) {
    Logger& logger = Logger::AddReference();
    CapturingTarget target;
    logger.AttachTarget(target, kLogOkay, 0, 0, "#M");
    EXPECT_EQ(MapClubRole(static_cast<ClubRole>(6)), "Unknown");
    logger.DetachTarget(target);
    Logger::ReleaseReference();
    ASSERT_EQ(target.lines.size(), 1u);
    EXPECT_EQ(target.lines[0].level, kLogError);
    EXPECT_EQ(target.lines[0].groups, static_cast<uint64_t>(kLogGroupDbg));
    EXPECT_EQ(target.lines[0].message, "zun-clubs: MapClubRole() called with unknown type of 6");
}

TEST(MapMemberTest, TakesIdsTimeAndRoleAndDropsThePlatform) {
    const ClubMember member = MapMember(Entry(11, 22, "OFFICER", 1234567890123));
    EXPECT_EQ(member.accountId, 11u);
    EXPECT_EQ(member.summonerId, 22u);
    EXPECT_EQ(member.since, 1234567890123);
    EXPECT_EQ(member.role, ClubRole::OFFICER);
    EXPECT_EQ(member.summonerName, "");
    EXPECT_EQ(member.summonerIconId, -1);
    EXPECT_EQ(MapMember(Entry(1, 2, "owner")).role, ClubRole::UNKNOWN);
    EXPECT_EQ(MapMember(Entry(1, 2, "NOMINEE")).role, ClubRole::NOMINEE);
}

TEST(MapMemberListsTest, ForcesInviteeAndNomineeRolesAndKeepsOrder) {
    ClubMembershipDto membership;
    membership.activeMembers = {Entry(1, 10, "OWNER"), Entry(2, 20, "MEMBER")};
    membership.invitedMembers = {Entry(3, 30, "MEMBER")};
    membership.nominatedMembers = {Entry(4, 40, "OFFICER")};
    membership.removedMembers = {Entry(5, 50, "OFFICER")};
    ClubMemberLists lists;
    MapMemberLists(membership, lists);
    ASSERT_EQ(lists.activeMembers.size(), 2u);
    EXPECT_EQ(lists.activeMembers[0].summonerId, 10u);
    EXPECT_EQ(lists.activeMembers[0].role, ClubRole::OWNER);
    EXPECT_EQ(lists.activeMembers[1].role, ClubRole::MEMBER);
    ASSERT_EQ(lists.invitedMembers.size(), 1u);
    EXPECT_EQ(lists.invitedMembers[0].role, ClubRole::INVITEE);
    ASSERT_EQ(lists.nominatedMembers.size(), 1u);
    EXPECT_EQ(lists.nominatedMembers[0].role, ClubRole::NOMINEE);
    ASSERT_EQ(lists.removedMembers.size(), 1u);
    EXPECT_EQ(lists.removedMembers[0].role, ClubRole::OFFICER);
}

TEST(MapMemberListsTest, ReplacesWhatTheListsHeld) {
    ClubMemberLists lists;
    lists.activeMembers.resize(3);
    lists.invitedMembers.resize(2);
    lists.nominatedMembers.resize(1);
    lists.removedMembers.resize(4);
    ClubMembershipDto membership;
    membership.activeMembers = {Entry(7, 70, "MEMBER")};
    MapMemberLists(membership, lists);
    ASSERT_EQ(lists.activeMembers.size(), 1u);
    EXPECT_EQ(lists.activeMembers[0].accountId, 7u);
    EXPECT_TRUE(lists.invitedMembers.empty());
    EXPECT_TRUE(lists.nominatedMembers.empty());
    EXPECT_TRUE(lists.removedMembers.empty());
}

ClubDataDto Data(const char* role) {
    ClubDataDto data;
    data.clubKey = "key";
    data.name = "name";
    data.tag = "TAG";
    data.description = "description";
    data.motd = "motd";
    data.createdTs = 100;
    data.lastModifiedTs = 200;
    data.jid = "key@chat";
    data.role = role;
    data.permissionMap.ADMIN = {"INVITE"};
    data.permissionMap.UNKNOWN = {"NOMINATE"};
    return data;
}

TEST(MapClubTest, CopiesScalarsAndPermissionsButLeavesOwnerPrimaryAndMembers) {
    PlayerClub club;
    club.primary = true;
    club.owner.accountId = 99;
    club.members.activeMembers.resize(2);
    MapClub(Data("OFFICER"), club);
    EXPECT_EQ(club.key, "key");
    EXPECT_EQ(club.name, "name");
    EXPECT_EQ(club.tag, "TAG");
    EXPECT_EQ(club.description, "description");
    EXPECT_EQ(club.motd, "motd");
    EXPECT_EQ(club.created, 100);
    EXPECT_EQ(club.lastModified, 200);
    EXPECT_EQ(club.jid, "key@chat");
    EXPECT_EQ(club.role, ClubRole::OFFICER);
    EXPECT_EQ(club.permissions.ADMIN, std::vector<std::string>{"INVITE"});
    EXPECT_EQ(club.permissions.UNKNOWN, std::vector<std::string>{"NOMINATE"});
    EXPECT_TRUE(club.primary);
    EXPECT_EQ(club.owner.accountId, 99u);
    EXPECT_EQ(club.members.activeMembers.size(), 2u);
    EXPECT_FALSE(club.isClubTagEligible);
}

TEST(MapClubTest, NomineeAndUnknownTextsLeaveTheRoleAsItWas) {
    PlayerClub fresh;
    MapClub(Data("NOMINEE"), fresh);
    EXPECT_EQ(fresh.role, ClubRole::UNKNOWN);

    PlayerClub held;
    held.role = ClubRole::MEMBER;
    MapClub(Data("NOMINEE"), held);
    EXPECT_EQ(held.role, ClubRole::MEMBER);
    MapClub(Data("member"), held);
    EXPECT_EQ(held.role, ClubRole::MEMBER);
    MapClub(Data("UNKNOWN"), held);
    EXPECT_EQ(held.role, ClubRole::UNKNOWN);
    MapClub(Data("INVITEE"), held);
    EXPECT_EQ(held.role, ClubRole::INVITEE);
}

}  // namespace
}  // namespace Kolm::Client::Clubs::Api
