// Requests that a page open in the user's browser sends to zun-clubs-host, driven against the
// program: every shape by which a browser marks another site's request (Origin,
// Sec-Fetch-Site) is refused on every method that changes something, on a plugin path, a host
// path and the embedded clubs web service's own port, and nothing changes; the host's own page,
// curl and scripts are served, and --allow-origin lets exactly that origin through.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

// The methods that change something, and one no server knows (which a handler might still act
// on).
constexpr const char* kMethods[] = {"POST", "PUT", "PATCH", "DELETE", "PURGE"};
constexpr const char* kOwlsMotd = "/zun-clubs/v1/clubs/club-1/motd";
constexpr const char* kPlayerToken = "JwtBearer local-token-1001";

HttpResult Send(uint16_t port,
                const std::string& method,
                const std::string& target,
                const Headers& headers,
                const std::string& body = "",
                const std::string& type = "application/json") {
    std::string raw =
        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    for (const auto& [name, value] : headers) {
        raw += name + ": " + value + "\r\n";
    }
    raw += "Content-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
    return SendRaw(port, raw);
}

std::string Own(uint16_t port, const std::string& host = "127.0.0.1") {
    return "http://" + host + ":" + std::to_string(port);
}

std::string ForeignOrigin(const std::string& origin, uint16_t port) {
    return "{\"error\":\"cross-site request refused: Origin '" + origin +
           "' is neither this host's own (" + Own(port) + " or " + Own(port, "localhost") +
           ") nor given with --allow-origin\"}";
}

std::string ForeignSite(const std::string& method, const std::string& site) {
    return "{\"error\":\"cross-site request refused: a " + method + " with Sec-Fetch-Site '" +
           site +
           "' and no Origin comes from another site's page (only 'same-origin' and 'none' are "
           "served)\"}";
}

// One way a browser marks a request of another site's page, and the refusal it gets.
struct Shape {
    std::string name;
    Headers headers;
    std::string origin;  // the foreign Origin, empty when none is sent
    std::string site;    // the Sec-Fetch-Site, empty when none is sent

    std::string Refusal(const std::string& method, uint16_t port) const {
        return origin.empty() ? ForeignSite(method, site) : ForeignOrigin(origin, port);
    }
};

// Every shape, for a server on `port`.
std::vector<Shape> CrossSiteShapes(uint16_t port) {
    std::vector<Shape> shapes;
    auto add = [&](std::string name, std::string origin, std::string site, Headers before = {}) {
        Headers headers = std::move(before);
        if (!origin.empty()) {
            headers.emplace_back("Origin", origin);
        }
        if (!site.empty()) {
            headers.emplace_back("Sec-Fetch-Site", site);
        }
        shapes.push_back({std::move(name), std::move(headers), std::move(origin), std::move(site)});
    };
    add("a foreign Origin", "http://evil.example", "");
    add("a sandboxed frame or a file page", "null", "");
    add("localhost on another port", "http://localhost:4200", "");
    add("the IPv6 loopback, where another program listens", "http://[::1]:" + std::to_string(port),
        "");
    add("cross-site without Origin", "", "cross-site");
    add("same-site without Origin", "", "same-site");
    add("cross-site with its Origin", "http://evil.example", "cross-site");
    add("same-site with its Origin", "http://localhost:4200", "same-site");
    add("the server's own Origin and a foreign one", "http://evil.example", "",
        {{"Origin", Own(port)}});
    return shapes;
}

class HostCrossSite : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        const rapidjson::Document index = ParseJson(Get("/zun-clubs-host/v1").body);
        ASSERT_TRUE(index.IsObject() && index.HasMember("clubsService"));
        const std::string service = index["clubsService"].GetString();
        servicePort = static_cast<uint16_t>(std::stoi(service.substr(service.rfind(':') + 1)));
    }

    HttpResult Get(const std::string& target) { return Request(host.Port(), "GET", target); }
    // What a refused request could have changed: the world (clubs, owners, MOTDs, members),
    // the fault rules and the plugin's view of the player's club.
    std::string Snapshot() {
        return Get("/zun-clubs-host/v1/world").body + Get("/zun-clubs-host/v1/faults").body +
               Get("/zun-clubs/v1/clubs/club-1").body;
    }
    std::string ServiceMotd() {
        return Send(servicePort, "GET", "/v1/clubs/club-1", {{"Authorization", kPlayerToken}}).body;
    }

    HostProcess host{{"--quiet"}};
    uint16_t servicePort = 0;
};

