// zun-clubs-host is there when called: a script that calls it as soon as the port answers
// finds the plugin started, and connections that send nothing (or half a request) cannot lock
// out a real client.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/host_process.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

using Clock = std::chrono::steady_clock;

TEST(HostAvailability, AScriptThatCallsAsSoonAsThePortAnswersFindsThePluginStarted) {
    // Each round starts a host and calls it the moment a connection succeeds.
    for (int round = 0; round < 3; ++round) {
        const uint16_t port = FreePort();
        HostProcess host({"--quiet", "--port", std::to_string(port)}, false,
                         HostProcess::Start::AtOnce);
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
        int socket = -1;
        while ((socket = Connect(port)) < 0 && Clock::now() < deadline && host.Running()) {
            std::this_thread::yield();
        }
        ASSERT_GE(socket, 0) << host.ErrorOutput();
        close(socket);
        const HttpResult first = Request(port, "GET", "/zun-clubs/v1/clubs/membership");
        EXPECT_EQ(first.status, 200) << first.body;
        EXPECT_EQ(first.body.find("not started"), std::string::npos) << first.body;
    }
}

class HostConnectionFlood : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }
    void TearDown() override {
        for (const int socket : idle) {
            close(socket);
        }
    }
    // Opens `count` connections; each sends `prefix` (possibly nothing) and then waits.
    void OpenIdle(int count, const std::string& prefix) {
        for (int i = 0; i < count; ++i) {
            const int socket = Connect(host.Port());
            ASSERT_GE(socket, 0) << i;
            if (!prefix.empty()) {
                ASSERT_EQ(send(socket, prefix.data(), prefix.size(), MSG_NOSIGNAL),
                          static_cast<ssize_t>(prefix.size()));
            }
            idle.push_back(socket);
        }
    }
    HttpResult Membership() {
        return SendRaw(host.Port(),
                       "GET /zun-clubs/v1/clubs/membership HTTP/1.1\r\nHost: localhost\r\n\r\n",
                       std::chrono::seconds(5));
    }

    HostProcess host{{"--quiet"}};
    std::vector<int> idle;
};

TEST_F(HostConnectionFlood, TwoHundredSilentConnectionsLeaveARequestAnswered) {
    OpenIdle(200, "");
    EXPECT_EQ(Membership().status, 200);
}

TEST_F(HostConnectionFlood, TwoHundredHalfSentRequestsLeaveARequestAnswered) {
    OpenIdle(100, "GET /zun-clubs/v1/clubs/membership HTTP/1.1\r\nHost: loc");
    OpenIdle(100,
             "PATCH /zun-clubs/v1/clubs/x/motd HTTP/1.1\r\nHost: localhost\r\n"
             "Content-Length: 100\r\n\r\n{\"mo");
    EXPECT_EQ(Membership().status, 200);
    EXPECT_EQ(Membership().status, 200);
}

TEST_F(HostConnectionFlood, MoreSilentConnectionsThanTheLimitMakeRoomForARealClient) {
    // Past the server's connection limit the oldest silent connections give way.
    OpenIdle(700, "");
    EXPECT_EQ(Membership().status, 200);
}

}  // namespace
}  // namespace Kolm::HostTest
