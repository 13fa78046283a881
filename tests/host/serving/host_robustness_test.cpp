// Bad input over HTTP never takes zun-clubs-host or the plugin down: malformed bodies in every
// format, wrong content types, oversized and malformed requests, foreign Host names, percent
// escapes, and many clients at once. After each, the host still answers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/host_process.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

class HostRobustness : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }
    void TearDown() override {
        EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").status, 200);
        EXPECT_TRUE(host.Running());
    }
    HttpResult Raw(const std::string& raw) { return SendRaw(host.Port(), raw); }
    HttpResult Patch(const std::string& target, const std::string& body, const std::string& type) {
        return Request(host.Port(), "PATCH", target, body, type);
    }

    HostProcess host{{"--quiet"}};
};

TEST_F(HostRobustness, MalformedBodiesInEveryFormatAreRefused) {
    const std::string motd = "/zun-clubs/v1/clubs/club-1/motd";
    struct Case {
        const char* type;
        std::string body;
    };
    const Case cases[] = {
        {"application/json", "{\"motd\": "},
        {"application/json", "[1,2"},
        {"application/x-yaml", "motd: [unclosed"},
        {"application/x-yaml", "--- !!binary ~~~\n\t- :"},
        {"application/x-msgpack", std::string("\xdf\xff\xff\xff\xff", 5)},
        {"application/x-msgpack", std::string("\x81\xa4motd\xa2hi\x00", 10)},
        {"text/plain", "motd"},
    };
    for (const Case& c : cases) {
        const HttpResult answer = Patch(motd, c.body, c.type);
        EXPECT_GE(answer.status, 400) << c.type << " " << answer.body;
        EXPECT_EQ(answer.Header("Content-Type"), "application/json");
        EXPECT_NE(answer.body.find("\"error\":"), std::string::npos) << answer.body;
    }
    // Bytes that are not UTF-8 inside a JSON text are refused by the plugin's reader.
    EXPECT_EQ(Patch(motd, std::string("{\"motd\":\"\xff\xfe\"}"), "application/json").body,
              "{\"error\":\"Error: Invalid encoding in string. at offset 9.\"}");
    EXPECT_EQ(Patch(motd, "{\"motd\":\"fine\"}", "application/json").status, 200);
}

TEST_F(HostRobustness, AnUnsupportedBodyTypeIsNamedInTheError) {
    const HttpResult answer = Patch("/zun-clubs/v1/clubs/club-1/motd", "x", "text/plain");
    EXPECT_EQ(answer.status, 500);
    EXPECT_EQ(answer.body, "{\"error\":\"Unsupported body content type\"}");
}

