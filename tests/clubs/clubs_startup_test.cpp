// Start-up of the clubs plugin through its real entry: the login session, the platform
// configuration, the enable decision and the loading of the membership.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/clubs/clubs_test_host.h"

namespace Kolm::ClubsTest {
namespace {

constexpr const char* kEnabledPath = "/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled";
constexpr const char* kQrxPath = "/zun-platform-config/v1/namespaces/Clubs/ClubsQRXEnabled";
constexpr const char* kPlatformPath =
    "/zun-platform-config/v1/namespaces/LoginDataPacket/platformId";
constexpr const char* kUrlPath = "/zun-platform-config/v1/namespaces/Clubs/ClubServiceUrl";
constexpr const char* kInitUrl = "https://clubs.test/v1/membership/EUW1/2001/init";
constexpr const char* kPlainUrl = "https://clubs.test/v1/membership/EUW1/2001";
constexpr const char* kMembershipTopic =
    "/kolm-messaging-service/v1/message/clubs/v1/membership/EUW1/2001";

constexpr int kSucceeded = 1;
constexpr int kError = 3;

class ClubsStartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.AddDefaultPlayer();
        ASSERT_TRUE(host.Init());
    }

    std::vector<std::string> Urls() const {
        std::vector<std::string> urls;
        for (const Host::WebRequest& request : host.ServiceRequests()) {
            urls.push_back(request.method + " " + request.url);
        }
        return urls;
    }

    std::string LastAuthorization() const {
        const std::vector<Host::WebRequest> requests = host.ServiceRequests();
        if (requests.empty()) {
            return "<no request>";
        }
        const auto& headers = requests.back().headers;
        auto found = headers.find("Authorization");
        return found == headers.end() ? "<none>" : found->second;
    }

    void ChangeServiceUrl(const std::string& url) {
        host.SetPlatformValue(kUrlPath, "\"" + url + "\"");
    }

    ClubsTestHost host;
};

TEST_F(ClubsStartupTest, EnablesClubsAndReadsTheInitMembershipOnceEverythingIsKnown) {
    host.EnableClubs();

    EXPECT_EQ(Urls(), std::vector<std::string>{std::string("GET ") + kInitUrl});
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is enabled"), 1);
    // The session and three platform values arrived before the last one completed the set.
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is NOT enabled"), 4);
    const Host::WebRequest request = host.ServiceRequests().front();
    EXPECT_EQ(request.headers.at("Authorization"), "JwtBearer token-a");
    EXPECT_EQ(request.headers.at("Content-type"), "application/json");
    EXPECT_EQ(host.messaging->RequestCount(HOST_METHOD_GET, kMembershipTopic), 1u);
}

TEST_F(ClubsStartupTest, SessionWithAccountIdZeroIsNotALogin) {
    host.SetSession(kSucceeded, 0, kSummonerId, kToken);
    host.SetPlatformValue(kEnabledPath, "true");
    host.SetPlatformValue(kQrxPath, "true");
    host.SetPlatformValue(kPlatformPath, "\"EUW1\"");
    ChangeServiceUrl(kServiceUrl);

    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is enabled"), 0);
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is NOT enabled"), 4);
}

TEST_F(ClubsStartupTest, MissingSwitchKeepsClubsDisabledOnEveryChange) {
    host.SetSession(kSucceeded, kAccountId, kSummonerId, kToken);
    host.SetPlatformValue(kEnabledPath, "true");
    host.SetPlatformValue(kPlatformPath, "\"EUW1\"");
    ChangeServiceUrl(kServiceUrl);

    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is NOT enabled"), 4);
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is enabled"), 0);
}

TEST_F(ClubsStartupTest, NewServiceUrlReconfiguresAndReloadsWithThePlainRead) {
    host.EnableClubs();
    host.ClearRecords();

    ChangeServiceUrl("https://clubs-two.test");

    EXPECT_EQ(Urls(),
              std::vector<std::string>{"GET https://clubs-two.test/v1/membership/EUW1/2001"});
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is enabled"), 1);
    EXPECT_EQ(host.messaging->RequestCount(HOST_METHOD_GET, kMembershipTopic), 1u);
}

