#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "binding/binding_type_registry.h"
#include "clubs/model/clubs_type_registration.h"
#include "clubs/service/clubs_service_client.h"
#include "clubs/service/service_transport.h"
#include "tests/clubs/service/recording_transport.h"

namespace Kolm::Client::Clubs {
namespace {

class ClubsServiceClientTest : public ::testing::Test {
  protected:
    ClubsServiceClientTest() : client(registry, transport.Sender(), [this] { return player; }) {
        Api::RegisterClubsTypes(registry);
        client.Configure(
            true, "https://clubs.test",
            {{"Authorization", "JwtBearer tok"}, {"Content-type", "application/json"}});
    }

    const HttpBaseTransport::Request& Sent() {
        EXPECT_FALSE(transport.requests.empty());
        return transport.requests.back();
    }

    BindingTypeRegistry registry;
    RecordingTransport transport;
    ClubsServicePlayer player{"NA1", 42};
    ClubsServiceClient client;
};

struct Expected {
    const char* description;
    std::function<void(ClubsServiceClient&)> call;
    HttpMethod method;
    const char* url;
    const char* body;
};

TEST_F(ClubsServiceClientTest, EachOperationSendsItsMethodUrlAndBody) {
    Api::PlayerMembershipPreferencesDto preferences;
    preferences.primaryActiveClubKey = "k1";
    preferences.shareClubAffiliation = true;
    Api::MembershipInviteDto answer;
    answer.clubKey = "k1";
    answer.status = 1;
    answer.inviteeAccountId = 42;
    Api::BaseMembershipInviteDto invite;
    invite.clubKey = "k1";
    invite.inviteeSummonerId = 7;
    const std::string membership = "https://clubs.test/v1/membership/NA1/42";
    const std::string club = "https://clubs.test/v1/clubs/k1";
    const Expected cases[] = {
        {"get membership", [](auto& c) { c.GetMembership(); }, HttpMethod::Get, "", ""},
        {"init membership", [](auto& c) { c.InitMembership(); }, HttpMethod::Get, "/init", ""},
        {"update preferences", [&](auto& c) { c.UpdatePreferences(preferences); }, HttpMethod::Put,
         "",
         "{\r\n    \"primaryActiveClubKey\": \"k1\",\r\n    \"shareClubAffiliation\": true\r\n}"},
        {"leave", [](auto& c) { c.LeaveClub("k1"); }, HttpMethod::Post, "/leave/k1", ""},
        {"answer invite", [&](auto& c) { c.AnswerInvite(answer); }, HttpMethod::Post, "/invites/k1",
         "{\r\n    \"clubKey\": \"k1\",\r\n    \"clubName\": \"\",\r\n    \"inviteeAccountId\": 42,"
         "\r\n    \"inviteePlatformId\": \"\",\r\n    \"inviteeSummonerId\": 0,\r\n    "
         "\"inviterAccountId\": 0,\r\n    \"inviterPlatformId\": \"\",\r\n    "
         "\"inviterSummonerId\": 0,\r\n    \"status\": 1\r\n}"},
    };
    for (const Expected& expected : cases) {
        expected.call(client);
        EXPECT_EQ(Sent().method, static_cast<uint32_t>(expected.method)) << expected.description;
        EXPECT_EQ(Sent().url, membership + expected.url) << expected.description;
        EXPECT_EQ(Sent().body, expected.body) << expected.description;
    }
    const Expected clubCases[] = {
        {"get club", [](auto& c) { c.GetClub("k1"); }, HttpMethod::Get, "", ""},
        {"tag", [](auto& c) { c.SetTag("k1", "TAG \"x\""); }, HttpMethod::Put, "/tag", "TAG \"x\""},
        {"motd", [](auto& c) { c.SetMotd("k1", "hello\r\n"); }, HttpMethod::Put, "/motd",
         "hello\r\n"},
        {"invite", [&](auto& c) { c.Invite("k1", invite); }, HttpMethod::Post, "/invites",
         "{\r\n    \"clubKey\": \"k1\",\r\n    \"clubName\": \"\",\r\n    \"inviteePlatformId\": "
         "\"\",\r\n    \"inviteeSummonerId\": 7,\r\n    \"inviterAccountId\": 0,\r\n    "
         "\"inviterPlatformId\": \"\",\r\n    \"inviterSummonerId\": 0,\r\n    \"status\": 0\r\n}"},
        {"nominate", [](auto& c) { c.Nominate("k1", 123); }, HttpMethod::Post, "/nominate/123", ""},
        {"reject nomination", [](auto& c) { c.RejectNomination("k1", 123); }, HttpMethod::Post,
         "/nominate/123/reject", ""},
        {"promote", [](auto& c) { c.Promote("k1", 123); }, HttpMethod::Post, "/promote/123", ""},
        {"demote", [](auto& c) { c.Demote("k1", 123); }, HttpMethod::Post, "/demote/123", ""},
        {"remove", [](auto& c) { c.RemoveMember("k1", 18446744073709551615u); }, HttpMethod::Post,
         "/remove/18446744073709551615", ""},
        {"ownership", [](auto& c) { c.TransferOwnership("k1", 123); }, HttpMethod::Post,
         "/ownership/123", ""},
    };
    for (const Expected& expected : clubCases) {
        expected.call(client);
        EXPECT_EQ(Sent().method, static_cast<uint32_t>(expected.method)) << expected.description;
        EXPECT_EQ(Sent().url, club + expected.url) << expected.description;
        EXPECT_EQ(Sent().body, expected.body) << expected.description;
    }
}

TEST_F(ClubsServiceClientTest, EveryRequestCarriesTheDefaultHeadersAndTransportOptions) {
    client.SetTag("k1", "plain text");
    client.CreateClub("name");
    client.GetMembership();
    for (const HttpBaseTransport::Request& request : transport.requests) {
        EXPECT_EQ(request.headers,
                  (std::map<std::string, std::string>{{"Authorization", "JwtBearer tok"},
                                                      {"Content-type", "application/json"}}));
        EXPECT_EQ(request.setting, 20u);
        EXPECT_EQ(request.flag, 1u);
        EXPECT_EQ(request.note, "");
    }
}

TEST_F(ClubsServiceClientTest, CreateClubPercentEncodesTheName) {
    client.CreateClub("a &b");
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/clubs?clubName=a%20%26b");
    EXPECT_EQ(Sent().method, static_cast<uint32_t>(HttpMethod::Post));
    EXPECT_EQ(Sent().body, "");
    client.CreateClub("x.y-z_~\xC3\xA9/?=");
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/clubs?clubName=x.y-z_~%C3%A9%2F%3F%3D");
}

TEST_F(ClubsServiceClientTest, ClubKeysStayOneSegmentOfThePath) {
    client.GetClub("x/../../membership");
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/clubs/x%2F%2E%2E%2F%2E%2E%2Fmembership");
    client.SetMotd("..", "m");
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/clubs/%2E%2E/motd");
    client.LeaveClub("a?b#c%");
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/membership/NA1/42/leave/a%3Fb%23c%25");
    client.Promote("Az09-_~", 1);
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/clubs/Az09-_~/promote/1");
}

TEST_F(ClubsServiceClientTest, MembershipPathsUseThePlayerAtTheTimeOfTheCall) {
    client.GetMembership();
    player = {"EUW1", 7};
    client.GetMembership();
    EXPECT_EQ(transport.requests[0].url, "https://clubs.test/v1/membership/NA1/42");
    EXPECT_EQ(transport.requests[1].url, "https://clubs.test/v1/membership/EUW1/7");
}

TEST_F(ClubsServiceClientTest, WithoutConfigurationRequestsGoToTheBarePath) {
    ClubsServiceClient fresh(registry, transport.Sender(), [this] { return player; });
    EXPECT_FALSE(fresh.Enabled());
    fresh.GetClub("k1");
    EXPECT_EQ(Sent().url, "/v1/clubs/k1");
    EXPECT_TRUE(Sent().headers.empty());
}

TEST_F(ClubsServiceClientTest, ConfigureReplacesTheHeaders) {
    client.Configure(false, "http://other", {{"X-Only", "1"}});
    EXPECT_FALSE(client.Enabled());
    client.GetClub("k");
    EXPECT_EQ(Sent().url, "http://other/v1/clubs/k");
    EXPECT_EQ(Sent().headers, (std::map<std::string, std::string>{{"X-Only", "1"}}));
}

TEST_F(ClubsServiceClientTest, UnansweredInvitationStatesPostToTheBaseUrl) {
    Api::MembershipInviteDto invite;
    invite.clubKey = "k1";
    invite.status = 2;
    client.AnswerInvite(invite);
    EXPECT_EQ(Sent().url, "https://clubs.test/v1/membership/NA1/42/invites/k1");
    for (int32_t status : {0, 3, -1}) {
        invite.status = status;
        client.AnswerInvite(invite);
        EXPECT_EQ(Sent().url, "https://clubs.test") << status;
    }
}

TEST_F(ClubsServiceClientTest, RecordsThatCannotBeWrittenAreNotSent) {
    BindingTypeRegistry empty;
    ClubsServiceClient unregistered(empty, transport.Sender(), [this] { return player; });
    const auto result = unregistered.Invite("k1", Api::BaseMembershipInviteDto{});
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.status, 500u);
    EXPECT_EQ(result.ErrorText(), "Error serializing server request");
    EXPECT_TRUE(transport.requests.empty());
}

TEST_F(ClubsServiceClientTest, SuccessDecodesTheAnswerAndKeepsTheStatus) {
    transport.Answer(201, R"({"clubData":{"clubKey":"k1","name":"N","role":"OWNER"},
                             "membership":{"activeMembers":[{"since":5,"role":"OWNER"}]}})");
    const auto result = client.GetClub("k1");
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    EXPECT_EQ(result.status, 201u);
    EXPECT_EQ(result.value.clubData.name, "N");
    EXPECT_EQ(result.value.membership.activeMembers.at(0).since, 5);
    transport.Answer(200, "{}");
    const auto sparse = client.GetMembership();
    ASSERT_TRUE(sparse.Succeeded());
    EXPECT_TRUE(sparse.value.activeClubs.empty());
}

