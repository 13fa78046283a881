// Clubs, roles, invitations, nominations and ownership.
#include "tests/host/clubs_web_service/clubs_web_service_fixture.h"

namespace Kolm::Host {
namespace {

TEST_F(ClubsWebServiceTest, CreatingAClubMakesTheCallerItsOwner) {
    const WebResponse created = As(kOwner, "POST", "/v1/clubs?clubName=A%20%26%20B");
    ASSERT_EQ(created.status, 200) << created.body;
    const rapidjson::Document club = Json(created);
    const std::string key = club["clubData"]["clubKey"].GetString();
    EXPECT_STREQ(club["clubData"]["name"].GetString(), "A & B");
    EXPECT_STREQ(club["clubData"]["role"].GetString(), "OWNER");
    EXPECT_EQ(club["clubData"]["jid"].GetString(), key + "@clubs.chat.local");
    EXPECT_EQ(club["clubData"]["permissionMap"]["MEMBER"].Size(), 1u);
    EXPECT_EQ(ActiveRoles(key), "1:OWNER");
    EXPECT_EQ(service.FindClubKeyByName("A & B"), key);
    const rapidjson::Document membership = Json(As(kOwner, "GET", MembershipPath(kOwner)));
    EXPECT_EQ(membership["activeClubs"].Size(), 1u);
}

TEST_F(ClubsWebServiceTest, ClubNamesFollowTheLimitsAndAreUnique) {
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", "/v1/clubs")), "INVALID_CLUB_NAME");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", "/v1/clubs?clubName=ab")), "CLUB_NAME_TOO_SHORT");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", "/v1/clubs?clubName=" + std::string(25, 'x'))),
              "CLUB_NAME_TOO_LONG");
    // Limits count characters: thirteen two-byte letters are thirteen, not twenty-six.
    std::string accented;
    for (int i = 0; i < 13; ++i)
        accented += "%C3%A9";
    EXPECT_EQ(As(kOwner, "POST", "/v1/clubs?clubName=" + accented).status, 200);
    EXPECT_EQ(As(kOwner, "POST", "/v1/clubs?clubName=Unique").status, 200);
    const WebResponse taken = As(kMember, "POST", "/v1/clubs?clubName=UNIQUE");
    EXPECT_EQ(taken.status, 409);
    EXPECT_EQ(ErrorCode(taken), "CLUB_NAME_TAKEN");
}

TEST_F(ClubsWebServiceTest, OnlyMembersAndInviteesSeeAClub) {
    const std::string key = MakeClub();
    EXPECT_EQ(ErrorCode(As(kOutsider, "GET", "/v1/clubs/" + key)), "NOT_A_MEMBER");
    As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider));
    const WebResponse seen = As(kOutsider, "GET", "/v1/clubs/" + key);
    ASSERT_EQ(seen.status, 200);
    EXPECT_STREQ(Json(seen)["clubData"]["role"].GetString(), "INVITEE");
}

TEST_F(ClubsWebServiceTest, InvitationsReachTheInviteeAndAreAnsweredOnce) {
    const std::string key = MakeClub();
    const WebResponse invited =
        As(kOfficer, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider));
    ASSERT_EQ(invited.status, 200);
    EXPECT_STREQ(Json(invited)["invitedMembers"][0]["role"].GetString(), "INVITEE");
    const rapidjson::Document membership = Json(As(kOutsider, "GET", MembershipPath(kOutsider)));
    const auto& invite = membership["pendingInvites"][0];
    EXPECT_EQ(invite["clubKey"].GetString(), key);
    EXPECT_EQ(invite["inviterAccountId"].GetUint64(), kOfficer);
    EXPECT_EQ(invite["inviterSummonerId"].GetUint64(), kOfficer + 100);
    EXPECT_EQ(invite["inviteeAccountId"].GetUint64(), kOutsider);
    EXPECT_EQ(invite["status"].GetInt(), 0);

    EXPECT_EQ(Answer(kOutsider, key, 1).status, 200);
    EXPECT_EQ(ActiveRoles(key), "1:OWNER 2:OFFICER 3:MEMBER 4:MEMBER");
    EXPECT_EQ(ErrorCode(Answer(kOutsider, key, 1)), "CLUB_INVITE_NOT_FOUND");
}

TEST_F(ClubsWebServiceTest, RejectingAnInvitationDropsIt) {
    const std::string key = MakeClub();
    As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider));
    const WebResponse rejected = Answer(kOutsider, key, 2);
    ASSERT_EQ(rejected.status, 200);
    EXPECT_EQ(Json(rejected)["pendingInvites"].Size(), 0u);
    EXPECT_EQ(Json(rejected)["activeClubs"].Size(), 0u);
    EXPECT_EQ(ErrorCode(Answer(kOutsider, "no-such-club", 2)), "CLUB_NOT_FOUND");
}