TEST_F(ClubsStartupTest, ErrorAfterSucceededKeepsTokenAndLeavesTheClientAlone) {
    host.EnableClubs();
    host.ClearRecords();

    host.SetSession(kError, kAccountId, kSummonerId, kToken);
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_TRUE(host.LogLines().empty());

    // The next configuration change sees the lost session but the kept token.
    ChangeServiceUrl("https://clubs-two.test");
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is NOT enabled"), 1);
    const RestReply reply =
        host.Call(HOST_METHOD_PATCH, "/zun-clubs/v1/clubs/membership/preferences",
                  R"({"primaryClubKey":"","shareClubAffiliation":true})");
    EXPECT_FALSE(reply.hasError) << reply.errorText;
    ASSERT_EQ(host.ServiceRequests().size(), 1u);
    EXPECT_EQ(host.ServiceRequests().back().url, "/v1/membership/EUW1/2001");
    EXPECT_EQ(LastAuthorization(), "JwtBearer token-a");
}

TEST_F(ClubsStartupTest, NewTokenWhileLoggedInIsNotTaken) {
    host.EnableClubs();
    host.ClearRecords();

    host.SetSession(kSucceeded, kAccountId, kSummonerId, "token-b");
    EXPECT_TRUE(host.ServiceRequests().empty());

    ChangeServiceUrl(kServiceUrl);
    EXPECT_EQ(Urls(), std::vector<std::string>{std::string("GET ") + kPlainUrl});
    EXPECT_EQ(LastAuthorization(), "JwtBearer token-a");
}

TEST_F(ClubsStartupTest, DeleteThenSucceededTakesIdsAndTokenAnew) {
    host.EnableClubs();
    host.ClearRecords();

    host.DeleteSession();
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_TRUE(host.LogLines().empty());

    host.SetSession(kSucceeded, kAccountId, kSummonerId, "token-b");
    EXPECT_EQ(Urls(), std::vector<std::string>{std::string("GET ") + kPlainUrl});
    EXPECT_EQ(LastAuthorization(), "JwtBearer token-b");
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is enabled"), 1);
}

TEST_F(ClubsStartupTest, DeleteOfAPlatformValueChangesNothing) {
    host.EnableClubs();
    host.ClearRecords();

    for (const char* path : {kEnabledPath, kQrxPath, kPlatformPath, kUrlPath}) {
        host.SetPlatformValue(path, "null", Host::ResourceEventType::Delete);
    }
    EXPECT_TRUE(host.ServiceRequests().empty());
    EXPECT_TRUE(host.LogLines().empty());

    // Every value is still in force.
    ChangeServiceUrl(kServiceUrl);
    EXPECT_EQ(Urls(), std::vector<std::string>{std::string("GET ") + kPlainUrl});
}

TEST_F(ClubsStartupTest, ValuesOfOtherKindsAreConvertedNotRefused) {
    host.SetSession(kSucceeded, kAccountId, kSummonerId, kToken);
    host.SetPlatformValue(kEnabledPath, "\"1\"");
    host.SetPlatformValue(kQrxPath, "7");
    host.SetPlatformValue(kPlatformPath, "42");
    ChangeServiceUrl(kServiceUrl);
    EXPECT_EQ(Urls(),
              std::vector<std::string>{"GET https://clubs.test/v1/membership/42/2001/init"});

    // A text other than "true" or "1" is false, and clubs is switched off again.
    host.ClearRecords();
    host.SetPlatformValue(kEnabledPath, "\"True\"");
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is NOT enabled"), 1);
    EXPECT_TRUE(host.ServiceRequests().empty());
}

TEST_F(ClubsStartupTest, UnconvertibleSessionIsDroppedAndTheLoginStands) {
    host.EnableClubs();
    host.ClearRecords();

    host.login->Publish(Host::ResourceEventType::Update, "/zun-login/v1/session",
                        Host::OwnedHostValue::Json(R"({"state":{"x":1},"accountId":"many"})"));
    EXPECT_TRUE(host.LogLines().empty());

    ChangeServiceUrl(kServiceUrl);
    EXPECT_EQ(host.CountLines(kLogOkay, "zun-clubs: Clubs is enabled"), 1);
    EXPECT_EQ(LastAuthorization(), "JwtBearer token-a");
}