struct ErrorCase {
    const char* description;
    uint32_t status;
    const char* body;
    int32_t transportCode;
    uint32_t expectedStatus;
    const char* expectedText;
};

TEST_F(ClubsServiceClientTest, FailuresBecomeStatusAndText) {
    const char* url = "https://clubs.test/v1/clubs/k1";
    const std::string unreachable =
        std::string("Failed to get response from url: ") + url + " : 'connection refused'";
    const ErrorCase cases[] = {
        {"refusal with code", 404, R"({"errorCode":"CLUB_NOT_FOUND"})", 0, 404, "CLUB_NOT_FOUND"},
        {"refusal without code", 404, "{}", 0, 404, "UNKNOWN_ERROR"},
        {"empty refusal", 500, "", 0, 500, "UNKNOWN_ERROR"},
        {"blank refusal", 503, "  \r\n", 0, 503, "UNKNOWN_ERROR"},
        {"array refusal", 409, "[1,2]", 0, 409, "UNKNOWN_ERROR"},
        {"numeric code", 403, R"({"errorCode":123})", 0, 403, "123"},
        {"empty code", 404, R"({"errorCode":""})", 0, 404, "UNKNOWN_ERROR"},
        {"null code", 404, R"({"errorCode":null})", 0, 404, "UNKNOWN_ERROR"},
        {"structured code", 409, R"({"errorCode":{"x":1}})", 0, 409, "UNKNOWN_ERROR"},
        {"status below 2xx", 199, R"({"errorCode":"EARLY"})", 0, 199, "EARLY"},
        {"status above 2xx", 300, "{}", 0, 300, "UNKNOWN_ERROR"},
        {"refusal not json", 400, "not json", 0, 400, "Error: Invalid value. at offset 1."},
        {"transport failure", 0, "connection refused", 1, 500, unreachable.c_str()},
        {"transport failure with status", 404, "connection refused", 2, 500, unreachable.c_str()},
        {"answer not json", 200, "<html>", 0, 500, "Error deserializing server response"},
        {"empty answer", 200, "", 0, 500, "Error deserializing server response"},
        {"answer of the wrong shape", 200, R"({"clubData":"text"})", 0, 500,
         "Error deserializing server response"},
        {"answer not an object", 200, "[{}]", 0, 500, "Error deserializing server response"},
        {"huge number", 200, R"({"clubData":{"createdTs":99999999999999999999999}})", 0, 500,
         "Error deserializing server response"},
        {"negative id", 200,
         R"({"membership":{"activeMembers":[{"playerInfo":{"summonerId":-1}}]}})", 0, 500,
         "Error deserializing server response"},
    };
    for (const ErrorCase& error : cases) {
        SCOPED_TRACE(error.description);
        transport.Answer(error.status, error.body, error.transportCode);
        const auto result = client.GetClub("k1");
        EXPECT_FALSE(result.Succeeded()) << error.description;
        EXPECT_EQ(result.status, error.expectedStatus) << error.description;
        EXPECT_EQ(result.ErrorText(), error.expectedText) << error.description;
    }
}