TEST_F(HostRobustness, AHugeBodyIsRefusedBeforeItIsRead) {
    const HttpResult answer =
        Raw("POST /zun-clubs/v1/clubs/membership HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            "Content-Type: application/json\r\nContent-Length: 50000000\r\n\r\n{\"name\":");
    EXPECT_EQ(answer.status, 413);
    const std::string big(2 * 1024 * 1024, 'a');
    EXPECT_EQ(Request(host.Port(), "POST", "/zun-clubs/v1/clubs/membership", big).status, 413);
}

TEST_F(HostRobustness, UnknownPathsAndMethodsGet404WithAJsonError) {
    const HttpResult unknown = Request(host.Port(), "GET", "/zun-clubs/v1/nothing-here");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(unknown.body, "{\"error\":\"no endpoint for GET /zun-clubs/v1/nothing-here\"}");
    const HttpResult brew = Request(host.Port(), "BREW", "/zun-clubs/v1/clubs");
    EXPECT_EQ(brew.status, 404);
    EXPECT_EQ(brew.body,
              "{\"error\":\"no endpoint for BREW /zun-clubs/v1/clubs (this path takes GET)\"}");
    EXPECT_EQ(Request(host.Port(), "PUT", "/zun-clubs/v1/clubs/club-1").status, 404);
    EXPECT_EQ(Request(host.Port(), "GET", "/elsewhere").status, 404);
}

TEST_F(HostRobustness, PercentEscapesReachThePluginUndecoded) {
    // The plugin decodes its own captures: "club%2D1" is the key "club-1".
    const HttpResult escaped = Request(host.Port(), "GET", "/zun-clubs/v1/clubs/club%2D1");
    EXPECT_EQ(escaped.status, 200) << escaped.body;
    EXPECT_NE(escaped.body.find("\"name\":\"Night Owls\""), std::string::npos);
    // An escaped "/" stays inside the key instead of making another segment.
    const HttpResult slash = Request(host.Port(), "GET", "/zun-clubs/v1/clubs/a%2Fb");
    EXPECT_EQ(slash.status, 404);
    EXPECT_EQ(slash.body, "{\"error\":\"CLUB_NOT_FOUND\"}");
    for (const char* odd : {"/zun-clubs/v1/clubs/%00", "/zun-clubs/v1/clubs/%C3%28"}) {
        const HttpResult answer = Request(host.Port(), "GET", odd);
        EXPECT_EQ(answer.status, 404) << odd << " " << answer.body;
        EXPECT_EQ(answer.body, "{\"error\":\"CLUB_NOT_FOUND\"}") << odd;
    }
}

TEST_F(HostRobustness, ABrokenPercentEscapeInAPluginPathIsTheClientsError) {
    // The plugin would drop such a "%" (a lone one leaves the key empty) or look for a key
    // nobody sent.
    for (const std::string path :
         {"/zun-clubs/v1/clubs/%/motd", "/zun-clubs/v1/clubs/%", "/zun-clubs/v1/clubs/%2",
          "/zun-clubs/v1/clubs/%2/motd", "/zun-clubs/v1/clubs/%zz", "/zun-clubs/v1/clubs/a%g1b"}) {
        const HttpResult answer = Request(host.Port(), "GET", path);
        EXPECT_EQ(answer.status, 400) << path << " " << answer.body;
        EXPECT_EQ(answer.body, "{\"error\":\"malformed percent escape in the path " + path +
                                   ": \\\"%\\\" must be followed by two hexadecimal digits "
                                   "(\\\"%25\\\" is \\\"%\\\" itself)\"}");
    }
    const HttpResult patch =
        Patch("/zun-clubs/v1/clubs/%/motd", "{\"motd\":\"lost\"}", "application/json");
    EXPECT_EQ(patch.status, 400) << patch.body;
    // "%25" is the escape of "%" itself, and reaches the plugin as a key like any other.
    const HttpResult percent = Request(host.Port(), "GET", "/zun-clubs/v1/clubs/%25");
    EXPECT_EQ(percent.status, 404) << percent.body;
    EXPECT_EQ(percent.body, "{\"error\":\"CLUB_NOT_FOUND\"}");
}

TEST_F(HostRobustness, AWrongMethodOnAHostPathGets405WithTheMethodsItTakes) {
    struct Case {
        const char* method;
        const char* target;
        const char* allow;
        const char* error;
    };
    const Case cases[] = {
        {"POST", "/zun-clubs-host/v1/events", "GET", "the event stream is read with GET"},
        {"HEAD", "/zun-clubs-host/v1/events", "GET", nullptr},
        {"PUT", "/zun-clubs-host/v1/openapi.json", "GET, HEAD", "the document is read with GET"},
        {"POST", "/zun-clubs-host/v1/world", "GET, HEAD, PUT",
         "the world is read with GET and replaced with PUT"},
        {"PATCH", "/zun-clubs-host/v1/faults", "GET, HEAD, POST, DELETE",
         "the fault rules take GET, POST and DELETE"},
        {"GET", "/zun-clubs-host/v1/faults/rule-1", "DELETE",
         "a fault rule is removed with DELETE"},
        {"DELETE", "/zun-clubs-host/v1/clubs-service/players", "GET, HEAD",
         "the player list is read with GET"},
        {"POST", "/zun-clubs-host/v1", "GET, HEAD", "the index is read with GET"},
        {"BREW", "/zun-clubs-host/v1/", "GET, HEAD", "the index is read with GET"},
        {"POST", "/zun-clubs-host/console/index.html", "GET, HEAD",
         "the console's files are read with GET"},
    };
    for (const Case& c : cases) {
        const HttpResult answer = Request(host.Port(), c.method, c.target);
        EXPECT_EQ(answer.status, 405) << c.method << " " << c.target << " " << answer.body;
        EXPECT_EQ(answer.Header("Allow"), c.allow) << c.method << " " << c.target;
        if (c.error != nullptr) {
            EXPECT_EQ(answer.body, "{\"error\":\"" + std::string(c.error) + "\"}");
        }
    }
    for (const char* target : {"/zun-clubs-host/v1/world", "/zun-clubs-host/v1/openapi.json",
                               "/zun-clubs-host/v1/faults", "/zun-clubs-host/v1",
                               "/zun-clubs-host/v1/clubs-service/players"}) {
        const HttpResult head = Request(host.Port(), "HEAD", target);
        EXPECT_EQ(head.status, 200) << target;
        EXPECT_EQ(head.body, "") << target;
    }
    EXPECT_EQ(Request(host.Port(), "POST", "/zun-clubs-host/v1/nothing").status, 404);
}

TEST_F(HostRobustness, EveryAnswerTellsBrowsersNotToGuessItsType) {
    const rapidjson::Document index =
        ParseJson(Request(host.Port(), "GET", "/zun-clubs-host/v1").body);
    ASSERT_TRUE(index.IsObject() && index.HasMember("clubsService"));
    const std::string service = index["clubsService"].GetString();
    const auto servicePort =
        static_cast<uint16_t>(std::stoi(service.substr(service.rfind(':') + 1)));
    struct Case {
        const char* what;
        HttpResult answer;
    };
    const Case cases[] = {
        {"a plugin answer", Request(host.Port(), "GET", "/zun-clubs/v1/clubs/club-1")},
        {"a plugin refusal", Request(host.Port(), "GET", "/zun-clubs/v1/clubs/nobody")},
        {"a host path", Request(host.Port(), "GET", "/zun-clubs-host/v1/faults")},
        {"a host refusal", Request(host.Port(), "POST", "/zun-clubs-host/v1/world")},
        {"a simulated plugin", Request(host.Port(), "GET", "/zun-login/v1/session")},
        {"a console file", Request(host.Port(), "GET", "/zun-clubs-host/console/")},
        {"a malformed request", Raw("GARBAGE\r\n\r\n")},
        {"a foreign Host", Raw("GET / HTTP/1.1\r\nHost: example.com\r\n\r\n")},
        {"the event stream",
         SendRaw(host.Port(), "GET /zun-clubs-host/v1/events HTTP/1.1\r\nHost: localhost\r\n\r\n",
                 std::chrono::milliseconds(500))},
        {"the clubs web service", Request(servicePort, "GET", "/v1/clubs/club-1")},
    };
    for (const Case& c : cases) {
        EXPECT_NE(c.answer.status, 0) << c.what;
        int count = 0;
        for (const auto& [name, value] : c.answer.headers) {
            if (name == "X-Content-Type-Options") {
                EXPECT_EQ(value, "nosniff") << c.what;
                ++count;
            }
        }
        EXPECT_EQ(count, 1) << c.what;
    }
}

TEST_F(HostRobustness, MalformedRequestsAreRefusedWithTheirStatus) {
    EXPECT_EQ(Raw("GARBAGE\r\n\r\n").status, 400);
    EXPECT_EQ(Raw("GET /x HTTP/2.0\r\nHost: localhost\r\n\r\n").status, 505);
    EXPECT_EQ(
        Raw("GET http://127.0.0.1/zun-clubs/v1/clubs HTTP/1.1\r\nHost: localhost\r\n\r\n").status,
        400);
    EXPECT_EQ(Raw("GET /zun-clubs/v1/clubs HTTP/1.1\r\n\r\n").status, 400);  // no Host
    const HttpResult twoHosts =
        Raw("GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: localhost\r\nHost: example.com\r\n\r\n");
    EXPECT_EQ(twoHosts.status, 400);
    EXPECT_EQ(twoHosts.body, "{\"error\":\"more than one Host header\"}");
    EXPECT_EQ(Raw("GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: localhost\r\n folded\r\n\r\n").status,
              400);
    EXPECT_EQ(Raw("POST /zun-clubs/v1/clubs/membership HTTP/1.1\r\nHost: localhost\r\n"
                  "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
                  .status,
              501);
    EXPECT_EQ(Raw("POST /zun-clubs/v1/clubs/membership HTTP/1.1\r\nHost: localhost\r\n"
                  "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello!")
                  .status,
              400);
    EXPECT_EQ(
        Raw("GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: localhost\r\n\r\n").status,
        414);
    std::string manyHeaders = "GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: localhost\r\n";
    for (int i = 0; i < 200; ++i) {
        manyHeaders += "X-H" + std::to_string(i) + ": v\r\n";
    }
    EXPECT_EQ(Raw(manyHeaders + "\r\n").status, 431);
}

TEST_F(HostRobustness, ForeignHostNamesAreRefused) {
    const HttpResult rebound =
        Raw("GET /zun-clubs/v1/clubs/membership HTTP/1.1\r\nHost: attacker.example:8137\r\n\r\n");
    EXPECT_EQ(rebound.status, 403);
    EXPECT_EQ(rebound.body, "{\"error\":\"the Host header must name the loopback interface\"}");
    EXPECT_EQ(Raw("GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: 127.0.0.1.nip.io\r\n\r\n").status,
              403);
    EXPECT_EQ(Raw("GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: [::1]:80\r\n\r\n").status, 200);
    EXPECT_EQ(Raw("GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: LOCALHOST\r\n\r\n").status, 200);
}

TEST_F(HostRobustness, ASlowClientDoesNotHoldUpOthers) {
    // Half a request head, never finished: the others are served meanwhile.
    std::thread slow([&] {
        SendRaw(host.Port(), "GET /zun-clubs/v1/clubs HTTP/1.1\r\nHost: loc",
                std::chrono::milliseconds(1500));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs/v1/clubs").status, 200);
    slow.join();
}

TEST_F(HostRobustness, ManyConcurrentClientsAreAllAnswered) {
    std::atomic<int> answered{0};
    std::atomic<int> refused{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 24; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < 8; ++i) {
                const int status =
                    (c % 3 == 0)
                        ? Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/club-1/motd",
                                  "{\"motd\":\"m" + std::to_string(c) + "\"}")
                              .status
                        : Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").status;
                // A busy plugin may refuse a nested call with 503; nothing may fail otherwise.
                (status == 200 ? answered : refused)++;
                EXPECT_TRUE(status == 200 || status == 503) << status;
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered + refused, 24 * 8);
    EXPECT_GT(answered, 24 * 8 / 2);
}

TEST_F(HostRobustness, IdleStreamClientsDoNotStarveRequests) {
    std::vector<std::unique_ptr<EventStreamReader>> streams;
    for (int i = 0; i < 40; ++i) {
        streams.push_back(
            std::make_unique<EventStreamReader>(host.Port(), "/zun-clubs-host/v1/events"));
        ASSERT_TRUE(streams.back()->Connected()) << i;
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs/v1/clubs").status, 200);
    }
    // Past the limit of open streams, a further one is refused rather than queued.
    std::vector<std::unique_ptr<EventStreamReader>> more;
    for (int i = 0; i < 30; ++i) {
        more.push_back(
            std::make_unique<EventStreamReader>(host.Port(), "/zun-clubs-host/v1/events"));
    }
    int refused = 0;
    for (const auto& stream : more) {
        refused += stream->Connected() ? 0 : 1;
    }
    EXPECT_EQ(refused, 6);
}

}  // namespace
}  // namespace Kolm::HostTest
