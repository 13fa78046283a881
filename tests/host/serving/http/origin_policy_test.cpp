// Which requests a page open in a browser may send to a server of the host, in-process.
#include "host/serving/http/origin_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace Kolm::Host {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

HttpRequest Make(const std::string& method, Headers headers) {
    HttpRequest request;
    request.method = method;
    request.target = "/zun-clubs/v1/clubs/club-1/motd";
    request.version = "HTTP/1.1";
    request.headers = {{"Host", "127.0.0.1:8137"}};
    request.headers.insert(request.headers.end(), headers.begin(), headers.end());
    return request;
}

std::string ForeignOrigin(const std::string& origin) {
    return "cross-site request refused: Origin '" + origin +
           "' is neither this host's own (http://127.0.0.1:8137 or http://localhost:8137) nor "
           "given with --allow-origin";
}

std::string ForeignSite(const std::string& method, const std::string& site) {
    return "cross-site request refused: a " + method + " with Sec-Fetch-Site '" + site +
           "' and no Origin comes from another site's page (only 'same-origin' and 'none' are "
           "served)";
}

TEST(OriginParsing, WritesAnOriginAsBrowsersDo) {
    EXPECT_EQ(ParseOrigin("http://localhost:4200"), "http://localhost:4200");
    EXPECT_EQ(ParseOrigin("HTTP://LocalHost:4200"), "http://localhost:4200");
    EXPECT_EQ(ParseOrigin("http://localhost:80"), "http://localhost");
    EXPECT_EQ(ParseOrigin("https://dev.example.test:443"), "https://dev.example.test");
    EXPECT_EQ(ParseOrigin("https://dev.example.test:8443"), "https://dev.example.test:8443");
    EXPECT_EQ(ParseOrigin("http://[::1]:4200"), "http://[::1]:4200");
    EXPECT_EQ(ParseOrigin("http://127.0.0.1:04200"), "http://127.0.0.1:4200");
}

TEST(OriginParsing, RefusesWhatIsNotSchemeHostAndPort) {
    const std::string shape =
        "an origin is scheme://host[:port], for example http://localhost:4200";
    const std::string path =
        "an origin has no path, query or fragment: scheme://host[:port], for example "
        "http://localhost:4200";
    const std::pair<const char*, std::string> cases[] = {
        {"null",
         "\"null\" is sent by sandboxed frames and files opened from disk, whichever page they "
         "hold, so it is never trusted"},
        {"", shape},
        {"localhost:4200", shape},
        {"://localhost", shape},
        {"1http://localhost", shape},
        {"http://", shape},
        {"http://localhost:", shape},
        {"http://localhost:0", shape},
        {"http://localhost:65536", shape},
        {"http://localhost:42x", shape},
        {"http://user@localhost", shape},
        {"http://local host", shape},
        {"http://[::1", shape},
        {"http://localhost:4200/", path},
        {"http://localhost:4200/app", path},
        {"http://localhost?x=1", path},
        {"http://localhost#top", path},
    };
    for (const auto& [url, message] : cases) {
        std::string error;
        EXPECT_FALSE(ParseOrigin(url, &error)) << url;
        EXPECT_EQ(error, message) << url;
    }
}

TEST(OriginPolicy, ServesRequestsWithoutBrowserHeadersAndFromTheServersOwnPages) {
    const OriginPolicy policy(8137, {});
    for (const char* method :
         {"GET", "HEAD", "OPTIONS", "POST", "PUT", "PATCH", "DELETE", "BREW"}) {
        EXPECT_FALSE(policy.Refusal(Make(method, {}))) << method;
        EXPECT_FALSE(policy.Refusal(Make(method, {{"Origin", "http://127.0.0.1:8137"}})));
        EXPECT_FALSE(policy.Refusal(Make(method, {{"origin", "http://localhost:8137"}})));
        EXPECT_FALSE(policy.Refusal(Make(method, {{"Sec-Fetch-Site", "same-origin"}})));
        EXPECT_FALSE(policy.Refusal(Make(method, {{"Sec-Fetch-Site", "none"}})));
        EXPECT_FALSE(policy.Refusal(Make(
            method, {{"Origin", "http://localhost:8137"}, {"Sec-Fetch-Site", "same-origin"}})));
    }
}