TEST_F(ClubsServiceClientTest, AnswersTheHostCouldNotHandOverFailTheExchange) {
    ServiceHttpAnswer answer;
    answer.status = 200;
    answer.conversionFailed = true;
    answer.errorText =
        "Error converting response for GET https://clubs.test/v1/clubs/k1: body was null";
    transport.Answer(answer);
    const auto result = client.GetClub("k1");
    EXPECT_EQ(result.status, 500u);
    EXPECT_EQ(result.ErrorText(),
              "Failed to get response from url: https://clubs.test/v1/clubs/k1 : 'Error converting "
              "response for GET https://clubs.test/v1/clubs/k1: body was null'");

    // A refusal whose headers the host announced but did not hand over: the real reader keeps
    // its body, from which the error code is read.
    const std::string refusal = R"({"errorCode":"CLUB_NOT_FOUND"})";
    const HostHttpResponse lostHeaders{0,
                                       404,
                                       nullptr,
                                       2,
                                       reinterpret_cast<const uint8_t*>(refusal.data()),
                                       static_cast<uint32_t>(refusal.size())};
    transport.Answer(ReadServiceAnswer(lostHeaders, Sent()));
    const auto refused = client.GetClub("k1");
    EXPECT_EQ(refused.status, 404u);
    EXPECT_EQ(refused.ErrorText(), "CLUB_NOT_FOUND");
}

}  // namespace
}  // namespace Kolm::Client::Clubs
