// The host's HTTP transport (libcurl, or WinHTTP on Windows) against a loopback server that
// records what reached it: what goes out as given, what is dropped, what is never followed.
#include "host/serving/http_transport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/serving/http/http_server.h"

namespace Kolm::Host {
namespace {

std::string Text(const uint8_t* data, uint32_t length) {
    return data == nullptr ? std::string()
                           : std::string(reinterpret_cast<const char*>(data), length);
}

std::optional<std::string> HeaderOf(const HostHttpResponse& response, std::string_view name) {
    for (uint32_t i = 0; i < response.headerCount; ++i) {
        if (EqualsIgnoringCase(response.headers[i].name, name)) {
            return std::string(response.headers[i].value);
        }
    }
    return std::nullopt;
}

// Answers every request by its path and keeps each request it saw.
class RecordingServer {
  public:
    RecordingServer()
        : server_(HttpServer::Options{}, [this](const HttpRequest& r) { return Answer(r); }) {
        std::string error;
        started_ = server_.Start(&error);
        EXPECT_TRUE(started_) << error;
    }
    ~RecordingServer() { server_.Stop(); }

    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(server_.Port()) + target;
    }
    std::vector<HttpRequest> Seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    HttpResponse Answer(const HttpRequest& request) {
        {
            std::lock_guard lock(mutex_);
            seen_.push_back(request);
        }
        const std::string_view path = request.Path();
        if (path == "/moved") {
            HttpResponse moved = HttpResponse::Json(302, "{}");
            moved.headers.emplace_back("Location", Url("/elsewhere"));
            return moved;
        }
        if (path == "/large") {
            return HttpResponse::Json(200, "\"" + std::string(4000, 'x') + "\"");
        }
        HttpResponse echo = HttpResponse::Json(201, "{\"got\":\"" + request.body + "\"}");
        echo.headers.emplace_back("X-Echo-Method", request.method);
        return echo;
    }

    std::mutex mutex_;
    std::vector<HttpRequest> seen_;
    HttpServer server_;
    bool started_ = false;
};

// Points at `url`, which must outlive the request.
HostHttpRequest Request(uint32_t method, const std::string& url) {
    HostHttpRequest request{};
    request.method = method;
    request.url = url.c_str();
    return request;
}

TEST(HttpTransport, SendsTheMethodTargetHeadersAndBodyAsGivenAndHandsBackTheAnswer) {
    HttpTransport::Global();
    RecordingServer server;
    const HttpTransport transport;
    const std::string url = server.Url("/clubs/a%2Fb?name=Night%20Owls&x=1");
    const std::string body = "{\"a\":1}";
    const HostHeader headers[] = {{"Authorization", "Bearer token-1"},
                                  {"Content-Type", "application/json"}};
    HostHttpRequest request = Request(HOST_METHOD_PUT, url);
    request.headers = headers;
    request.headerCount = 2;
    request.body = reinterpret_cast<const uint8_t*>(body.data());
    request.bodyLength = static_cast<uint32_t>(body.size());
    HostHttpResponse response{};
    transport.Send(response, request);

    ASSERT_EQ(response.transportCode, 0) << Text(response.body, response.bodyLength);
    EXPECT_EQ(response.status, 201u);
    EXPECT_EQ(Text(response.body, response.bodyLength), "{\"got\":\"{\"a\":1}\"}");
    EXPECT_EQ(HeaderOf(response, "x-echo-method"), "PUT");
    EXPECT_EQ(HeaderOf(response, "Content-Type"), "application/json");
    const std::vector<HttpRequest> seen = server.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "PUT");
    EXPECT_EQ(seen[0].target, "/clubs/a%2Fb?name=Night%20Owls&x=1");
    EXPECT_EQ(seen[0].Header("Authorization"), "Bearer token-1");
    EXPECT_EQ(seen[0].body, body);
}

TEST(HttpTransport, GetAndHeadCarryNoBodyAndHeadAnswersNone) {
    RecordingServer server;
    const HttpTransport transport;
    const std::string url = server.Url("/echo");
    HostHttpResponse response{};
    transport.Send(response, Request(HOST_METHOD_HEAD, url));
    ASSERT_EQ(response.transportCode, 0) << Text(response.body, response.bodyLength);
    EXPECT_EQ(response.status, 201u);
    EXPECT_EQ(response.bodyLength, 0u);
    transport.Send(response, Request(HOST_METHOD_GET, url));
    ASSERT_EQ(response.transportCode, 0) << Text(response.body, response.bodyLength);
    EXPECT_EQ(Text(response.body, response.bodyLength), "{\"got\":\"\"}");
    const std::vector<HttpRequest> seen = server.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "HEAD");
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[1].body, "");
}

