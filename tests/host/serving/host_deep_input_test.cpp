// Input that the host's readers refuse before anything is stored: JSON nested deeper than 512
// levels (which once crashed the host through recursion and lost the running world) and text
// that is not UTF-8 (which was stored and sent out as JSON that strict readers refuse), on
// every path that reads a body. After each refusal the world is as it was and the host answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr const char* kWorld = "/zun-clubs-host/v1/world";
constexpr const char* kAs = "/zun-clubs-host/v1/clubs-service/as/1001";

std::string Deep(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

struct Refused {
    const char* method;
    std::string target;
    std::string body;
    int status;
    std::string answer;  // the whole body of the answer
};

class HostDeepInput : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        world = Request(host.Port(), "GET", kWorld).body;
        ASSERT_NE(world.find("Night Owls"), std::string::npos) << world;
    }

    // Sends each request, expects its refusal, and checks that the world stayed as it was.
    void ExpectRefused(const std::vector<Refused>& cases) {
        for (const Refused& c : cases) {
            const HttpResult answer = Request(host.Port(), c.method, c.target, c.body);
            EXPECT_EQ(answer.status, c.status) << c.method << " " << c.target;
            EXPECT_EQ(answer.body, c.answer) << c.method << " " << c.target;
            ASSERT_TRUE(host.Running()) << c.method << " " << c.target;
            EXPECT_TRUE(Request(host.Port(), "GET", kWorld).body == world)
                << "the world changed after " << c.method << " " << c.target;
        }
        EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs-host/v1/faults").body, "[]");
    }

    HostProcess host{{"--quiet"}};
    std::string world;
};

std::string HostError(const std::string& text) {
    return "{\"error\":\"" + text + "\"}";
}

std::string ServiceError(const std::string& code, const std::string& message) {
    return "{\"errorCode\":\"" + code + "\",\"httpStatus\":400,\"message\":\"" + message + "\"}";
}

TEST_F(HostDeepInput, DeeplyNestedBodiesAreRefusedOnEveryPath) {
    const std::string deep = std::string(100000, '[');
    const std::string rule = R"({"service":"clubs","path":"/x","status":500,"body":)";
    const std::string config = R"({"platformConfig":{"Ns":{"key":)";
    const std::string tooDeep = "nests deeper than 512 levels (at offset 512)";
    ExpectRefused({
        {"POST", "/zun-login/v1/session/login", deep, 400, HostError("the body " + tooDeep)},
        {"PUT", "/zun-login/v1/session", deep, 400, HostError("the body " + tooDeep)},
        {"POST", "/player-notifications/v1/notifications", Deep(100000), 400,
         HostError("the body " + tooDeep)},
        {"POST", "/zun-clubs-host/v1/faults", deep, 400, HostError("the fault rule " + tooDeep)},
        {"POST", "/zun-clubs-host/v1/faults", rule + Deep(100000) + "}", 400,
         HostError("the fault rule nests deeper than 512 levels (at offset " +
                   std::to_string(rule.size() + 511) + ")")},
        {"PUT", kWorld, deep, 400,
         HostError("the world nests deeper than 515 levels (at offset 515)")},
        {"PUT", kWorld, config + Deep(60000) + "}}}", 400,
         HostError("the world nests deeper than 515 levels (at offset " +
                   std::to_string(config.size() + 512) + ")")},
        {"PUT", std::string(kAs) + "/v1/membership/LOC1/1001", deep, 400,
         ServiceError("INVALID_REQUEST_BODY", "the body " + tooDeep)},
        {"POST", std::string(kAs) + "/v1/clubs/club-1/invites", Deep(100000), 400,
         ServiceError("INVALID_REQUEST_BODY", "the body " + tooDeep)},
        {"POST", std::string(kAs) + "/v1/membership/LOC1/1001/invites/club-2", deep, 400,
         ServiceError("INVALID_REQUEST_BODY", "the body " + tooDeep)},
        // The plugin's own reader, through its dispatcher, which answers 500 for a body that
        // does not convert.
        {"POST", "/zun-clubs/v1/clubs/membership", deep, 500,
         HostError("Error: Nesting is deeper than 512 levels. at offset 513.")},
        {"PATCH", "/zun-clubs/v1/clubs/club-1/motd", Deep(100000), 500,
         HostError("Error: Nesting is deeper than 512 levels. at offset 513.")},
    });
}

TEST_F(HostDeepInput, TextThatIsNotUtf8IsRefusedOnEveryPath) {
    const std::string name = "{\"name\":\"Bad \xFF\xFE name\"}";
    const std::string lone = R"({"name":"\uDFAA"})";
    const std::string surrogate =
        "holds a surrogate escape without its pair, which is not UTF-8 (at offset 16)";
    std::string badWorld = world;
    badWorld.replace(badWorld.find("Night Owls"), 10, "Bad \xFF\xFE name");
    const std::string badAt = std::to_string(badWorld.find('\xFF'));
    ExpectRefused({
        {"POST", "/zun-clubs/v1/clubs/membership", name, 500,
         HostError("Error: Invalid encoding in string. at offset 13.")},
        {"POST", "/zun-clubs/v1/clubs/membership", lone, 500,
         HostError("Error: The surrogate pair in string is invalid. at offset 16.")},
        {"PATCH", "/zun-clubs/v1/clubs/club-1/motd", "{\"motd\":\"\xFF\xFE\xFD\"}", 500,
         HostError("Error: Invalid encoding in string. at offset 9.")},
        {"PUT", kWorld, badWorld, 400,
         HostError("the world is not UTF-8 (at offset " + badAt + ")")},
        {"PUT", "/zun-login/v1/session", name, 400,
         HostError("the body is not UTF-8 (at offset 13)")},
        {"PUT", "/zun-login/v1/session", lone, 400, HostError("the body " + surrogate)},
        {"POST", "/zun-clubs-host/v1/faults",
         R"({"service":"clubs","path":"/x","status":500,"body":"\uDFAA"})", 400,
         HostError("the fault rule holds a surrogate escape without its pair, which is not "
                   "UTF-8 (at offset 59)")},
        {"PUT", std::string(kAs) + "/v1/clubs/club-1/motd", "\xFF\xFE\xFD", 400,
         ServiceError("INVALID_REQUEST_TEXT", "the body is not UTF-8")},
        {"POST", std::string(kAs) + "/v1/clubs?clubName=Bad%FF%FE", "", 400,
         ServiceError("INVALID_REQUEST_TEXT", "the query is not UTF-8")},
        {"PUT", std::string(kAs) + "/v1/membership/LOC1/1001", lone, 400,
         ServiceError("INVALID_REQUEST_BODY", "the body " + surrogate)},
    });
}

}  // namespace
}  // namespace Kolm::HostTest
