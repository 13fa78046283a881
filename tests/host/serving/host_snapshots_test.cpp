// Going back to a world through the running host and the real plugin: a reset after a session
// of changes, named snapshots kept and restored, the names and bodies refused, and an export
// that leaves the previous file whole when the host is killed.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr const char* kWorld = "/zun-clubs-host/v1/world";
constexpr const char* kReset = "/zun-clubs-host/v1/world/reset";
constexpr const char* kSnapshots = "/zun-clubs-host/v1/world/snapshots";
constexpr const char* kMembership = "/zun-clubs/v1/clubs/membership";
constexpr const char* kToasts = "/player-notifications/v1/notifications";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The plugin's membership once its refetches have settled on `expected`.
bool MembershipBecomes(uint16_t port, const std::string& expected) {
    return Eventually([&] { return Request(port, "GET", kMembership).body == expected; });
}

class HostSnapshots : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Call(const std::string& method,
                    const std::string& path,
                    const std::string& body = "") {
        return Request(host.Port(), method, path, body);
    }
    std::string World() { return Call("GET", kWorld).body; }
    std::string Membership() { return Call("GET", kMembership).body; }
    // A session's worth of changes: a new club, a new message of the day, a toast, a fault rule.
    void ChangeEverything() {
        ASSERT_EQ(Call("POST", kMembership, R"({"name":"Fresh Club"})").status, 200);
        ASSERT_EQ(Call("PATCH", "/zun-clubs/v1/clubs/club-1/motd", R"({"motd":"Moved on"})").status,
                  200);
        ASSERT_EQ(Call("POST", kToasts, R"({"title":"left over"})").status, 200);
        ASSERT_EQ(
            Call("POST", "/zun-clubs-host/v1/faults",
                 R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","status":500})")
                .status,
            201);
    }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostSnapshots, AResetGivesBackTheStartingWorldAndThePluginsMembership) {
    const std::string world = World();
    const std::string membership = Membership();
    ChangeEverything();
    ASSERT_NE(World(), world);
    ASSERT_TRUE(MembershipBecomes(host.Port(), Membership()));
    ASSERT_NE(Membership(), membership);

    const HttpResult reset = Call("POST", kReset);
    ASSERT_EQ(reset.status, 200) << reset.body;
    EXPECT_EQ(
        reset.body,
        R"({"world":"the world the host started with","cleared":["faultRules","toasts","requests"]})");
    EXPECT_EQ(World(), world);
    EXPECT_TRUE(MembershipBecomes(host.Port(), membership)) << Membership();
    EXPECT_EQ(Call("GET", "/zun-clubs-host/v1/faults").body, "[]");
    EXPECT_EQ(Call("GET", kToasts).body, "[]") << "toasts";
    // The journal keeps none of the calls made before the reset, nor the plugin's refetches
    // that it caused.
    const std::string journal = Call("GET", "/zun-clubs-host/v1/requests").body;
    EXPECT_NE(journal.find("\"entries\":[]"), std::string::npos) << journal;
}

TEST(HostSnapshotsFromFile, AResetGoesBackToTheWorldFileAsItWasReadAtStart) {
    const std::string path =
        testing::TempDir() + "zc_reset_world_file_" + std::to_string(getpid()) + ".json";
    std::string text = ReadFile(std::string(ZC_WORLDS_DIR) + "/default.json");
    text.replace(text.find("Night Owls"), 10, "Day Larks");
    std::ofstream(path, std::ios::binary) << text;
    HostProcess host({"--quiet", "--world", path});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    // The file changing later is not the world the host started with.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << R"({"players":[],"clubs":[]})";
    ASSERT_EQ(
        Request(host.Port(), "PUT", kWorld, ReadFile(std::string(ZC_WORLDS_DIR) + "/default.json"))
            .status,
        200);
    ASSERT_EQ(Request(host.Port(), "POST", kReset).status, 200);
    EXPECT_EQ(Request(host.Port(), "GET", kWorld).body, text);
    std::remove(path.c_str());
}

TEST_F(HostSnapshots, AKeptWorldIsListedReadRestoredAndRemoved) {
    ChangeEverything();
    const std::string changed = World();
    ASSERT_TRUE(MembershipBecomes(host.Port(), Membership()));
    const std::string changedMembership = Membership();
    const std::string bytes = std::to_string(changed.size());

    const HttpResult kept = Call("PUT", std::string(kSnapshots) + "/after-session.1");
    EXPECT_EQ(kept.status, 201);
    EXPECT_EQ(kept.body, R"({"name":"after-session.1","bytes":)" + bytes + "}");
    EXPECT_EQ(Call("PUT", std::string(kSnapshots) + "/after-session.1").status, 200);
    EXPECT_EQ(Call("GET", kSnapshots).body, R"({"snapshots":[{"name":"after-session.1","bytes":)" +
                                                bytes + R"(}],"bytes":)" + bytes +
                                                R"(,"maxCount":32,"maxBytes":134217728})");
    EXPECT_EQ(Call("GET", std::string(kSnapshots) + "/after-session.1").body, changed);

    ASSERT_EQ(Call("POST", kReset).status, 200);
    ASSERT_NE(World(), changed);
    const HttpResult restored = Call("POST", std::string(kSnapshots) + "/after-session.1/restore");
    EXPECT_EQ(restored.status, 200);
    EXPECT_EQ(restored.body, R"({"restored":"after-session.1"})");
    EXPECT_EQ(World(), changed);
    EXPECT_TRUE(MembershipBecomes(host.Port(), changedMembership)) << Membership();

    EXPECT_EQ(Call("DELETE", std::string(kSnapshots) + "/after-session.1").status, 204);
    EXPECT_EQ(Call("GET", kSnapshots).body,
              R"({"snapshots":[],"bytes":0,"maxCount":32,"maxBytes":134217728})");
}