TEST_F(ClubsWebServiceTest, InvitingFollowsPermissionsAndTheClubsLists) {
    const std::string key = MakeClub();
    const std::string invites = "/v1/clubs/" + key + "/invites";
    EXPECT_EQ(ErrorCode(As(kMember, "POST", invites, InviteBody(kOutsider))),
              "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(ErrorCode(As(kOutsider, "POST", invites, InviteBody(kOutsider))), "NOT_A_MEMBER");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", invites, InviteBody(kMember))), "ALREADY_MEMBER");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", invites, InviteBody(77))), "PLAYER_NOT_FOUND");
    EXPECT_EQ(As(kOwner, "POST", invites, InviteBody(kOutsider)).status, 200);
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", invites, InviteBody(kOutsider))), "ALREADY_INVITED");
}

TEST_F(ClubsWebServiceTest, MembersNominateAndOfficersInviteOrReject) {
    const std::string key = MakeClub();
    const std::string nominate = "/v1/clubs/" + key + "/nominate/104";
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", nominate)), "INSUFFICIENT_PERMISSIONS");
    const WebResponse nominated = As(kMember, "POST", nominate);
    ASSERT_EQ(nominated.status, 200);
    EXPECT_STREQ(Json(nominated)["nominatedMembers"][0]["role"].GetString(), "NOMINEE");
    EXPECT_EQ(ErrorCode(As(kMember, "POST", nominate)), "ALREADY_NOMINATED");
    EXPECT_EQ(ErrorCode(As(kMember, "POST", "/v1/clubs/" + key + "/nominate/4/reject")),
              "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(As(kOfficer, "POST", "/v1/clubs/" + key + "/nominate/4/reject").status, 200);
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", "/v1/clubs/" + key + "/nominate/4/reject")),
              "CLUB_NOMINATION_NOT_FOUND");

    As(kMember, "POST", nominate);
    const WebResponse invited =
        As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider));
    EXPECT_EQ(Json(invited)["nominatedMembers"].Size(), 0u);
    EXPECT_EQ(ErrorCode(As(kMember, "POST", nominate)), "ALREADY_INVITED");
}

class LimitedClubsWebServiceTest : public ClubsWebServiceTest {
  protected:
    static ClubsServiceConfig Limited() {
        ClubsServiceConfig config;
        config.limits.maxActiveClubs = 1;
        config.limits.clubNominationsMaxPending = 0;
        config.limits.clubTagRequirementMinMembers = 4;
        return config;
    }
    LimitedClubsWebServiceTest() : ClubsWebServiceTest(Limited()) {}
};

TEST_F(LimitedClubsWebServiceTest, EnforcesClubCountNominationAndTagLimits) {
    const std::string key = MakeClub();
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", "/v1/clubs?clubName=Second")), "MAX_ACTIVE_CLUBS");
    EXPECT_EQ(ErrorCode(As(kMember, "POST", "/v1/clubs/" + key + "/nominate/104")),
              "MAX_PENDING_NOMINATIONS");
    EXPECT_EQ(ErrorCode(As(kOwner, "PUT", "/v1/clubs/" + key + "/tag", "ABC")),
              "CLUB_TAG_NOT_ELIGIBLE");
    ASSERT_EQ(As(kOutsider, "POST", "/v1/clubs?clubName=Other").status, 200);
    const std::string other = *service.FindClubKeyByName("Other");
    As(kOutsider, "POST", "/v1/clubs/" + other + "/invites", InviteBody(kMember));
    EXPECT_EQ(ErrorCode(Answer(kMember, other, 1)), "MAX_ACTIVE_CLUBS");
}

TEST_F(ClubsWebServiceTest, PromotionAndDemotionMoveOneStepAndNotifyThePlayer) {
    const std::string key = MakeClub();
    const std::string club = "/v1/clubs/" + key;
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", club + "/promote/2")), "CANNOT_PROMOTE");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", club + "/demote/3")), "CANNOT_DEMOTE");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", club + "/promote/4")), "CLUB_MEMBER_NOT_FOUND");
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", club + "/demote/2")), "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(As(kOfficer, "POST", club + "/promote/3").status, 200);
    EXPECT_EQ(ActiveRoles(key), "1:OWNER 2:OFFICER 3:OFFICER");
    EXPECT_EQ(As(kOwner, "POST", club + "/demote/3").status, 200);
    EXPECT_EQ(ActiveRoles(key), "1:OWNER 2:OFFICER 3:MEMBER");

    const rapidjson::Document init = Json(As(kMember, "GET", MembershipPath(kMember) + "/init"));
    const auto& notices = init["membershipNotifications"];
    ASSERT_EQ(notices.Size(), 2u);
    EXPECT_STREQ(notices[0]["action"].GetString(), "MEMBER_ROLE_PROMOTE");
    EXPECT_STREQ(notices[0]["role"].GetString(), "OFFICER");
    EXPECT_STREQ(notices[0]["name"].GetString(), "Club One");
    EXPECT_STREQ(notices[1]["action"].GetString(), "MEMBER_ROLE_DEMOTE");
    EXPECT_EQ(init["playerMembership"]["activeClubs"].Size(), 1u);
    const rapidjson::Document again = Json(As(kMember, "GET", MembershipPath(kMember) + "/init"));
    EXPECT_EQ(again["membershipNotifications"].Size(), 0u);
}

