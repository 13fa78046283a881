// The clubs web service's clock through the running host and the real plugin: moved ahead,
// frozen and set over the host's clock paths, seen in the time stamps of the plugin's answers,
// published on the event stream, refused when asked badly, and kept by exported worlds.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr const char* kClock = "/zun-clubs-host/v1/clock";
constexpr const char* kAdvance = "/zun-clubs-host/v1/clock/advance";
// The default world's clock: its newest stamp.
constexpr int64_t kWorldClock = 1700000000012;

std::string ClockJson(int64_t now, bool frozen) {
    return "{\"now\":" + std::to_string(now) + ",\"frozen\":" + (frozen ? "true" : "false") + "}";
}

class HostClock : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Send(const std::string& method,
                    const std::string& target,
                    const std::string& body = "") {
        return Request(host.Port(), method, target, body);
    }
    std::string Clock() { return Send("GET", kClock).body; }

    // Corvina (account 1004, summoner 2004), made an officer of the player's Night Owls by the
    // player through the plugin, invites `summonerId` as herself through the service.
    void CorvinaInvites(uint64_t summonerId) {
        const HttpResult invited =
            Send("POST", "/zun-clubs-host/v1/clubs-service/as/1004/v1/clubs/club-1/invites",
                 "{\"inviteeSummonerId\":" + std::to_string(summonerId) + "}");
        ASSERT_EQ(invited.status, 200) << invited.body;
    }
    void PromoteCorvina() {
        const HttpResult promoted = Send("POST", "/zun-clubs/v1/clubs/club-1/promotions/2004");
        ASSERT_EQ(promoted.status, 200) << promoted.body;
    }
    // The "since" of the plugin's invited member `summonerId` of Night Owls, once the
    // service's push has made the plugin refetch the club; -1 when it never shows.
    int64_t InvitedSince(uint64_t summonerId) {
        int64_t since = -1;
        Eventually([&] {
            const rapidjson::Document invited =
                ParseJson(Send("GET", "/zun-clubs/v1/clubs/club-1/invitations").body);
            if (!invited.IsArray())
                return false;
            for (const auto& member : invited.GetArray()) {
                if (member["summonerId"].GetUint64() == summonerId)
                    since = member["since"].GetInt64();
            }
            return since >= 0;
        });
        return since;
    }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostClock, AnAdvancedClockStampsTheSinceOfANewInvitation) {
    EXPECT_EQ(Clock(), ClockJson(kWorldClock, false));
    const int64_t advanced = kWorldClock + 86400000;
    const HttpResult answer = Send("POST", kAdvance, R"({"ms":86400000})");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, ClockJson(advanced, false));

    PromoteCorvina();
    CorvinaInvites(2005);
    // Running, the clock moved a millisecond for each of the two stamps since the advance.
    EXPECT_EQ(InvitedSince(2005), advanced + 2);
    EXPECT_EQ(Clock(), ClockJson(advanced + 2, false));
}

TEST_F(HostClock, AFrozenClockGivesEveryStampTheSameTimeUntilItRunsAgain) {
    const int64_t frozenAt = 1800000000000;
    const HttpResult set =
        Send("PUT", kClock, "{\"now\":" + std::to_string(frozenAt) + ",\"frozen\":true}");
    EXPECT_EQ(set.status, 200);
    EXPECT_EQ(set.body, ClockJson(frozenAt, true));

    PromoteCorvina();
    CorvinaInvites(2005);
    CorvinaInvites(2002);
    EXPECT_EQ(InvitedSince(2005), frozenAt);
    EXPECT_EQ(InvitedSince(2002), frozenAt);
    EXPECT_EQ(Clock(), ClockJson(frozenAt, true));

    EXPECT_EQ(Send("PUT", kClock, R"({"frozen":false})").body, ClockJson(frozenAt, false));
    const HttpResult withdrawn = Send("DELETE", "/zun-clubs/v1/clubs/club-1/invitations/2002");
    ASSERT_EQ(withdrawn.status, 200) << withdrawn.body;
    EXPECT_EQ(Clock(), ClockJson(frozenAt + 1, false));
}

TEST_F(HostClock, ANewWorldSetsTheClockAndAWorldWithoutAFrozenFlagRuns) {
    const HttpResult frozen = Send("PUT", kClock, R"({"frozen":true})");
    ASSERT_EQ(frozen.status, 200);
    const HttpResult world =
        Send("PUT", "/zun-clubs-host/v1/world",
             R"({"service":{"clock":1900000000000},"players":[{"accountId":1001,)"
             R"("summonerId":2001,"name":"Fenwick"}],"clubs":[]})");
    ASSERT_EQ(world.status, 200) << world.body;
    EXPECT_EQ(Clock(), ClockJson(1900000000000, false));
}

TEST_F(HostClock, EveryMoveOfTheClockIsPublishedOnTheEventStream) {
    EventStreamReader stream(host.Port(), "/zun-clubs-host/v1/events?uri=/zun-clubs-host/v1/clock");
    ASSERT_TRUE(stream.Connected());
    ASSERT_EQ(Send("POST", kAdvance, R"({"ms":5000})").status, 200);
    ASSERT_EQ(Send("PUT", kClock, R"({"frozen":true})").status, 200);
    const std::vector<StreamEvent> events =
        stream.WaitFor("\"frozen\":true", std::chrono::seconds(10));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].data,
              "{\"data\":" + ClockJson(kWorldClock + 5000, false) +
                  ",\"eventType\":\"Update\",\"uri\":\"/zun-clubs-host/v1/clock\"}");
    EXPECT_EQ(events[1].data,
              "{\"data\":" + ClockJson(kWorldClock + 5000, true) +
                  ",\"eventType\":\"Update\",\"uri\":\"/zun-clubs-host/v1/clock\"}");
}

