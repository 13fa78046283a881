// zun-clubs-host keeps its own paths answering while the plugin's calls wait behind a slow
// fault rule, lets the removal of that rule release the calls it holds, and refuses plugin
// calls past what can wait rather than running out of connections.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFaults = "/zun-clubs-host/v1/faults";
// Longer than any wait below: a call held by it ends within the test only when released.
constexpr const char* kSlowMotdRule =
    R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","latencyMs":60000})";
// More than any answer takes that is not held up; far less than the rule's latency.
constexpr std::chrono::seconds kHang{40};

std::string MotdChange(const std::string& motd) {
    const std::string body = "{\"motd\":\"" + motd + "\"}";
    return "PATCH /zun-clubs/v1/clubs/club-1/motd HTTP/1.1\r\nHost: localhost\r\n"
           "Content-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// What the host sends on `socket` until it closes the connection (it does after every answer)
// or `deadline` passes; what had arrived by then is read even when the deadline is past.
std::string AnswerOn(int socket, Clock::time_point deadline) {
    std::string answer;
    char chunk[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{socket, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) <= 0) {
            return answer;
        }
        const ssize_t got = recv(socket, chunk, sizeof(chunk), 0);
        if (got <= 0) {
            return answer;
        }
        answer.append(chunk, static_cast<std::size_t>(got));
    }
}

// The status of the answer that arrives on `socket` before `deadline`; 0 when none does.
int StatusOfAnswer(int socket, Clock::time_point deadline) {
    const std::string answer = AnswerOn(socket, deadline);
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
}

class HostCapacity : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }
    void TearDown() override {
        if (host.Running()) {
            Call("DELETE", kFaults);  // releases what is still held
        }
        for (std::thread& call : calls) {
            call.join();
        }
        for (const int socket : sockets) {
            close(socket);
        }
    }

    HttpResult Call(const std::string& method, const std::string& target) {
        return Request(host.Port(), method, target);
    }
    void AddSlowRule() {
        const HttpResult added = Request(host.Port(), "POST", kFaults, kSlowMotdRule);
        ASSERT_EQ(added.status, 201) << added.body;
    }
    // Sends `raw` on `count` connections of their own (each fully sent on return).
    std::vector<int> SendEach(const std::string& raw, int count) {
        std::vector<int> sent;
        for (int i = 0; i < count; ++i) {
            const int socket = Connect(host.Port());
            EXPECT_GE(socket, 0) << i;
            EXPECT_EQ(send(socket, raw.data(), raw.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(raw.size()));
            sent.push_back(socket);
        }
        return sent;
    }
    // Sends `count` MOTD changes; their sockets go to `sockets`.
    void SendMotdChanges(int count) {
        for (int i = 0; i < count; ++i) {
            sockets.push_back(SendEach(MotdChange("call " + std::to_string(i)), 1).front());
        }
    }
    // Reads the answers of the changes sent on a thread each; `finished` counts them.
    void AwaitAnswers() {
        for (const int socket : sockets) {
            calls.emplace_back([this, socket] {
                const int status = StatusOfAnswer(socket, Clock::now() + kHang);
                std::lock_guard guard(mutex);
                statuses.push_back(status);
                ++finished;
            });
        }
    }
    void AwaitRuleApplied() {
        ASSERT_TRUE(Eventually(
            [&] { return host.ErrorOutput().find("fault rule 1 applied") != std::string::npos; },
            kHang))
            << host.ErrorOutput();
    }

    HostProcess host{{"--quiet"}};
    std::vector<int> sockets;
    std::vector<std::thread> calls;
    std::mutex mutex;
    std::vector<int> statuses;
    std::atomic<int> finished{0};
};

TEST_F(HostCapacity, HostPathsAnswerWhileMorePluginCallsThanWorkersWaitBehindASlowRule) {
    AddSlowRule();
    SendMotdChanges(24);  // the plugin runs them one at a time: 23 wait for the first
    AwaitRuleApplied();
    AwaitAnswers();
    for (const char* target : {kFaults, "/zun-clubs-host/v1/world", "/zun-login/v1/session",
                               "/player-notifications/v1/notifications",
                               "/zun-clubs-host/v1/openapi.json", "/zun-clubs-host/console/"}) {
        const HttpResult answer = Call("GET", target);
        EXPECT_EQ(answer.status, 200) << target << ": " << answer.body;
        EXPECT_EQ(finished, 0) << target << " was answered only after the plugin calls";
    }
    EXPECT_NE(Call("GET", kFaults).body.find("\"latencyMs\":60000"), std::string::npos);
    EXPECT_EQ(finished, 0);
}