TEST_F(ClubsWebServiceTest, APlayerKeepsOnlyTheNewestPendingNotices) {
    const std::string club = "/v1/clubs/" + MakeClub();
    for (std::size_t i = 0; i < ClubsWebService::kMaxPendingNotices; ++i) {
        ASSERT_EQ(As(kOwner, "POST", club + "/promote/3").status, 200);
        ASSERT_EQ(As(kOwner, "POST", club + "/demote/3").status, 200);
    }
    const rapidjson::Document init = Json(As(kMember, "GET", MembershipPath(kMember) + "/init"));
    const auto& notices = init["membershipNotifications"];
    ASSERT_EQ(notices.Size(), ClubsWebService::kMaxPendingNotices);
    EXPECT_STREQ(notices[0]["action"].GetString(), "MEMBER_ROLE_PROMOTE");
    EXPECT_STREQ(notices[notices.Size() - 1]["action"].GetString(), "MEMBER_ROLE_DEMOTE");
}

TEST_F(ClubsWebServiceTest, RemovingFollowsTheTargetsRole) {
    const std::string key = MakeClub();
    const std::string club = "/v1/clubs/" + key;
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", club + "/remove/1")), "CANNOT_REMOVE_OWNER");
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", club + "/remove/2")), "CANNOT_REMOVE_SELF");
    EXPECT_EQ(ErrorCode(As(kMember, "POST", club + "/remove/2")), "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", club + "/remove/4")), "CLUB_MEMBER_NOT_FOUND");
    As(kMember, "PUT", MembershipPath(kMember), R"({"primaryActiveClubKey":")" + key + R"("})");

    const WebResponse removed = As(kOfficer, "POST", club + "/remove/3");
    ASSERT_EQ(removed.status, 200);
    EXPECT_EQ(Json(removed)["removedMembers"][0]["playerInfo"]["currentAccountId"].GetUint64(),
              kMember);
    const rapidjson::Document init = Json(As(kMember, "GET", MembershipPath(kMember) + "/init"));
    const auto& membership = init["playerMembership"];
    EXPECT_EQ(membership["activeClubs"].Size(), 0u);
    EXPECT_EQ(membership["removedClubs"][0]["clubKey"].GetString(), key);
    EXPECT_STREQ(membership["playerClubPreferences"]["primaryActiveClubKey"].GetString(), "");
    EXPECT_STREQ(init["membershipNotifications"][0]["action"].GetString(), "MEMBER_KICK");
}

TEST_F(ClubsWebServiceTest, WithdrawingAnInvitationRevokesIt) {
    const std::string key = MakeClub();
    As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider));
    EXPECT_EQ(ErrorCode(As(kMember, "POST", "/v1/clubs/" + key + "/remove/4")),
              "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(As(kOfficer, "POST", "/v1/clubs/" + key + "/remove/4").status, 200);
    const rapidjson::Document membership = Json(As(kOutsider, "GET", MembershipPath(kOutsider)));
    EXPECT_EQ(membership["pendingInvites"].Size(), 0u);
    EXPECT_EQ(membership["revokedInviteClubs"][0]["clubKey"].GetString(), key);
}

TEST_F(ClubsWebServiceTest, OwnershipPassesToAMemberAndTheOldOwnerBecomesOfficer) {
    const std::string key = MakeClub();
    const std::string club = "/v1/clubs/" + key;
    EXPECT_EQ(ErrorCode(As(kOfficer, "POST", club + "/ownership/3")), "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", club + "/ownership/1")), "ALREADY_OWNER");
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", club + "/ownership/4")), "CLUB_MEMBER_NOT_FOUND");
    EXPECT_EQ(As(kOwner, "POST", club + "/ownership/3").status, 200);
    EXPECT_EQ(ActiveRoles(key), "1:OFFICER 2:OFFICER 3:OWNER");
    const rapidjson::Document init = Json(As(kMember, "GET", MembershipPath(kMember) + "/init"));
    const auto& last = init["membershipNotifications"][init["membershipNotifications"].Size() - 1];
    EXPECT_STREQ(last["action"].GetString(), "OWNER_GIVEN_OWNERSHIP");
    EXPECT_STREQ(last["role"].GetString(), "OWNER");
}

