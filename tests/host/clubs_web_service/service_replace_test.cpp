// Replacing the whole state of the service: its observers hear about exactly the clubs and
// memberships whose answers changed, as they do for the service's own operations.
#include <map>
#include <string>

#include "host/clubs_web_service/service_rules.h"
#include "tests/host/clubs_web_service/clubs_web_service_fixture.h"

namespace Kolm::Host {
namespace {

class ServiceReplace : public ClubsWebServiceTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(As(kOwner, "POST", "/v1/clubs?clubName=Harbour").status, 200);
        service.AddObserver([this](const std::string& topic, const std::string& payload) {
            heard[topic] = payload;
        });
    }

    std::map<std::string, std::string> heard;
};

TEST_F(ServiceReplace, TheSameStateAgainTellsNobody) {
    int64_t clock = 0;
    ServiceData data = service.Snapshot(&clock);
    service.Replace(data, clock);
    EXPECT_TRUE(heard.empty());
}

TEST_F(ServiceReplace, AnInvitationTellsTheClubAndTheInviteeOnly) {
    int64_t clock = 0;
    ServiceData data = service.Snapshot(&clock);
    data.clubs.at("club-1").invited.push_back({kOutsider, clock, "INVITEE", kOwner});
    ASSERT_EQ(CheckServiceData(data), "");
    service.Replace(data, clock);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard.count("clubs/v1/clubs/club-1"), 1u);
    ASSERT_EQ(heard.count("clubs/v1/membership/NA1/4"), 1u);
    EXPECT_NE(heard["clubs/v1/membership/NA1/4"].find("Harbour"), std::string::npos);
}

TEST_F(ServiceReplace, AClubThatIsGoneIsToldWithAnEmptyPayload) {
    int64_t clock = 0;
    ServiceData data = service.Snapshot(&clock);
    data.clubs.clear();
    service.Replace(data, clock);
    ASSERT_EQ(heard.count("clubs/v1/clubs/club-1"), 1u);
    EXPECT_EQ(heard["clubs/v1/clubs/club-1"], "");
    EXPECT_EQ(heard.count("clubs/v1/membership/NA1/1"), 1u);  // the owner lost the club
}

TEST_F(ServiceReplace, NewClubsAfterwardsTakeKeysTheStateDoesNotHold) {
    int64_t clock = 0;
    ServiceData data = service.Snapshot(&clock);
    ServiceClub taken = data.clubs.at("club-1");
    taken.key = "club-2";
    taken.name = "Taken";
    data.clubs.emplace("club-2", taken);
    service.Replace(data, clock);
    const auto created = Json(As(kOfficer, "POST", "/v1/clubs?clubName=Fresh"));
    EXPECT_STREQ(created["clubData"]["clubKey"].GetString(), "club-3");
}

TEST_F(ServiceReplace, EveryToldMembershipIsTheMembershipAnswerOfTheNewState) {
    ASSERT_EQ(As(kOfficer, "POST", "/v1/clubs?clubName=Lighthouse").status, 200);
    ASSERT_EQ(As(kMember, "POST", "/v1/clubs?clubName=Quay").status, 200);
    int64_t clock = 0;
    ServiceData data = service.Snapshot(&clock);
    // The owner joins Lighthouse and is invited to Quay; the officer is invited to Harbour and
    // nominated to Quay; the outsider joins Harbour.
    data.clubs.at("club-2").active.push_back({kOwner, clock, "MEMBER", 0});
    data.clubs.at("club-3").invited.push_back({kOwner, clock, "INVITEE", kMember});
    data.clubs.at("club-1").invited.push_back({kOfficer, clock, "INVITEE", kOwner});
    data.clubs.at("club-3").nominated.push_back({kOfficer, clock, "NOMINEE", kMember});
    data.clubs.at("club-1").active.push_back({kOutsider, clock, "MEMBER", 0});
    ASSERT_EQ(CheckServiceData(data), "");
    heard.clear();  // the two clubs' creation
    service.Replace(data, clock);
    for (uint64_t account : {kOwner, kOfficer, kOutsider}) {
        const std::string topic = "clubs/v1/membership/NA1/" + std::to_string(account);
        ASSERT_EQ(heard.count(topic), 1u) << topic;
        EXPECT_EQ(heard[topic], As(account, "GET", MembershipPath(account)).body) << topic;
    }
    EXPECT_EQ(heard.count("clubs/v1/membership/NA1/3"), 0u);  // the member's place is as it was
    const rapidjson::Document owner = Json(As(kOwner, "GET", MembershipPath(kOwner)));
    EXPECT_EQ(owner["activeClubs"].Size(), 2u);
    EXPECT_EQ(owner["pendingInvites"].Size(), 1u);
}

TEST_F(ServiceReplace, InvitationsStopAtTheClubsMemberLimit) {
    int64_t clock = 0;
    ServiceData data = service.Snapshot(&clock);
    data.config.limits.maxClubMembers = 2;
    data.clubs.at("club-1").invited.push_back({kOfficer, clock, "INVITEE", kOwner});
    service.Replace(data, clock);
    const WebResponse refused =
        As(kOwner, "POST", "/v1/clubs/club-1/invites", R"({"inviteeSummonerId":103})");
    EXPECT_EQ(refused.status, 409);
    EXPECT_NE(refused.body.find("MAX_CLUB_MEMBERS"), std::string::npos);
}

}  // namespace
}  // namespace Kolm::Host
