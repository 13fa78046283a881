// Big worlds through the running host: a world of thousands of players put and read back, the
// size above which a world is refused before it is read, and the stop signals while a large
// --world file is still loading.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr const char* kWorld = "/zun-clubs-host/v1/world";
// What a tester's club says about itself, to give a world of 8,000 clubs its 8 MB.
const std::string kDescription =
    "A club of the big world: raids on Thursdays, quests on Sundays, and a long roll of "
    "members who each keep to ten clubs, which is as many as the service allows. New players "
    "are welcome; ask an officer for an invitation and say hello in the club's chat room.";

// `players` players and as many clubs of `members` members: club c's members are the players
// from c on, round the list, so every player is in `members` clubs. Written the way a tester's
// script writes a world: the required fields and a few more.
std::string GeneratedWorld(int players, int members) {
    std::string text = R"({"loggedInAccountId":1001,"players":[)";
    for (int i = 0; i < players; ++i) {
        const std::string id = std::to_string(1001 + i);
        text += std::string(i == 0 ? "" : ",") + R"({"accountId":)" + id + R"(,"summonerId":)" +
                std::to_string(500001 + i) + R"(,"name":"Player )" + id + R"(","profileIconId":)" +
                std::to_string(i % 50) + "}";
    }
    text += R"(],"clubs":[)";
    for (int c = 0; c < players; ++c) {
        const std::string number = std::to_string(c + 1);
        text += std::string(c == 0 ? "" : ",") + R"({"key":"club-)" + number +
                R"(","name":"Big Club )" + number + R"(","motd":"Club )" + number +
                R"( of a big world","description":")" + kDescription + R"(","active":[)";
        for (int m = 0; m < members; ++m) {
            text += std::string(m == 0 ? "" : ",") + R"({"accountId":)" +
                    std::to_string(1001 + (c + m) % players) + R"(,"role":")" +
                    (m == 0 ? "OWNER" : "MEMBER") + R"(","since":)" +
                    std::to_string(1700000000000 + c) + "}";
        }
        text += "]}";
    }
    return text + "]}";
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

// A world of thousands takes the host seconds to apply, many more under ThreadSanitizer: only a
// hang should miss this.
constexpr std::chrono::seconds kWorldTime{120};

class HostBigWorldPut : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostBigWorldPut, AWorldOfEightThousandPlayersIsAcceptedAndReadBack) {
    const std::string world = GeneratedWorld(8000, 10);
    ASSERT_GT(world.size(), 7500u * 1000);

    const HttpResult put =
        Request(host.Port(), "PUT", kWorld, world, "application/json", kWorldTime);
    ASSERT_EQ(put.status, 200) << put.body.substr(0, 200);

    const HttpResult read = Request(host.Port(), "GET", kWorld, "", "application/json", kWorldTime);
    ASSERT_EQ(read.status, 200);
    EXPECT_EQ(read.body, put.body);
    const rapidjson::Document now = ParseJson(read.body);
    ASSERT_TRUE(now.IsObject());
    EXPECT_EQ(now["players"].Size(), 8000u);
    ASSERT_EQ(now["clubs"].Size(), 8000u);
    const rapidjson::Value* last = nullptr;
    for (const auto& club : now["clubs"].GetArray()) {
        last = club["key"] == "club-8000" ? &club : last;
    }
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ((*last)["motd"].GetString(), "Club 8000 of a big world");
    ASSERT_EQ((*last)["active"].Size(), 10u);
    EXPECT_EQ((*last)["active"][0]["accountId"].GetUint64(), 9000u);
    EXPECT_EQ((*last)["active"][1]["accountId"].GetUint64(), 1001u);  // round the list