TEST_F(ClubsWebServiceTest, AnOwnerLeavesOnlyAnEmptyClubWhichIsThenDisbanded) {
    const std::string key = MakeClub();
    As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider));
    const std::string leave = "/leave/" + key;
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", MembershipPath(kOwner) + leave)), "OWNER_CANNOT_LEAVE");
    EXPECT_EQ(As(kMember, "POST", MembershipPath(kMember) + leave).status, 200);
    EXPECT_EQ(ErrorCode(As(kMember, "POST", MembershipPath(kMember) + leave)),
              "CLUB_MEMBER_NOT_FOUND");
    EXPECT_EQ(As(kOfficer, "POST", MembershipPath(kOfficer) + leave).status, 200);
    const WebResponse last = As(kOwner, "POST", MembershipPath(kOwner) + leave);
    ASSERT_EQ(last.status, 200);
    EXPECT_EQ(Json(last)["activeClubs"].Size(), 0u);
    EXPECT_EQ(ErrorCode(As(kOwner, "GET", "/v1/clubs/" + key)), "CLUB_NOT_FOUND");
    const rapidjson::Document invitee = Json(As(kOutsider, "GET", MembershipPath(kOutsider)));
    EXPECT_EQ(invitee["pendingInvites"].Size(), 0u);
    EXPECT_EQ(invitee["revokedInviteClubs"].Size(), 1u);
}

TEST_F(ClubsWebServiceTest, TagsAreSetByTheOwnerWithinTheLimits) {
    const std::string key = MakeClub();
    const std::string tag = "/v1/clubs/" + key + "/tag";
    EXPECT_EQ(ErrorCode(As(kOfficer, "PUT", tag, "ABC")), "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(ErrorCode(As(kOwner, "PUT", tag, "A")), "INVALID_CLUB_TAG_LENGTH");
    EXPECT_EQ(ErrorCode(As(kOwner, "PUT", tag, "ABCDEF")), "INVALID_CLUB_TAG_LENGTH");
    EXPECT_EQ(ErrorCode(As(kOwner, "PUT", tag, "A B")), "INVALID_CLUB_TAG");
    const WebResponse set = As(kOwner, "PUT", tag, "ABC");
    ASSERT_EQ(set.status, 200);
    EXPECT_STREQ(Json(set)["clubData"]["tag"].GetString(), "ABC");
    EXPECT_STREQ(Json(As(kOwner, "PUT", tag, ""))["clubData"]["tag"].GetString(), "");
}

TEST_F(ClubsWebServiceTest, MessageOfTheDayNeedsItsPermissionAndFitsTheLimit) {
    const std::string key = MakeClub();
    const std::string motd = "/v1/clubs/" + key + "/motd";
    EXPECT_EQ(ErrorCode(As(kMember, "PUT", motd, "hi")), "INSUFFICIENT_PERMISSIONS");
    EXPECT_EQ(ErrorCode(As(kOfficer, "PUT", motd, std::string(1001, 'm'))), "CLUB_MOTD_TOO_LONG");
    const WebResponse set = As(kOfficer, "PUT", motd, "Welcome \"all\"");
    ASSERT_EQ(set.status, 200);
    EXPECT_STREQ(Json(set)["clubData"]["motd"].GetString(), "Welcome \"all\"");
    EXPECT_STREQ(Json(set)["clubData"]["role"].GetString(), "OFFICER");
}

TEST_F(ClubsWebServiceTest, PreferencesNameOnlyAnActiveClub) {
    const std::string key = MakeClub();
    const std::string path = MembershipPath(kMember);
    EXPECT_EQ(ErrorCode(As(kMember, "PUT", path, R"({"primaryActiveClubKey":"elsewhere"})")),
              "CLUB_NOT_FOUND");
    const WebResponse set =
        As(kMember, "PUT", path,
           R"({"primaryActiveClubKey":")" + key + R"(","shareClubAffiliation":true})");
    ASSERT_EQ(set.status, 200);
    const rapidjson::Document answer = Json(set);
    const auto& preferences = answer["playerClubPreferences"];
    EXPECT_EQ(preferences["primaryActiveClubKey"].GetString(), key);
    EXPECT_TRUE(preferences["shareClubAffiliation"].GetBool());
}

}  // namespace
}  // namespace Kolm::Host
