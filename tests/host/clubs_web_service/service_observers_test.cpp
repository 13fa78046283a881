// The change hook: which topics a change reports, and that observers may call back in.
#include "tests/host/clubs_web_service/clubs_web_service_fixture.h"

#include <thread>

namespace Kolm::Host {
namespace {

struct Seen {
    std::string topic;
    std::string payload;
};

TEST_F(ClubsWebServiceTest, ChangesReportTheClubAndEveryTouchedMembership) {
    const std::string key = MakeClub();
    std::vector<Seen> seen;
    service.AddObserver([&](const std::string& topic, const std::string& payload) {
        seen.push_back({topic, payload});
    });
    ASSERT_EQ(As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(kOutsider)).status,
              200);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].topic, "clubs/v1/clubs/" + key);
    EXPECT_NE(seen[0].payload.find("\"invitedMembers\":[{"), std::string::npos);
    EXPECT_EQ(seen[1].topic, "clubs/v1/membership/NA1/4");
    EXPECT_NE(seen[1].payload.find("\"pendingInvites\":[{\"clubKey\":\"" + key), std::string::npos);
}

TEST_F(ClubsWebServiceTest, ReadsAndRefusalsReportNothing) {
    const std::string key = MakeClub();
    int calls = 0;
    service.AddObserver([&](const std::string&, const std::string&) { ++calls; });
    As(kOwner, "GET", "/v1/clubs/" + key);
    As(kOwner, "GET", MembershipPath(kOwner));
    As(kMember, "PUT", "/v1/clubs/" + key + "/motd", "refused");
    EXPECT_EQ(calls, 0);
}

TEST_F(ClubsWebServiceTest, DisbandingReportsTheClubWithAnEmptyPayload) {
    ASSERT_EQ(As(kOwner, "POST", "/v1/clubs?clubName=Alone").status, 200);
    const std::string key = *service.FindClubKeyByName("Alone");
    std::vector<Seen> seen;
    service.AddObserver([&](const std::string& topic, const std::string& payload) {
        seen.push_back({topic, payload});
    });
    As(kOwner, "POST", MembershipPath(kOwner) + "/leave/" + key);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].topic, "clubs/v1/clubs/" + key);
    EXPECT_EQ(seen[0].payload, "");
}

TEST_F(ClubsWebServiceTest, ObserversMayCallTheServiceAndCanBeRemoved) {
    const std::string key = MakeClub();
    std::string readBack;
    const int id = service.AddObserver([&](const std::string& topic, const std::string&) {
        if (topic.rfind("clubs/v1/clubs/", 0) == 0)
            readBack = As(kOwner, "GET", "/v1/clubs/" + key).body;
    });
    As(kOwner, "PUT", "/v1/clubs/" + key + "/motd", "fresh");
    EXPECT_NE(readBack.find("\"motd\":\"fresh\""), std::string::npos);
    service.RemoveObserver(id);
    readBack.clear();
    As(kOwner, "PUT", "/v1/clubs/" + key + "/motd", "again");
    EXPECT_EQ(readBack, "");
}

TEST_F(ClubsWebServiceTest, ConcurrentPlayersKeepTheStateConsistent) {
    const std::string key = MakeClub();
    int changes = 0;
    service.AddObserver([&](const std::string&, const std::string&) { ++changes; });
    std::thread owner([&] {
        for (int i = 0; i < 50; ++i)
            As(kOwner, "PUT", "/v1/clubs/" + key + "/motd", "o" + std::to_string(i));
    });
    std::thread officer([&] {
        for (int i = 0; i < 50; ++i)
            As(kOfficer, "GET", "/v1/clubs/" + key);
    });
    owner.join();
    officer.join();
    EXPECT_EQ(changes, 50);
    EXPECT_STREQ(Json(As(kOwner, "GET", "/v1/clubs/" + key))["clubData"]["motd"].GetString(),
                 "o49");
}

}  // namespace
}  // namespace Kolm::Host