    // The plugin hears of it as of any change: the player owns club 1 and is in the nine last.
    EXPECT_TRUE(Eventually([&] {
        const rapidjson::Document membership =
            ParseJson(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").body);
        return membership.IsObject() && membership.HasMember("activeClubs") &&
               membership["activeClubs"].Size() == 10 &&
               !ClubKeyByName(membership, "Big Club 7993").empty();
    }));
}

TEST_F(HostBigWorldPut, AWorldAboveTheLimitIsRefusedWithTheLimitBeforeItIsRead) {
    const std::string before = Request(host.Port(), "GET", kWorld).body;
    const HttpResult refused =
        SendRaw(host.Port(), std::string("PUT ") + kWorld +
                                 " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                 "application/json\r\nContent-Length: 67108865\r\n\r\n{");
    EXPECT_EQ(refused.status, 413);
    EXPECT_EQ(refused.body, R"({"error":"request body larger than 67108864 bytes"})");
    EXPECT_EQ(Request(host.Port(), "GET", kWorld).body, before);
}

TEST_F(HostBigWorldPut, EveryOtherRequestKeepsTheOneMebibyteLimit) {
    for (const char* head : {"GET /zun-clubs-host/v1/world", "POST /zun-clubs-host/v1/world",
                             "POST /zun-clubs-host/v1/faults", "PUT /zun-clubs-host/v1/world/x",
                             "PUT /zun-clubs/v1/clubs/club-1/motd"}) {
        const HttpResult refused =
            SendRaw(host.Port(), std::string(head) +
                                     " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: "
                                     "2000000\r\n\r\n");
        EXPECT_EQ(refused.status, 413) << head;
        EXPECT_EQ(refused.body, R"({"error":"request body larger than 1048576 bytes"})") << head;
    }
}

// A --world file large enough that loading it takes a while, written once for the suite.
class HostBigWorldStart : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Named after the process: ctest runs this suite's tests as parallel processes, and one
        // must not rewrite the file while another's host reads it.
        worldPath_ = new std::string(testing::TempDir() + "zc_big_world_test_" +
                                     std::to_string(getpid()) + ".json");
        std::ofstream(*worldPath_, std::ios::binary) << GeneratedWorld(100000, 5);
    }
    static void TearDownTestSuite() {
        std::remove(worldPath_->c_str());
        delete worldPath_;
    }

    // Starts the host on the big world and sends `signal` as soon as it says it is loading,
    // then checks how it ended: stopped while loading (exit status 6, that message, nothing
    // exported) or, had it served by then, stopped in order (status 0, the world exported).
    static void StopsPromptly(int signal) {
        const std::string name = HostProcess::StopName(signal);
        const std::string exported = testing::TempDir() + "zc_big_world_export_" + name + ".json";
        std::remove(exported.c_str());
        HostProcess host({"--quiet", "--world", *worldPath_, "--export-world", exported}, true,
                         HostProcess::Start::AtOnce);
        ASSERT_TRUE(Eventually([&] {
            return host.ErrorOutput().find("zun-clubs-host: loading the world ") !=
                   std::string::npos;
        })) << host.ErrorOutput();
        // Stop waits a bounded time and reports -1 when the process did not end in it.
        const int status = host.Stop(signal);
        const std::string log = host.ErrorOutput();
        const std::string shutdown = "zun-clubs-host: " + name + " received, shutting down\n";
        if (log.find(shutdown) == std::string::npos) {
            EXPECT_EQ(status, 6) << log;
            EXPECT_NE(log.find("zun-clubs-host: " + name +
                               " received: stopped while loading the world, before serving; "
                               "nothing was exported\n"),
                      std::string::npos)
                << log;
            EXPECT_FALSE(Exists(exported));
        } else {  // it served before the signal came
            EXPECT_EQ(status, 0) << log;
            EXPECT_TRUE(Exists(exported));
        }
        std::remove(exported.c_str());
    }

    static std::string* worldPath_;
};

std::string* HostBigWorldStart::worldPath_ = nullptr;

TEST_F(HostBigWorldStart, SigtermWhileLoadingStopsTheHostAtOnce) {
    if (WindowsHost()) {
        GTEST_SKIP() << "a Windows program has no SIGTERM (Wine ends it at once on one); "
                        "Ctrl-C, SIGINT here, is its only stop request";
    }
    StopsPromptly(SIGTERM);
}

TEST_F(HostBigWorldStart, SigintWhileLoadingStopsTheHostAtOnce) {
    StopsPromptly(SIGINT);
}

}  // namespace
}  // namespace Kolm::HostTest
