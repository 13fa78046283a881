// The one clubs lock seen from the host: REST reads on several threads while other threads
// deliver configuration changes, push messages and preference updates, and clubs events that
// the host runs on a thread whose clubs handler is waiting inside a call to the host.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/clubs/clubs_test_host.h"

namespace Kolm::ClubsTest {
namespace {

constexpr const char* kUrlPath = "/zun-platform-config/v1/namespaces/Clubs/ClubServiceUrl";
constexpr const char* kQrxPath = "/zun-platform-config/v1/namespaces/Clubs/ClubsQRXEnabled";

class ClubsThreadsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.AddDefaultPlayer();
        ASSERT_TRUE(host.Init());
        for (const char* name : {"beta", "Alpha"}) {
            const Host::WebResponse created = host.service.HandleAs(
                kAccountId, "POST", std::string(kServiceUrl) + "/v1/clubs?clubName=" + name);
            ASSERT_EQ(created.status, 200) << created.body;
        }
        host.EnableClubs();
    }

    void ReloadConfiguration() {
        host.SetPlatformValue(kUrlPath, std::string("\"") + kServiceUrl + "\"");
    }

    ClubsTestHost host;
};

// What a whole model looks like here: both clubs held, each flagged primary exactly when it is
// the preferred one, and the presence text the service issued for the same preferences.
std::string Inconsistency(const json& membership) {
    const json& clubs = membership["activeClubs"];
    if (!clubs.is_array() || clubs.size() != 2) {
        return "club list " + clubs.dump();
    }
    const std::string primary = membership["preferences"]["primaryClubKey"];
    const bool shared = membership["preferences"]["shareClubAffiliation"];
    for (const json& club : clubs) {
        if (club["primary"] != (club["key"] == primary)) {
            return "primary flag of " + club["key"].dump() + " with primary " + primary;
        }
    }
    if (!primary.empty() && clubs[0]["key"] != primary) {
        return "primary club not first";
    }
    const std::string presence =
        std::string("clubs-presence:EUW1:2001:") + primary + ":" + (shared ? "shared" : "private");
    if (membership["secureClubPresenceInfoString"] != presence) {
        return "presence " + membership["secureClubPresenceInfoString"].dump();
    }
    return "";
}

TEST_F(ClubsThreadsTest, ReadersOnSeveralThreadsOnlyEverSeeWholeModels) {
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::vector<std::string> problems[2];

    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&, r] {
            while (!done.load()) {
                const RestReply membership =
                    host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership");
                const std::string problem =
                    membership.hasError ? membership.errorText : Inconsistency(membership.value);
                if (!problem.empty()) {
                    problems[r].push_back(problem);
                }
                const RestReply club = host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/club-2");
                if (club.hasError || club.value["name"] != "Alpha") {
                    problems[r].push_back("club-2: " + club.errorText);
                }
                reads.fetch_add(1);
            }
        });
    }
    std::thread preferences([&] {
        for (int i = 0; i < 30; ++i) {
            const json body = {{"primaryClubKey", i % 2 == 0 ? "club-1" : "club-2"},
                               {"shareClubAffiliation", i % 3 == 0}};
            const RestReply reply = host.Call(
                HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/membership/preferences", body.dump());
            EXPECT_FALSE(reply.hasError) << reply.errorText;
        }
    });
    std::thread events([&] {
        for (int i = 0; i < 30; ++i) {
            if (i % 2 == 0) {
                ReloadConfiguration();
            } else {
                host.SendMembershipMessage();
            }
        }
    });
    preferences.join();
    events.join();
    while (reads.load() < 20) {
        std::this_thread::yield();
    }
    done.store(true);
    for (std::thread& reader : readers) {
        reader.join();
    }
    for (const auto& found : problems) {
        EXPECT_TRUE(found.empty()) << found.size() << " bad replies, first: " << found.front();
    }
    EXPECT_EQ(Inconsistency(host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership").value),
              "");
}

TEST_F(ClubsThreadsTest, RequestOfAnotherThreadWaitsWhileAHandlerIsInsideAServiceCall) {
    std::atomic<bool> readerDone{false};
    RestReply read;
    std::thread reader;
    bool readerFinishedEarly = true;
    bool first = true;
    host.SetServiceHook([&](const Host::WebRequest&) -> std::optional<Host::WebResponse> {
        if (!first) {
            return std::nullopt;
        }
        first = false;
        reader = std::thread([&] {
            read = host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership");
            readerDone.store(true);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        readerFinishedEarly = readerDone.load();
        return std::nullopt;
    });
    ReloadConfiguration();
    reader.join();
    EXPECT_FALSE(readerFinishedEarly);
    EXPECT_FALSE(read.hasError) << read.errorText;
    EXPECT_EQ(Inconsistency(read.value), "");
}

TEST_F(ClubsThreadsTest, NestedEventOnTheWaitingThreadRunsAfterTheHandler) {
    host.ClearRecords();
    bool acted = false;
    std::size_t requestsWhenNested = 0;
    std::size_t requestsAfterNested = 0;
    RestReply nestedRead;
    host.SetServiceHook([&](const Host::WebRequest&) -> std::optional<Host::WebResponse> {
        if (acted) {
            return std::nullopt;
        }
        acted = true;
        // The host runs work of its own on this thread while the plugin waits for the answer.
        requestsWhenNested = host.ServiceRequests().size();
        host.SetPlatformValue(kQrxPath, "true");
        host.SendMembershipMessage();
        requestsAfterNested = host.ServiceRequests().size();
        nestedRead = host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership");
        return std::nullopt;
    });
    ReloadConfiguration();

    // Neither nested event ran inside the waiting handler...
    EXPECT_EQ(requestsWhenNested, 1u);
    EXPECT_EQ(requestsAfterNested, 1u);
    // ... both ran right after it, on the same thread: the switch reloads, the message rereads.
    EXPECT_EQ(host.ServiceRequests().size(), 3u);
    EXPECT_EQ(host.PublishedOn("/zun-clubs/v1/clubs/membership").size(), 3u);
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Deferring platform configuration event " +
                                            std::string(kQrxPath) +
                                            " until the running clubs handler has finished"),
              1);
    EXPECT_EQ(host.CountLines(kLogOkay,
                              "zun-clubs: Deferring membership message until the running clubs "
                              "handler has finished"),
              1);
    // A REST request cannot wait for the handler it interrupts: it is refused.
    EXPECT_TRUE(nestedRead.hasError);
    EXPECT_EQ(nestedRead.status, 503u);
    EXPECT_EQ(nestedRead.errorText, "CLUBS_BUSY");
    EXPECT_EQ(
        host.CountLines(kLogError,
                        "zun-clubs: Refusing GET /zun-clubs/v1/clubs/membership: another clubs "
                        "handler is waiting on this thread"),
        1);
    // And the plugin is free again for the next request.
    EXPECT_FALSE(host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership").hasError);
}

}  // namespace
}  // namespace Kolm::ClubsTest