TEST_F(ClubsStartupTest, FailedInitReadIsRetriedByTheNextConfiguration) {
    int refusals = 1;
    host.SetServiceHook([&](const Host::WebRequest&) -> std::optional<Host::WebResponse> {
        if (refusals-- > 0) {
            return Host::WebResponse{503, {}, R"({"errorCode":"SERVICE_DOWN"})"};
        }
        return std::nullopt;
    });
    host.EnableClubs();
    EXPECT_EQ(host.messaging->RequestCount(HOST_METHOD_GET, kMembershipTopic), 0u);
    EXPECT_TRUE(host.PublishedOn("/zun-clubs/v1/clubs/membership").empty());
    EXPECT_EQ(
        host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership").value["info"]["summonerId"],
        0);

    ChangeServiceUrl(kServiceUrl);
    EXPECT_EQ(Urls(), (std::vector<std::string>{std::string("GET ") + kInitUrl,
                                                std::string("GET ") + kInitUrl}));
    EXPECT_EQ(host.messaging->RequestCount(HOST_METHOD_GET, kMembershipTopic), 1u);
    EXPECT_EQ(
        host.Call(HOST_METHOD_GET, "/zun-clubs/v1/clubs/membership").value["info"]["summonerId"],
        kSummonerId);
}

TEST_F(ClubsStartupTest, AnswerWithSummonerIdZeroKeepsTheNextLoadAnInitRead) {
    host.SetServiceHook([](const Host::WebRequest&) -> std::optional<Host::WebResponse> {
        return Host::WebResponse{
            200, {}, R"({"playerMembership":{"player":{"currentAccountId":2001,"summonerId":0}},
                        "membershipNotifications":[]})"};
    });
    host.EnableClubs();
    ChangeServiceUrl(kServiceUrl);

    EXPECT_EQ(Urls(), (std::vector<std::string>{std::string("GET ") + kInitUrl,
                                                std::string("GET ") + kInitUrl}));
    // Each init read subscribes the topic again (and reads it once more).
    EXPECT_EQ(host.messaging->RequestCount(HOST_METHOD_GET, kMembershipTopic), 2u);
}

TEST_F(ClubsStartupTest, EveryAppliedMembershipPublishesTheFourMembershipPathsInOrder) {
    const std::vector<std::string> expected = {
        "/zun-clubs/v1/clubs/membership/config", "/zun-clubs/v1/clubs/membership/presence",
        "/zun-clubs/v1/clubs/membership/preferences", "/zun-clubs/v1/clubs/membership"};
    auto membershipPaths = [&] {
        std::vector<std::string> paths;
        for (const PublishedEvent& event : host.Published()) {
            if (event.uri.rfind("/zun-clubs/v1/clubs/membership", 0) == 0) {
                EXPECT_EQ(event.eventType, 1) << event.uri;
                paths.push_back(event.uri);
            }
        }
        return paths;
    };
    host.EnableClubs();
    EXPECT_EQ(membershipPaths(), expected);

    // A push message on the membership topic applies the same, unchanged membership again.
    host.ClearRecords();
    host.SendMembershipMessage();
    EXPECT_EQ(Urls(), std::vector<std::string>{std::string("GET ") + kPlainUrl});
    EXPECT_EQ(membershipPaths(), expected);

    const std::vector<PublishedEvent> whole = host.PublishedOn("/zun-clubs/v1/clubs/membership");
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].data["info"]["accountId"], kAccountId);
    EXPECT_EQ(whole[0].data["info"]["summonerId"], kSummonerId);
    EXPECT_EQ(whole[0].data["info"]["summonerIconId"], -1);
    EXPECT_EQ(whole[0].data["clubsServerConfig"]["maxActiveClubs"], 10);
}

}  // namespace
}  // namespace Kolm::ClubsTest
