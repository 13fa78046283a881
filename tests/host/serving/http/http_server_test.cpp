// The host's HTTP server in-process: a port that refuses clients until it serves, clients that
// send slowly or read slowly holding no worker, its connection limit, and its lanes.
#include "host/serving/http/http_server.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

using Host::HttpRequest;
using Host::HttpResponse;
using Host::HttpServer;

// Answers "/big" with a body far larger than a socket buffer, "/wait" once released, anything
// else with a short text.
class ServerFixture : public ::testing::Test {
  protected:
    void Serve(HttpServer::Options options, HttpServer::Classifier classifier = {}) {
        server = std::make_unique<HttpServer>(
            options, [this](const HttpRequest& request) { return Handle(request); },
            std::move(classifier));
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
    }
    void TearDown() override {
        Release();
        for (const int socket : sockets) {
            close(socket);
        }
        if (server != nullptr) {
            server->Stop();
        }
    }
    void Release() {
        std::lock_guard guard(mutex);
        released = true;
        changed.notify_all();
    }
    int Send(const std::string& raw) {
        const int socket = Connect(server->Port());
        EXPECT_GE(socket, 0);
        EXPECT_EQ(send(socket, raw.data(), raw.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(raw.size()));
        sockets.push_back(socket);
        return socket;
    }
    HttpResult Get(const std::string& path,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return SendRaw(server->Port(), "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n",
                       timeout);
    }

    std::unique_ptr<HttpServer> server;
    std::vector<int> sockets;
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int waiting = 0;
    int handled = 0;

  private:
    HttpResponse Handle(const HttpRequest& request) {
        {
            std::lock_guard lock(mutex);
            ++handled;
        }
        if (request.target == "/big") {
            return HttpResponse::Json(200, "\"" + std::string(64 * 1024 * 1024, 'x') + "\"");
        }
        if (request.target == "/wait") {
            std::unique_lock lock(mutex);
            ++waiting;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
        }
        return HttpResponse::Json(200, "\"ok\"");
    }
};

TEST_F(ServerFixture, ABoundPortRefusesClientsUntilTheServerStarts) {
    server = std::make_unique<HttpServer>(HttpServer::Options{},
                                          [](const HttpRequest&) { return HttpResponse{}; });
    std::string error;
    ASSERT_TRUE(server->Bind(&error)) << error;
    ASSERT_NE(server->Port(), 0);
    EXPECT_EQ(Connect(server->Port()), -1);
    ASSERT_TRUE(server->Start(&error)) << error;
    EXPECT_EQ(Get("/").status, 200);
}

TEST_F(ServerFixture, AClientThatDoesNotReadItsAnswerHoldsNoWorker) {
    HttpServer::Options options;
    options.workers = 1;
    options.writeTimeout = std::chrono::seconds(120);
    Serve(options);
    Send("GET /big HTTP/1.1\r\nHost: localhost\r\n\r\n");  // and never read
    // Long enough for a slow (sanitized) build to write the big answer, far shorter than the
    // write timeout a blocked worker would wait out.
    const HttpResult answer = Get("/small", std::chrono::seconds(30));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "\"ok\"");
}

TEST_F(ServerFixture, ARequestTrickledPastTheReadTimeoutIsRefusedWith408) {
    HttpServer::Options options;
    options.readTimeout = std::chrono::milliseconds(300);
    Serve(options);
    const int socket = Send("G");
    // One byte every 50 ms keeps the connection busy without ever finishing the head.
    const std::string rest = "ET /slow HTTP/1.1\r\nHost: localhost\r\nX-Padding: ";
    for (std::size_t i = 0; i < 20; ++i) {
        send(socket, rest.data() + (i % rest.size()), 1, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    char answer[256] = {};
    const ssize_t got = recv(socket, answer, sizeof(answer) - 1, 0);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(answer).rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << answer;
}

TEST_F(ServerFixture, SilentConnectionsPastTheLimitGiveWayToANewClient) {
    HttpServer::Options options;
    options.workers = 1;
    options.maxConnections = 4;
    Serve(options);
    for (int i = 0; i < 10; ++i) {
        Send("");
    }
    EXPECT_EQ(Get("/").status, 200);
}

TEST_F(ServerFixture, WhenEveryConnectionIsInAHandlerANewOneGets503) {
    HttpServer::Options options;
    options.workers = 2;
    options.maxConnections = 2;
    Serve(options);
    Send("GET /wait HTTP/1.1\r\nHost: localhost\r\n\r\n");
    Send("GET /wait HTTP/1.1\r\nHost: localhost\r\n\r\n");
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return waiting == 2; }));
    }
    const HttpResult refused = Get("/");
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.body, "{\"error\":\"too many connections\"}");
    Release();
}

// Two lanes of one worker each: "/wait" (held until released) in lane 0, the rest in lane 1.
class LaneFixture : public ServerFixture {
  protected:
    void ServeLanes(std::size_t waitLaneBound) {
        HttpServer::Options options;
        options.lanes = {{1, waitLaneBound, "the waiting lane is full"}, {1, 0, ""}};
        Serve(options, [](const HttpRequest& request) -> std::size_t {
            return request.target == "/wait" ? 0 : 1;
        });
    }
    void AwaitWaiting(int count) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(10), [&] { return waiting == count; }));
    }
    // The answer on a socket from Send, read until the server closes it.
    static std::string ReadAnswer(int socket) {
        std::string answer;
        char chunk[4096];
        ssize_t got = 0;
        while ((got = recv(socket, chunk, sizeof(chunk), 0)) > 0) {
            answer.append(chunk, static_cast<std::size_t>(got));
        }
        return answer;
    }
};

TEST_F(LaneFixture, ALaneWhoseWorkersAreAllHeldLeavesTheOtherLaneAnswering) {
    ServeLanes(0);
    for (int i = 0; i < 3; ++i) {
        Send("GET /wait HTTP/1.1\r\nHost: localhost\r\n\r\n");
    }
    AwaitWaiting(1);
    const HttpResult answer = Get("/other", std::chrono::seconds(30));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "\"ok\"");
}

TEST_F(LaneFixture, ARequestThatFindsItsLaneQueueFullIsRefusedWith503WithoutReachingTheHandler) {
    ServeLanes(1);
    const int first = Send("GET /wait HTTP/1.1\r\nHost: localhost\r\n\r\n");
    AwaitWaiting(1);
    const int queued = Send("GET /wait HTTP/1.1\r\nHost: localhost\r\n\r\n");
    const HttpResult refused = Get("/wait", std::chrono::seconds(30));
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.body, "{\"error\":\"the waiting lane is full\"}");
    EXPECT_EQ(refused.Header("Retry-After"), "1");
    Release();
    EXPECT_EQ(ReadAnswer(first).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(ReadAnswer(queued).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    std::lock_guard lock(mutex);
    EXPECT_EQ(handled, 2);
}

TEST_F(LaneFixture, AClassifierThatThrowsOrNamesNoLanePutsTheRequestInLaneZero) {
    HttpServer::Options options;
    options.lanes = {{1, 0, ""}, {1, 0, ""}};
    Serve(options, [](const HttpRequest& request) -> std::size_t {
        if (request.target == "/throw") {
            throw std::runtime_error("no lane");
        }
        return request.target == "/wait" ? 1 : 7;
    });
    Send("GET /wait HTTP/1.1\r\nHost: localhost\r\n\r\n");
    AwaitWaiting(1);
    EXPECT_EQ(Get("/throw").status, 200);
    EXPECT_EQ(Get("/nowhere").status, 200);
}

}  // namespace
}  // namespace Kolm::HostTest