TEST_F(HostCapacity, DeletingTheRuleReleasesTheCallsItHoldsAndTheyGoThrough) {
    AddSlowRule();
    SendMotdChanges(24);
    AwaitRuleApplied();
    AwaitAnswers();
    EXPECT_EQ(Call("DELETE", std::string(kFaults) + "/1").status, 204);
    for (std::thread& call : calls) {
        call.join();
    }
    calls.clear();
    EXPECT_EQ(statuses, std::vector<int>(24, 200));
    EXPECT_EQ(Call("GET", "/zun-clubs/v1/clubs/club-1/motd").body.rfind("\"call ", 0), 0u);
}

TEST_F(HostCapacity, ClearingTheRulesReleasesTheCallsTheyHold) {
    AddSlowRule();
    SendMotdChanges(3);
    AwaitRuleApplied();
    AwaitAnswers();
    EXPECT_EQ(Call("DELETE", kFaults).status, 204);
    for (std::thread& call : calls) {
        call.join();
    }
    calls.clear();
    EXPECT_EQ(statuses, std::vector<int>(3, 200));
}

TEST_F(HostCapacity, PluginCallsPastTheWaitingLimitAreRefusedAtOnceAndHostPathsStillAnswer) {
    AddSlowRule();
    // The plugin lane holds at most 16 calls in its workers and 256 waiting, so of 8 calls more
    // at least 8 are refused at once. Which ones depends on how soon the workers take theirs (a
    // call examined before they do may find the queue full), so up to 16 more may be refused.
    constexpr int kHeld = 16 + 256;
    constexpr int kMore = 8;
    SendMotdChanges(kHeld + kMore);
    AwaitRuleApplied();
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(3);
    int refused = 0;
    for (const int socket : sockets) {
        const std::string answer = AnswerOn(socket, deadline);
        if (answer.empty()) {
            continue;  // held by the rule
        }
        ++refused;
        EXPECT_EQ(answer.rfind("HTTP/1.1 503 ", 0), 0u) << answer;
        EXPECT_NE(answer.find("\r\nRetry-After: 1\r\n"), std::string::npos) << answer;
        EXPECT_NE(answer.find("\r\n\r\n{\"error\":\"too many calls are waiting for the plugin; "
                              "this one was not started, try again later\"}"),
                  std::string::npos)
            << answer;
    }
    EXPECT_GE(refused, kMore);
    EXPECT_LE(refused, kMore + 16);
    EXPECT_EQ(Call("GET", kFaults).status, 200);
    EXPECT_EQ(Call("DELETE", kFaults).status, 204);
}

TEST_F(HostCapacity, HostChangesThatWaitForThePluginLeaveTheHostReadsAnswering) {
    AddSlowRule();
    SendMotdChanges(3);
    AwaitRuleApplied();
    // The plugin hears a new session at once and its handler waits for the held MOTD changes;
    // more of them than the host has workers for its reads.
    const std::vector<int> logins = SendEach(
        "POST /zun-login/v1/session/login HTTP/1.1\r\nHost: localhost\r\n"
        "Content-Length: 0\r\n\r\n",
        6);
    sockets.insert(sockets.end(), logins.begin(), logins.end());
    for (const char* target : {kFaults, "/zun-clubs-host/v1/world", "/zun-login/v1/session"}) {
        const HttpResult answer = Call("GET", target);
        EXPECT_EQ(answer.status, 200) << target << ": " << answer.body;
        EXPECT_EQ(StatusOfAnswer(logins.back(), Clock::now()), 0)
            << target << " was answered only after the logins";
    }
    EXPECT_EQ(Call("DELETE", kFaults).status, 204);
    for (const int login : logins) {
        EXPECT_EQ(StatusOfAnswer(login, Clock::now() + kHang), 200);
    }
}

TEST_F(HostCapacity, StoppingTheHostDoesNotWaitOutALatency) {
    AddSlowRule();
    SendMotdChanges(2);
    AwaitRuleApplied();
    // HostProcess::Stop gives up after 20 s, a third of the rule's latency.
    EXPECT_EQ(host.Stop(HostProcess::StopSignal(SIGTERM)), 0) << host.ErrorOutput();
}

}  // namespace
}  // namespace Kolm::HostTest