TEST_F(HostSnapshots, BadNamesUnknownNamesAndBodiesAreRefusedWithTheReason) {
    const std::string rule =
        "a snapshot name is 1 to 64 letters, digits, '-', '_' or '.' (and "
        "not \\\".\\\" or \\\"..\\\"); \\\"";
    const std::pair<std::string, std::string> badNames[] = {
        {"with%20space", "with%20space"},
        {"..", ".."},
        {"a/b", "a/b"},
        {std::string(65, 'n'), std::string(64, 'n') + "..."},
    };
    for (const auto& [name, shown] : badNames) {
        const HttpResult refused = Call("PUT", std::string(kSnapshots) + "/" + name);
        EXPECT_EQ(refused.status, 400) << name;
        EXPECT_EQ(refused.body, "{\"error\":\"" + rule + shown + "\\\" is not one\"}") << name;
    }
    EXPECT_EQ(Call("PUT", std::string(kSnapshots) + "/" + std::string(64, 'n')).status, 201);

    for (const auto& [method, path] : {std::pair<std::string, std::string>{"GET", "/missing"},
                                       {"DELETE", "/missing"},
                                       {"POST", "/missing/restore"}}) {
        const HttpResult unknown = Call(method, std::string(kSnapshots) + path);
        EXPECT_EQ(unknown.status, 404) << method << path;
        EXPECT_EQ(unknown.body, R"({"error":"no snapshot named \"missing\""})") << method << path;
    }
    const HttpResult withBody =
        Call("PUT", std::string(kSnapshots) + "/given", R"({"players":[]})");
    EXPECT_EQ(withBody.status, 400);
    EXPECT_EQ(withBody.body,
              R"({"error":"a snapshot keeps the world as it is now and takes no body; to keep )"
              R"(another world, PUT it to /zun-clubs-host/v1/world first"})");
    EXPECT_EQ(Call("GET", kReset).status, 405);
}

TEST_F(HostSnapshots, NoMoreThanTheBoundOfSnapshotsIsKept) {
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(Call("PUT", std::string(kSnapshots) + "/s" + std::to_string(i)).status, 201);
    }
    const HttpResult refused = Call("PUT", std::string(kSnapshots) + "/one-more");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body,
              R"({"error":"at most 32 snapshots may be kept; delete one before keeping another"})");
    // Keeping under a name already kept replaces it, within the bound.
    EXPECT_EQ(Call("PUT", std::string(kSnapshots) + "/s0").status, 200);
}

// `players` players in as many clubs of five, each with a long description: a world whose
// export takes the host long enough to be killed in the middle of it.
std::string ManyClubsWorld(int players) {
    const std::string description(300, 'd');
    std::string text = R"({"loggedInAccountId":1001,"players":[)";
    for (int i = 0; i < players; ++i) {
        text += std::string(i == 0 ? "" : ",") + R"({"accountId":)" + std::to_string(1001 + i) +
                R"(,"summonerId":)" + std::to_string(500001 + i) + "}";
    }
    text += R"(],"clubs":[)";
    for (int c = 0; c < players; ++c) {
        text += std::string(c == 0 ? "" : ",") + R"({"key":"club-)" + std::to_string(c) +
                R"(","name":"Club )" + std::to_string(c) + R"(","description":")" + description +
                R"(","active":[)";
        for (int m = 0; m < 5; ++m) {
            text += std::string(m == 0 ? "" : ",") + R"({"accountId":)" +
                    std::to_string(1001 + (c + m) % players) + R"(,"role":")" +
                    (m == 0 ? "OWNER" : "MEMBER") + "\"}";
        }
        text += "]}";
    }
    return text + "]}";
}

// A host killed at some point of its stop, the export included, leaves the file it exports to
// either as it was or holding the whole new world, never part of one, and no temporary file.
TEST(HostWorldExportKilled, AKillDuringTheExportLeavesThePreviousFileWhole) {
    const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) /
                                         ("zc_export_killed_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string worldPath = (folder / "start.json").string();
    std::ofstream(worldPath, std::ios::binary) << ManyClubsWorld(2000);
    const std::string path = (folder / "world.json").string();
    const std::string previous = ReadFile(std::string(ZC_WORLDS_DIR) + "/default.json");
    std::ofstream(path, std::ios::binary) << previous;

    bool exported = false;
    bool cutShort = false;
    for (int attempt = 0; attempt < 40 && !exported; ++attempt) {
        HostProcess host({"--quiet", "--world", worldPath, "--export-world", path});
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        const std::string world = Request(host.Port(), "GET", kWorld).body;
        // The stop request starts the stop, whose last step is the export; the kill lands ever
        // later in it, densely at first and up to seconds later, for a slow (sanitized) host.
        kill(host.Pid(), HostProcess::StopSignal(SIGTERM));
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt * attempt));
        host.Stop(SIGKILL);
        const std::string now = ReadFile(path);
        exported = now == world;
        ASSERT_TRUE(exported || now == previous)
            << "attempt " << attempt << ": the file holds " << now.size() << " bytes, neither the "
            << previous.size() << " of before nor the " << world.size() << " of the export";
        // A kill in the middle of the write leaves its temporary file beside the target.
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            cutShort = cutShort || entry.path().filename().string().find("world.json.tmp-") == 0;
        }
    }
    EXPECT_TRUE(exported) << "no attempt let the export finish";
    RecordProperty("killedWhileWriting", cutShort ? "yes" : "no");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace Kolm::HostTest
