#include <gtest/gtest.h>

#include "binding/binding_conversion.h"
#include "binding/binding_type_registry.h"
#include "clubs/model/clubs_api_types.h"
#include "clubs/model/clubs_external_records.h"
#include "clubs/model/clubs_service_types.h"
#include "clubs/model/clubs_type_registration.h"
#include "formats/json.h"

namespace Kolm::Client::Clubs::Api {
namespace {

class ClubsTypesTest : public ::testing::Test {
  protected:
    void SetUp() override { RegisterClubsTypes(registry); }

    template <class T>
    std::string Json(const T& record) {
        const JsonText text = ToJsonText(record, &registry);
        EXPECT_TRUE(text.success) << text.error;
        return text.text;
    }

    BindingTypeRegistry registry;
};

TEST_F(ClubsTypesTest, FreshMembershipHasNoIconEmptyListsAndZeroLimits) {
    EXPECT_EQ(Json(PlayerClubMembership{}),
              R"({"activeClubs":[],)"
              R"("clubsServerConfig":{"clubDescriptionMaxLength":0,"clubMotdMaxLength":0,)"
              R"("clubNominationsEnabled":false,"clubNominationsMaxPending":0,)"
              R"("clubTagRequirementMinGames":0,"clubTagRequirementMinMembers":0,)"
              R"("clubTagRequirementsMinMemberLevel":0,"maxActiveClubs":0,)"
              R"("maxClubNameLength":0,"maxClubTagLength":0,"minClubNameLength":0,)"
              R"("minClubTagLength":0},)"
              R"("info":{"accountId":0,"summonerIconId":-1,"summonerId":0,"summonerName":""},)"
              R"("pendingInvites":[],)"
              R"("preferences":{"primaryClubKey":"","shareClubAffiliation":false},)"
              R"("removedClubs":[],"revokedInviteClubs":[],"secureClubPresenceInfoString":""})");
}

TEST_F(ClubsTypesTest, FreshClubWritesRolesByNameAndPermissionsUnderUpperCaseNames) {
    PlayerClub club;
    club.permissions.OFFICER = {"INVITE", "SET_MOTD"};
    EXPECT_EQ(Json(club),
              R"({"created":0,"description":"","isClubTagEligible":false,"jid":"","key":"",)"
              R"("lastModified":0,)"
              R"("members":{"activeMembers":[],"invitedMembers":[],"nominatedMembers":[],)"
              R"("removedMembers":[]},"motd":"","name":"",)"
              R"("owner":{"accountId":0,"role":"UNKNOWN","since":0,"summonerIconId":-1,)"
              R"("summonerId":0,"summonerName":""},)"
              R"("permissions":{"ADMIN":[],"INVITEE":[],"MEMBER":[],)"
              R"("OFFICER":["INVITE","SET_MOTD"],"OWNER":[],"UNKNOWN":[]},)"
              R"("primary":false,"role":"UNKNOWN","tag":""})");
}

TEST_F(ClubsTypesTest, LoginSessionStateThreeIsError) {
    LoginSession session;
    ASSERT_TRUE(FromJsonText(session, R"({"state":3,"summonerId":7,"idToken":"t"})", &registry));
    EXPECT_EQ(session.state, LoginSessionState::ERROR);
    EXPECT_EQ(session.summonerId, 7u);
    ASSERT_TRUE(FromJsonText(session, R"({"state":"SUCCEEDED"})", &registry));
    EXPECT_EQ(session.state, LoginSessionState::SUCCEEDED);
    EXPECT_EQ(Json(session), R"({"accountId":0,"idToken":"t","state":"SUCCEEDED","summonerId":7})");
}

TEST_F(ClubsTypesTest, InvitationStatusReadsByNameOrNumberAndRejectsOthers) {
    ClubInvite invite;
    ASSERT_TRUE(FromJsonText(invite, R"({"status":"REJECTED"})", &registry));
    EXPECT_EQ(invite.status, ClubInviteStatus::REJECTED);
    ASSERT_TRUE(FromJsonText(invite, R"({"status":3})", &registry));
    EXPECT_EQ(invite.status, ClubInviteStatus::BLOCKED);
    BindingResult outcome;
    EXPECT_FALSE(FromJsonText(invite, R"({"status":"LATER"})", &registry, &outcome));
    EXPECT_EQ(outcome.ErrorText(),
              "LATER is not a valid ClubInviteStatus enumeration value for "
              "'status'.");
}

TEST_F(ClubsTypesTest, RegistersEveryRecordUnderItsName) {
    for (const char* name : {"ClubPermission",
                             "ClubRole",
                             "ClubInviteStatus",
                             "ClubPermissions",
                             "ClubPlayer",
                             "ClubMember",
                             "ClubMemberLists",
                             "Club",
                             "PlayerClub",
                             "ClubInvite",
                             "ClubsConfig",
                             "ClubPreferences",
                             "PlayerClubMembership",
                             "ClubName",
                             "ClubMOTD",
                             "ClubTag",
                             "ClubDataDto",
                             "PlayerInfoDto",
                             "MemberSinceDto",
                             "ClubMembershipDto",
                             "ClubDto",
                             "ClubReferenceDto",
                             "ClubsPresenceDataDto",
                             "ClubsServerConfigDto",
                             "BaseMembershipInviteDto",
                             "MembershipInviteDto",
                             "MembershipNoficationsDto",
                             "PlayerMembershipPreferencesDto",
                             "PlayerMembershipDto",
                             "PlayerMembershipWithNotificationsDto",
                             "RosterItemDto",
                             "KolmMessagingServiceMessage",
                             "ClubsSummoner",
                             "ClubsNotificationResource",
                             "LoginSessionStates",
                             "LoginSession",
                             "BlockedPlayerResource"}) {
        EXPECT_NE(registry.FindTypeByName(name), nullptr) << name;
    }
    EXPECT_EQ(registry.FindType<SummonerResource>(), registry.FindTypeByName("ClubsSummoner"));
    EXPECT_EQ(registry.FindType<PlayerNotificationResource>(),
              registry.FindTypeByName("ClubsNotificationResource"));
}

TEST_F(ClubsTypesTest, EveryFieldRefersToARegisteredRecord) {
    for (const BindingTypeInfo* type : registry.TypesSnapshot()) {
        for (const BindingFieldInfo& field : type->fields) {
            const bool refers = field.type.code == BindingTypeCode::Enum ||
                                field.type.code == BindingTypeCode::Struct ||
                                field.type.elementCode == BindingTypeCode::Enum ||
                                field.type.elementCode == BindingTypeCode::Struct;
            if (refers) {
                EXPECT_NE(field.type.type, nullptr) << type->name << "." << field.name;
            }
        }
    }
}

TEST_F(ClubsTypesTest, SecondRegistrationChangesNothing) {
    const BindingTypeInfo* club = registry.FindTypeByName("PlayerClub");
    const size_t fieldCount = club->fields.size();
    const size_t typeCount = registry.TypesSnapshot().size();
    RegisterClubsTypes(registry);
    EXPECT_EQ(registry.FindTypeByName("PlayerClub"), club);
    EXPECT_EQ(club->fields.size(), fieldCount);
    EXPECT_EQ(registry.TypesSnapshot().size(), typeCount);
}

TEST_F(ClubsTypesTest, NotificationDataTravelsAsTextMap) {
    PlayerNotificationResource toast;
    toast.data = {{"clubKey", "k"}, {"summonerId", "12"}};
    toast.source = "clubs";
    PlayerNotificationResource read;
    ASSERT_TRUE(FromJsonText(read, Json(toast), &registry));
    EXPECT_EQ(read.data, toast.data);
    EXPECT_EQ(read.source, "clubs");
}

TEST_F(ClubsTypesTest, ServiceMembershipReadsNestedClubsAndInvites) {
    PlayerMembershipDto membership;
    ASSERT_TRUE(FromJsonText(membership, R"({
        "player": {"currentPlatformId": "NA1", "currentAccountId": 5, "summonerId": 6},
        "activeClubs": [{"clubData": {"clubKey": "k", "role": "OWNER",
                                      "permissionMap": {"OWNER": ["INVITE"]}},
                         "membership": {"activeMembers": [{"playerInfo": {"summonerId": 6},
                                                           "since": 9, "role": "OWNER"}]}}],
        "pendingInvites": [{"clubKey": "j", "status": 0, "inviteeAccountId": 5}],
        "playerClubPreferences": {"primaryActiveClubKey": "k", "shareClubAffiliation": true},
        "unknownMember": [1, 2]
    })",
                             &registry));
    ASSERT_EQ(membership.activeClubs.size(), 1u);
    EXPECT_EQ(membership.activeClubs[0].clubData.permissionMap.OWNER,
              std::vector<std::string>{"INVITE"});
    EXPECT_EQ(membership.activeClubs[0].membership.activeMembers[0].since, 9);
    EXPECT_EQ(membership.pendingInvites[0].inviteeAccountId, 5u);
    EXPECT_TRUE(membership.playerClubPreferences.shareClubAffiliation);
}

}  // namespace
}  // namespace Kolm::Client::Clubs::Api