// The plugin's bearer token must reach only the address it named.
TEST(HttpTransport, RedirectsAreHandedBackNotFollowed) {
    RecordingServer server;
    const HttpTransport transport;
    const std::string url = server.Url("/moved");
    const HostHeader token{"Authorization", "Bearer secret"};
    HostHttpRequest request = Request(HOST_METHOD_GET, url);
    request.headers = &token;
    request.headerCount = 1;
    HostHttpResponse response{};
    transport.Send(response, request);
    ASSERT_EQ(response.transportCode, 0) << Text(response.body, response.bodyLength);
    EXPECT_EQ(response.status, 302u);
    EXPECT_EQ(HeaderOf(response, "Location"), server.Url("/elsewhere"));
    EXPECT_EQ(server.Seen().size(), 1u);
}

TEST(HttpTransport, HeaderLinesThatWouldBreakTheRequestAreDropped) {
    RecordingServer server;
    const HttpTransport transport;
    const std::string url = server.Url("/echo");
    const HostHeader headers[] = {{"X-Kept", "yes"},
                                  {"X-Split", "a\r\nX-Injected: 1"},
                                  {"X-Bad\r\nX-Injected", "2"},
                                  {"X:Colon", "3"}};
    HostHttpRequest request = Request(HOST_METHOD_GET, url);
    request.headers = headers;
    request.headerCount = 4;
    HostHttpResponse response{};
    transport.Send(response, request);
    ASSERT_EQ(response.transportCode, 0) << Text(response.body, response.bodyLength);
    const std::vector<HttpRequest> seen = server.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Header("X-Kept"), "yes");
    EXPECT_EQ(seen[0].Header("X-Split"), std::nullopt);
    EXPECT_EQ(seen[0].Header("X-Injected"), std::nullopt);
    EXPECT_EQ(seen[0].Header("X"), std::nullopt);
}

TEST(HttpTransport, FailuresAnswerTransportCodeOneWithTheirText) {
    RecordingServer server;
    const HttpTransport small(1000);
    HostHttpResponse response{};
    small.Send(response, Request(HOST_METHOD_GET, server.Url("/large")));
    EXPECT_EQ(response.transportCode, 1);
    EXPECT_EQ(response.status, 0u);
    EXPECT_EQ(Text(response.body, response.bodyLength), "the answer's body is too large");

    small.Send(response, Request(HOST_METHOD_GET, ""));
    EXPECT_EQ(response.transportCode, 1);
    EXPECT_EQ(Text(response.body, response.bodyLength), "no URL given");

    for (const char* url : {"ftp://127.0.0.1/file", "not a url"}) {
        small.Send(response, Request(HOST_METHOD_GET, url));
        EXPECT_EQ(response.transportCode, 1) << url;
        EXPECT_EQ(response.status, 0u) << url;
        EXPECT_NE(response.bodyLength, 0u) << url;
    }
    EXPECT_EQ(server.Seen().size(), 1u);
}

// The host table promises the answer until the calling thread's next request.
TEST(HttpTransport, AnAnswerStaysValidWhileOtherThreadsSend) {
    RecordingServer server;
    const HttpTransport transport;
    const std::string body = "mine";
    const std::string url = server.Url("/echo");
    HostHttpRequest request = Request(HOST_METHOD_POST, url);
    request.body = reinterpret_cast<const uint8_t*>(body.data());
    request.bodyLength = static_cast<uint32_t>(body.size());
    HostHttpResponse mine{};
    transport.Send(mine, request);
    ASSERT_EQ(mine.transportCode, 0) << Text(mine.body, mine.bodyLength);

    std::string theirs;
    std::thread other([&] {
        HostHttpResponse response{};
        transport.Send(response, Request(HOST_METHOD_GET, server.Url("/large")));
        theirs = Text(response.body, response.bodyLength);
    });
    other.join();
    EXPECT_EQ(theirs.size(), 4002u);
    EXPECT_EQ(Text(mine.body, mine.bodyLength), "{\"got\":\"mine\"}");
    EXPECT_EQ(HeaderOf(mine, "X-Echo-Method"), "POST");
}

}  // namespace
}  // namespace Kolm::Host
