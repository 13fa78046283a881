// The service's clock: running, frozen, set and advanced, and never set back past a stamp the
// service holds, whichever record holds the newest one.
#include <limits>

#include "tests/host/clubs_web_service/clubs_web_service_fixture.h"

namespace Kolm::Host {
namespace {

class ServiceClock : public ClubsWebServiceTest {
  protected:
    static int64_t Created(const WebResponse& response) {
        return Json(response)["clubData"]["createdTs"].GetInt64();
    }
};

TEST_F(ServiceClock, ARunningClockStampsEachChangeOneMillisecondLater) {
    const int64_t start = service.Clock().now;
    EXPECT_EQ(Created(As(kOwner, "POST", "/v1/clubs?clubName=First")), start + 1);
    EXPECT_EQ(Created(As(kOfficer, "POST", "/v1/clubs?clubName=Second")), start + 2);
    EXPECT_EQ(service.Clock(), (ClubsWebService::ClockReading{start + 2, false}));
}

TEST_F(ServiceClock, AFrozenClockGivesEveryStampItsReading) {
    ASSERT_TRUE(service.SetClock(1800000000000, true, nullptr));
    EXPECT_EQ(Created(As(kOwner, "POST", "/v1/clubs?clubName=First")), 1800000000000);
    EXPECT_EQ(Created(As(kOfficer, "POST", "/v1/clubs?clubName=Second")), 1800000000000);
    ASSERT_TRUE(service.SetClock(std::nullopt, false, nullptr));
    EXPECT_EQ(Created(As(kMember, "POST", "/v1/clubs?clubName=Third")), 1800000000001);
}

TEST_F(ServiceClock, AdvancingMovesTheReadingAndStopsAtTheLimit) {
    ASSERT_TRUE(service.SetClock(1000, true, nullptr));
    EXPECT_EQ(service.AdvanceClock(500, 2000), (ClubsWebService::ClockReading{1500, true}));
    EXPECT_EQ(service.AdvanceClock(501, 2000), std::nullopt);
    EXPECT_EQ(service.AdvanceClock(500, 2000), (ClubsWebService::ClockReading{2000, true}));
    EXPECT_EQ(service.AdvanceClock(1, std::numeric_limits<int64_t>::max()),
              (ClubsWebService::ClockReading{2001, true}));
}

TEST_F(ServiceClock, TheClockIsNotSetBeforeTheNewestStampOfAnyRecord) {
    const std::string key = MakeClub();
    ServiceData data = service.Snapshot();
    ServiceClub& club = data.clubs.at(key);
    club.createdTs = club.lastModifiedTs = 100;
    for (ClubEntry& entry : club.active)
        entry.since = 100;
    // The newest stamp is a nomination's, later than the club's own.
    club.nominated.push_back({kOutsider, 5000, "NOMINEE", kMember});
    service.Replace(data, 9000);

    int64_t latest = 0;
    EXPECT_FALSE(service.SetClock(4999, true, &latest));
    EXPECT_EQ(latest, 5000);
    EXPECT_EQ(service.Clock(), (ClubsWebService::ClockReading{9000, false}));
    EXPECT_TRUE(service.SetClock(5000, std::nullopt, &latest));
    EXPECT_EQ(service.Clock(), (ClubsWebService::ClockReading{5000, false}));
}

TEST_F(ServiceClock, ReplacingTheStateSetsTheClockAndItsFrozenState) {
    ASSERT_TRUE(service.SetClock(std::nullopt, true, nullptr));
    service.Replace(service.Snapshot(), 7000);
    EXPECT_EQ(service.Clock(), (ClubsWebService::ClockReading{7000, false}));
    service.Replace(service.Snapshot(), 8000, true);
    int64_t clock = 0;
    bool frozen = false;
    service.Snapshot(&clock, &frozen);
    EXPECT_EQ(clock, 8000);
    EXPECT_TRUE(frozen);
}

}  // namespace
}  // namespace Kolm::Host
