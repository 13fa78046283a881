// zun-clubs-host left running as a front-end developer leaves it: after a warm-up, a long mix
// of actions and reads leaves its resident memory flat, since every record the host keeps is
// bounded.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/host_process.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

// Sanitizer builds keep freed memory in quarantine and shadow it, so their resident size says
// nothing about what the host holds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Runs `count` requests of a mix of the plugin's actions and reads, and of the simulated
// platform's, so that every record the host could keep per call is exercised.
void RunMixedRequests(uint16_t port, const std::string& clubKey, int count) {
    const std::string club = "/zun-clubs/v1/clubs/" + clubKey;
    const std::vector<std::function<HttpResult(int)>> mix = {
        [&](int i) {
            return Request(port, "PATCH", club + "/motd",
                           "{\"motd\":\"motd " + std::to_string(i) + "\"}");
        },
        [&](int) { return Request(port, "GET", club); },
        [&](int) { return Request(port, "POST", club + "/promotions/2004"); },
        [&](int) { return Request(port, "DELETE", club + "/promotions/2004"); },
        [&](int) { return Request(port, "GET", "/zun-clubs/v1/clubs/membership"); },
        [&](int) { return Request(port, "GET", "/zun-summoner/v1/summoners/2003"); },
        [&](int) { return Request(port, "GET", "/zun-chat/v1/blocked-players/2003"); },
        [&](int i) {
            return Request(port, "PUT", "/zun-platform-config/v1/namespaces/Soak/Value",
                           std::to_string(i));
        },
    };
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const HttpResult answer = mix[i % mix.size()](i);
        // The chat answers 404 for a player who is not blocked: still an answer.
        failures += answer.status == 200 || answer.status == 404 ? 0 : 1;
    }
    EXPECT_EQ(failures, 0);
}

TEST(HostMemorySoak, ResidentMemoryStaysFlatUnderAMixOfActionsAndReads) {
    if (kSanitized) {
        GTEST_SKIP() << "resident memory is not measurable under a sanitizer";
    }
    HostProcess host({"--quiet"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    const std::string key =
        ClubKeyByName(ParseJson(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").body),
                      "Night Owls");
    ASSERT_FALSE(key.empty());
    // The warm-up lets the allocator and every bounded record reach their working size.
    RunMixedRequests(host.Port(), key, 2000);
    const std::size_t before = host.ResidentKilobytes();
    RunMixedRequests(host.Port(), key, 6000);
    const std::size_t after = host.ResidentKilobytes();
    ASSERT_GT(before, 0u);
    EXPECT_LT(after, before + before * 15 / 100)
        << "resident memory grew from " << before << " kB to " << after << " kB";
}

}  // namespace
}  // namespace Kolm::HostTest
