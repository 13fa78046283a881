// The client against the in-memory clubs web service: both sides agree on paths, headers and
// records, and the service's refusals come back as the client's failures.
#include <gtest/gtest.h>

#include "api/http_method.h"
#include "binding/binding_type_registry.h"
#include "clubs/model/clubs_type_registration.h"
#include "clubs/service/clubs_service_client.h"
#include "host/clubs_web_service/clubs_web_service.h"

namespace Kolm::Client::Clubs {
namespace {

class ServiceRoundTripTest : public ::testing::Test {
  protected:
    ServiceRoundTripTest() {
        Api::RegisterClubsTypes(registry);
        service.AddPlayer({"NA1", 42, 142, "our-token"});
        service.AddPlayer({"NA1", 7, 107, "their-token"});
        client.Configure(
            true, "https://clubs.test",
            {{"Authorization", "JwtBearer our-token"}, {"Content-type", "application/json"}});
    }

    // The host's transport, routed to the service.
    ServiceHttpAnswer Send(const HttpBaseTransport::Request& request) {
        const Host::WebResponse answer =
            service.Handle({std::string(HttpMethodName(request.method)), request.url,
                            request.headers, request.body});
        ServiceHttpAnswer read;
        read.status = static_cast<uint32_t>(answer.status);
        read.headers = answer.headers;
        read.body = answer.body;
        return read;
    }

    BindingTypeRegistry registry;
    Host::ClubsWebService service;
    ClubsServiceClient client{
        registry, [this](const HttpBaseTransport::Request& request) { return Send(request); },
        [] {
            return ClubsServicePlayer{"NA1", 42};
        }};
};

TEST_F(ServiceRoundTripTest, AnotherPlayersInvitationIsAnsweredThroughTheClient) {
    ASSERT_EQ(service.HandleAs(7, "POST", "/v1/clubs?clubName=Their%20Club").status, 200);
    const std::string key = *service.FindClubKeyByName("Their Club");
    ASSERT_EQ(
        service.HandleAs(7, "POST", "/v1/clubs/" + key + "/invites", R"({"inviteeSummonerId":142})")
            .status,
        200);

    const auto init = client.InitMembership();
    ASSERT_TRUE(init.Succeeded()) << init.ErrorText();
    ASSERT_EQ(init.value.playerMembership.pendingInvites.size(), 1u);
    Api::MembershipInviteDto invite = init.value.playerMembership.pendingInvites[0];
    EXPECT_EQ(invite.inviterSummonerId, 107u);
    EXPECT_EQ(init.value.playerMembership.clubsServerConfig.maxClubNameLength, 24);

    invite.status = 1;
    const auto accepted = client.AnswerInvite(invite);
    ASSERT_TRUE(accepted.Succeeded()) << accepted.ErrorText();
    ASSERT_EQ(accepted.value.activeClubs.size(), 1u);
    EXPECT_EQ(accepted.value.activeClubs[0].clubData.role, "MEMBER");
    EXPECT_EQ(accepted.value.activeClubs[0].clubData.permissionMap.MEMBER,
              std::vector<std::string>{"NOMINATE"});
}

TEST_F(ServiceRoundTripTest, ClubOperationsAnswerTheirRecords) {
    const auto created = client.CreateClub("Our & Club");
    ASSERT_TRUE(created.Succeeded()) << created.ErrorText();
    EXPECT_EQ(created.value.clubData.name, "Our & Club");
    const std::string key = created.value.clubData.clubKey;

    Api::BaseMembershipInviteDto invite;
    invite.clubKey = key;
    invite.inviteeSummonerId = 107;
    const auto invited = client.Invite(key, invite);
    ASSERT_TRUE(invited.Succeeded()) << invited.ErrorText();
    ASSERT_EQ(invited.value.invitedMembers.size(), 1u);
    EXPECT_EQ(invited.value.invitedMembers[0].playerInfo.currentAccountId, 7u);

    const auto motd = client.SetMotd(key, "Hello \"members\"");
    ASSERT_TRUE(motd.Succeeded()) << motd.ErrorText();
    EXPECT_EQ(motd.value.clubData.motd, "Hello \"members\"");
    const auto tag = client.SetTag(key, "OC");
    ASSERT_TRUE(tag.Succeeded()) << tag.ErrorText();
    EXPECT_EQ(tag.value.clubData.tag, "OC");

    Api::PlayerMembershipPreferencesDto preferences{key, true};
    const auto updated = client.UpdatePreferences(preferences);
    ASSERT_TRUE(updated.Succeeded()) << updated.ErrorText();
    EXPECT_EQ(updated.value.playerClubPreferences.primaryActiveClubKey, key);
}

TEST_F(ServiceRoundTripTest, RefusalsPassTheServicesStatusAndCode) {
    const auto missing = client.GetClub("no-such-club");
    EXPECT_EQ(missing.status, 404u);
    EXPECT_EQ(missing.ErrorText(), "CLUB_NOT_FOUND");
    const auto created = client.CreateClub("ab");
    EXPECT_EQ(created.status, 400u);
    EXPECT_EQ(created.ErrorText(), "CLUB_NAME_TOO_SHORT");
    client.Configure(true, "https://clubs.test", {{"Authorization", "JwtBearer stale"}});
    EXPECT_EQ(client.GetMembership().ErrorText(), "UNAUTHORIZED");
}

TEST_F(ServiceRoundTripTest, AKeyThatSpellsAPathReachesNoOtherResource) {
    ASSERT_TRUE(client.CreateClub("Ours").Succeeded());
    // Unencoded, this key would turn the request into one for the player's membership.
    const auto steered = client.GetClub("x/../../membership/NA1/42");
    EXPECT_EQ(steered.status, 404u);
    EXPECT_EQ(steered.ErrorText(), "CLUB_NOT_FOUND");
    const auto dots = client.LeaveClub("..");
    EXPECT_EQ(dots.ErrorText(), "CLUB_NOT_FOUND");
}

}  // namespace
}  // namespace Kolm::Client::Clubs