TEST_F(HostClock, BadRequestsAreRefusedNamingTheFieldAndTheClockStays) {
    struct Case {
        const char* method;
        const char* target;
        const char* body;
        int status;
        std::string error;
    };
    const std::string nowRule =
        "\\\"now\\\" must be a whole number of milliseconds since 1970-01-01 UTC, from 0 to "
        "253402300799999";
    const std::string msRule =
        "\\\"ms\\\" must be a whole number of milliseconds from 1 to 3155760000000";
    const Case cases[] = {
        {"PUT", kClock, "", 400,
         "the body must be a JSON object, such as {\\\"now\\\":1700000000000,\\\"frozen\\\":true}"},
        {"PUT", kClock, "[1]", 400,
         "the body must be a JSON object, such as {\\\"now\\\":1700000000000,\\\"frozen\\\":true}"},
        {"PUT", kClock, "{\"now\":1800000000000,\"frozen\":\"\xC3\x28\"}", 400,
         "the body is not UTF-8 (at offset 31)"},
        {"PUT", kClock, R"({"now":1800000000000,"now":1900000000000})", 400,
         "\\\"now\\\" is given twice"},
        {"PUT", kClock, R"({"now":"soon"})", 400, nowRule},
        {"PUT", kClock, R"({"now":1.5e12})", 400, nowRule},
        {"PUT", kClock, R"({"now":-1})", 400, nowRule},
        {"PUT", kClock, R"({"now":253402300800000})", 400, nowRule},
        {"PUT", kClock, R"({"now":1800000000000,"frozen":"yes"})", 400,
         "\\\"frozen\\\" must be true or false"},
        {"PUT", kClock, R"({"now":1800000000000,"paused":true})", 400,
         "unknown field \\\"paused\\\"; the body takes \\\"now\\\" and \\\"frozen\\\""},
        {"PUT", kClock, R"({"now":1700000000011})", 409,
         "\\\"now\\\" 1700000000011 is before 1700000000012, the newest time stamp the service "
         "holds; the clock may not go back past a stamp it gave"},
        {"POST", kAdvance, "{}", 400,
         "\\\"ms\\\" is required: a whole number of milliseconds from 1 to 3155760000000"},
        {"POST", kAdvance, R"({"ms":0})", 400, msRule},
        {"POST", kAdvance, R"({"ms":-60000})", 400, msRule},
        {"POST", kAdvance, R"({"ms":3155760000001})", 400, msRule},
        {"POST", kAdvance, R"({"ms":60000,"now":1})", 400,
         "unknown field \\\"now\\\"; the body takes \\\"ms\\\""},
        {"POST", kClock, R"({"ms":60000})", 405, "the clock is read with GET and set with PUT"},
        {"GET", kAdvance, "", 405, "the clock is advanced with POST {\\\"ms\\\": ...}"},
    };
    for (const Case& c : cases) {
        const HttpResult answer = Send(c.method, c.target, c.body);
        EXPECT_EQ(answer.status, c.status) << c.method << " " << c.target << " " << c.body;
        EXPECT_EQ(answer.body, "{\"error\":\"" + c.error + "\"}") << c.body;
    }
    EXPECT_EQ(Clock(), ClockJson(kWorldClock, false));
}

TEST_F(HostClock, TheClockCannotBeAdvancedPastTheLastInstantItCanShow) {
    ASSERT_EQ(Send("PUT", kClock, R"({"now":253402300799000})").status, 200);
    const HttpResult answer = Send("POST", kAdvance, R"({"ms":1000})");
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body,
              "{\"error\":\"\\\"ms\\\" 1000 would move the clock past 253402300799999 "
              "(9999-12-31T23:59:59.999Z)\"}");
    EXPECT_EQ(Send("POST", kAdvance, R"({"ms":999})").body, ClockJson(253402300799999, false));
}

TEST(HostClockWorld, AFrozenClockSurvivesAnExportedWorld) {
    const std::string path = testing::TempDir() + "zc_clock_world_test.json";
    std::remove(path.c_str());
    {
        HostProcess host({"--quiet", "--export-world", path});
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        ASSERT_EQ(
            Request(host.Port(), "PUT", kClock, R"({"now":1750000000000,"frozen":true})").status,
            200);
        EXPECT_EQ(host.Stop(HostProcess::StopSignal(SIGTERM)), 0);
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    const rapidjson::Document exported = ParseJson(text.str());
    ASSERT_TRUE(exported.IsObject()) << text.str();
    EXPECT_EQ(exported["service"]["clock"].GetInt64(), 1750000000000);
    EXPECT_TRUE(exported["service"]["clockFrozen"].GetBool());
    HostProcess again({"--quiet", "--world", path});
    ASSERT_NE(again.Port(), 0) << again.ErrorOutput();
    EXPECT_EQ(Request(again.Port(), "GET", kClock).body, ClockJson(1750000000000, true));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace Kolm::HostTest