TEST(OriginPolicy, RefusesAForeignOriginOnEveryMethod) {
    const OriginPolicy policy(8137, {});
    for (const char* method :
         {"GET", "HEAD", "OPTIONS", "POST", "PUT", "PATCH", "DELETE", "BREW"}) {
        for (const char* origin :
             {"http://evil.example", "null", "http://localhost:4200", "http://127.0.0.1:8138",
              "https://localhost:8137", "http://[::1]:8137", "http://127.0.0.2:8137", ""}) {
            EXPECT_EQ(policy.Refusal(Make(method, {{"Origin", origin}})), ForeignOrigin(origin))
                << method << " " << origin;
        }
    }
    // Every Origin header counts, not only the first.
    EXPECT_EQ(policy.Refusal(Make("POST", {{"Origin", "http://localhost:8137"},
                                           {"Origin", "http://evil.example"}})),
              ForeignOrigin("http://evil.example"));
    // A foreign Origin is refused whatever Sec-Fetch-Site says.
    EXPECT_EQ(policy.Refusal(Make(
                  "POST", {{"Sec-Fetch-Site", "same-origin"}, {"Origin", "http://evil.example"}})),
              ForeignOrigin("http://evil.example"));
}

TEST(OriginPolicy, RefusesAnotherSitesFetchWithoutOriginUnlessItOnlyReads) {
    const OriginPolicy policy(8137, {});
    for (const char* method : {"OPTIONS", "POST", "PUT", "PATCH", "DELETE", "BREW"}) {
        for (const char* site : {"cross-site", "same-site", "Cross-Site", "elsewhere"}) {
            EXPECT_EQ(policy.Refusal(Make(method, {{"Sec-Fetch-Site", site}})),
                      ForeignSite(method, site))
                << method << " " << site;
        }
        EXPECT_EQ(policy.Refusal(Make(method, {{"Sec-Fetch-Site", "same-origin"},
                                               {"Sec-Fetch-Site", "cross-site"}})),
                  ForeignSite(method, "cross-site"));
    }
    // A link or bookmark from elsewhere opens the console: a navigation sends no Origin.
    for (const char* method : {"GET", "HEAD"}) {
        EXPECT_FALSE(policy.Refusal(Make(method, {{"Sec-Fetch-Site", "cross-site"}})));
        EXPECT_FALSE(policy.Refusal(Make(method, {{"Sec-Fetch-Site", "same-site"}})));
    }
}

TEST(OriginPolicy, LetsExactlyTheAllowedOriginsThrough) {
    const OriginPolicy policy(8137, {"http://localhost:4200", "https://dev.example.test"});
    for (const char* origin :
         {"http://localhost:4200", "https://dev.example.test", "https://dev.example.test:443"}) {
        EXPECT_FALSE(policy.Refusal(Make("POST", {{"Origin", origin}}))) << origin;
        EXPECT_FALSE(
            policy.Refusal(Make("POST", {{"Origin", origin}, {"Sec-Fetch-Site", "same-site"}})))
            << origin;
        EXPECT_FALSE(
            policy.Refusal(Make("DELETE", {{"Origin", origin}, {"Sec-Fetch-Site", "cross-site"}})))
            << origin;
    }
    for (const char* origin : {"http://localhost:4201", "http://127.0.0.1:4200",
                               "https://localhost:4200", "http://dev.example.test"}) {
        EXPECT_EQ(policy.Refusal(Make("POST", {{"Origin", origin}})), ForeignOrigin(origin));
    }
    // Sec-Fetch-Site alone does not say which page sent the request.
    EXPECT_EQ(policy.Refusal(Make("POST", {{"Sec-Fetch-Site", "same-site"}})),
              ForeignSite("POST", "same-site"));
}

TEST(OriginPolicy, NamesTheServersOwnPortInItsRefusal) {
    const OriginPolicy policy(80, {});
    EXPECT_FALSE(policy.Refusal(Make("POST", {{"Origin", "http://localhost"}})));
    EXPECT_FALSE(policy.Refusal(Make("POST", {{"Origin", "http://127.0.0.1:80"}})));
    EXPECT_EQ(policy.Refusal(Make("POST", {{"Origin", "http://localhost:8137"}})),
              "cross-site request refused: Origin 'http://localhost:8137' is neither this host's "
              "own (http://127.0.0.1 or http://localhost) nor given with --allow-origin");
}

}  // namespace
}  // namespace Kolm::Host