TEST_F(HostCrossSite, EveryCrossSiteShapeIsRefusedOnEveryChangingMethodAndChangesNothing) {
    const std::string before = Snapshot();
    ASSERT_NE(before.find("Raid night is Thursday."), std::string::npos) << before;
    struct Target {
        uint16_t port;
        std::string path;
        std::string body;
        Headers headers;
    };
    const std::string rule = R"({"service":"clubs","path":"/v1/clubs/*","status":500})";
    const std::vector<Target> targets = {
        {host.Port(), kOwlsMotd, R"({"motd":"pwned"})", {}},
        {host.Port(), "/zun-clubs/v1/clubs/club-1/members/2004", "", {}},
        {host.Port(), "/zun-clubs-host/v1/faults", rule, {}},
        {host.Port(), "/zun-clubs-host/v1/clock", R"({"now":1800000000000,"frozen":true})", {}},
        {host.Port(), "/zun-clubs-host/v1/clock/advance", R"({"ms":60000})", {}},
        {host.Port(), "/zun-clubs-host/v1/clubs-service/as/1001/v1/clubs/club-1/motd", "pwned", {}},
        {servicePort, "/v1/clubs/club-1/motd", "pwned", {{"Authorization", kPlayerToken}}},
        {servicePort, "/v1/clubs/club-1/ownership/1002", "", {{"Authorization", kPlayerToken}}},
    };
    for (const Target& target : targets) {
        for (const Shape& shape : CrossSiteShapes(target.port)) {
            for (const char* method : kMethods) {
                Headers headers = shape.headers;
                headers.insert(headers.end(), target.headers.begin(), target.headers.end());
                const HttpResult answer =
                    Send(target.port, method, target.path, headers, target.body);
                EXPECT_EQ(answer.status, 403)
                    << shape.name << ": " << method << " " << target.path << " " << answer.body;
                EXPECT_EQ(answer.body, shape.Refusal(method, target.port))
                    << shape.name << ": " << method << " " << target.path;
                EXPECT_EQ(answer.Header("Content-Type"), "application/json");
                EXPECT_EQ(answer.Header("Access-Control-Allow-Origin"), "");
            }
        }
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(HostCrossSite, TheHostsOwnPagesCurlAndScriptsAreServed) {
    const Headers served[] = {
        {},
        {{"Origin", Own(host.Port())}},
        {{"Origin", Own(host.Port(), "localhost")}},
        {{"Sec-Fetch-Site", "same-origin"}},
        {{"Sec-Fetch-Site", "none"}},
        // What the console sends with its changes.
        {{"Origin", Own(host.Port())}, {"Sec-Fetch-Site", "same-origin"}},
    };
    int round = 0;
    for (const Headers& headers : served) {
        const std::string motd = "served " + std::to_string(++round);
        const HttpResult changed =
            Send(host.Port(), "PATCH", kOwlsMotd, headers, "{\"motd\":\"" + motd + "\"}");
        EXPECT_EQ(changed.status, 200) << round << " " << changed.body;
        EXPECT_EQ(Get(kOwlsMotd).body, "\"" + motd + "\"") << round;

        const HttpResult added = Send(host.Port(), "POST", "/zun-clubs-host/v1/faults", headers,
                                      R"({"service":"clubs","path":"/v1/nothing","status":500})");
        EXPECT_EQ(added.status, 201) << round << " " << added.body;
        EXPECT_EQ(Send(host.Port(), "DELETE", "/zun-clubs-host/v1/faults", headers).status, 204);
    }
    // The clubs web service serves its own origin and requests without one.
    for (const Headers& headers :
         {Headers{}, Headers{{"Origin", Own(servicePort)}, {"Sec-Fetch-Site", "same-origin"}}}) {
        Headers withToken = headers;
        withToken.emplace_back("Authorization", kPlayerToken);
        const std::string motd = "service " + std::to_string(++round);
        const HttpResult changed =
            Send(servicePort, "PUT", "/v1/clubs/club-1/motd", withToken, motd, "text/plain");
        EXPECT_EQ(changed.status, 200) << changed.body;
        EXPECT_NE(ServiceMotd().find("\"motd\":\"" + motd + "\""), std::string::npos)
            << ServiceMotd();
    }
}

TEST_F(HostCrossSite, ALinkFromElsewhereReadsButAForeignScriptDoesNot) {
    // A navigation (a link, a bookmark) sends no Origin: the console and the reads open.
    const Headers navigation = {{"Sec-Fetch-Site", "cross-site"}, {"Sec-Fetch-Mode", "navigate"}};
    EXPECT_EQ(Send(host.Port(), "GET", "/zun-clubs-host/console/", navigation).status, 200);
    EXPECT_EQ(Send(host.Port(), "GET", "/zun-clubs/v1/clubs/club-1", navigation).status, 200);
    EXPECT_EQ(
        Send(host.Port(), "HEAD", "/zun-clubs-host/v1/world", {{"Sec-Fetch-Site", "same-site"}})
            .status,
        200);
    // A script's fetch names its page, which could not read the answer anyway.
    for (const char* method : {"GET", "HEAD", "OPTIONS"}) {
        const HttpResult read = Send(host.Port(), method, "/zun-clubs-host/v1/events",
                                     {{"Origin", "http://evil.example"}});
        EXPECT_EQ(read.status, 403) << method;
        if (std::string(method) != "HEAD") {
            EXPECT_EQ(read.body, ForeignOrigin("http://evil.example", host.Port())) << method;
        }
    }
    EXPECT_EQ(Send(host.Port(), "OPTIONS", kOwlsMotd, {{"Sec-Fetch-Site", "cross-site"}}).body,
              ForeignSite("OPTIONS", "cross-site"));
}

TEST(HostCrossSiteAllowed, AllowOriginLetsExactlyThatOriginThrough) {
    HostProcess host({"--quiet", "--allow-origin", "http://localhost:4200"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    const Headers devServer = {{"Origin", "http://localhost:4200"},
                               {"Sec-Fetch-Site", "same-site"}};
    EXPECT_EQ(Send(host.Port(), "PATCH", kOwlsMotd, devServer, R"({"motd":"from the dev server"})")
                  .status,
              200);
    EXPECT_EQ(Request(host.Port(), "GET", kOwlsMotd).body, "\"from the dev server\"");
    EXPECT_EQ(Send(host.Port(), "POST", "/zun-clubs-host/v1/faults", devServer,
                   R"({"service":"clubs","path":"/v1/nothing","status":500})")
                  .status,
              201);

    const std::string before = Request(host.Port(), "GET", "/zun-clubs-host/v1/world").body;
    for (const char* origin :
         {"http://localhost:4201", "https://localhost:4200", "http://127.0.0.1:4200"}) {
        const HttpResult refused =
            Send(host.Port(), "PATCH", kOwlsMotd, {{"Origin", origin}}, R"({"motd":"no"})");
        EXPECT_EQ(refused.status, 403) << origin;
        EXPECT_EQ(refused.body, ForeignOrigin(origin, host.Port()));
    }
    const HttpResult anonymous = Send(host.Port(), "PATCH", kOwlsMotd,
                                      {{"Sec-Fetch-Site", "same-site"}}, R"({"motd":"no"})");
    EXPECT_EQ(anonymous.body, ForeignSite("PATCH", "same-site"));
    EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs-host/v1/world").body, before);

    // The embedded service's port trusts the same origin.
    const rapidjson::Document index =
        ParseJson(Request(host.Port(), "GET", "/zun-clubs-host/v1").body);
    const std::string service = index["clubsService"].GetString();
    const auto servicePort =
        static_cast<uint16_t>(std::stoi(service.substr(service.rfind(':') + 1)));
    Headers withToken = devServer;
    withToken.emplace_back("Authorization", kPlayerToken);
    EXPECT_EQ(
        Send(servicePort, "PUT", "/v1/clubs/club-1/motd", withToken, "dev", "text/plain").status,
        200);
    withToken.front().second = "http://localhost:4201";
    EXPECT_EQ(Send(servicePort, "PUT", "/v1/clubs/club-1/motd", withToken, "no", "text/plain").body,
              ForeignOrigin("http://localhost:4201", servicePort));
}

TEST(HostCrossSiteAllowed, AnAllowOriginWithAPathIsAUsageError) {
    HostProcess host({"--allow-origin", "http://localhost:4200/app"});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 2);
    EXPECT_EQ(host.ErrorOutput(),
              "zun-clubs-host: invalid value for --allow-origin: 'http://localhost:4200/app': an "
              "origin has no path, query or fragment: scheme://host[:port], for example "
              "http://localhost:4200\n");
}

}  // namespace
}  // namespace Kolm::HostTest
