// Authentication, routing, membership reads and bad input.
#include "tests/host/clubs_web_service/clubs_web_service_fixture.h"

#include "host/clubs_web_service/service_url.h"
#include "host/serving/http/percent_decoding.h"

namespace Kolm::Host {
namespace {

TEST_F(ClubsWebServiceTest, RefusesRequestsWithoutAValidBearerToken) {
    WebRequest request{"GET", "/v1/membership/NA1/1", {}, ""};
    EXPECT_EQ(service.Handle(request).status, 401);
    request.headers["Authorization"] = "Bearer token-1";
    EXPECT_EQ(ErrorCode(service.Handle(request)), "UNAUTHORIZED");
    request.headers["Authorization"] = "JwtBearer token-9";
    EXPECT_EQ(service.Handle(request).status, 401);
    request.headers.clear();
    request.headers["authorization"] = "JwtBearer token-1";
    EXPECT_EQ(service.Handle(request).status, 200);
}

TEST_F(ClubsWebServiceTest, AnswersUnknownPathsAndWrongMethodsWithErrorBodies) {
    const WebResponse unknown = As(kOwner, "GET", "/v1/clubs/k/unknown");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(ErrorCode(unknown), "RESOURCE_NOT_FOUND");
    EXPECT_EQ(unknown.headers.at("content-type"), "application/json");
    const WebResponse wrongMethod = As(kOwner, "DELETE", "/v1/clubs/k");
    EXPECT_EQ(wrongMethod.status, 405);
    EXPECT_EQ(ErrorCode(wrongMethod), "METHOD_NOT_ALLOWED");
    EXPECT_EQ(ErrorCode(As(kOwner, "GET", "/v1/clubs/nothing")), "CLUB_NOT_FOUND");
}

TEST_F(ClubsWebServiceTest, AcceptsFullUrlsAndBarePaths) {
    EXPECT_EQ(As(kOwner, "GET", "https://clubs.example:8443/v1/membership/NA1/1").status, 200);
    EXPECT_EQ(As(kOwner, "GET", "/v1/membership/NA1/1").status, 200);
}

TEST_F(ClubsWebServiceTest, MembershipShowsThePlayerAndTheServerLimits) {
    const rapidjson::Document membership = Json(As(kMember, "GET", MembershipPath(kMember)));
    EXPECT_EQ(membership["player"]["currentAccountId"].GetUint64(), kMember);
    EXPECT_EQ(membership["player"]["summonerId"].GetUint64(), kMember + 100);
    EXPECT_STREQ(membership["player"]["currentPlatformId"].GetString(), "NA1");
    EXPECT_EQ(membership["activeClubs"].Size(), 0u);
    EXPECT_EQ(membership["clubsServerConfig"]["maxClubNameLength"].GetInt(), 24);
    EXPECT_TRUE(membership["clubsServerConfig"]["clubNominationsEnabled"].GetBool());
    EXPECT_STREQ(membership["playerClubPreferences"]["primaryActiveClubKey"].GetString(), "");
}

TEST_F(ClubsWebServiceTest, PlayersReachOnlyTheirOwnMembership) {
    EXPECT_EQ(ErrorCode(As(kMember, "GET", MembershipPath(kOwner))), "FORBIDDEN");
    EXPECT_EQ(ErrorCode(As(kMember, "GET", "/v1/membership/EUW/3")), "FORBIDDEN");
    EXPECT_EQ(ErrorCode(As(kMember, "GET", "/v1/membership/NA1/three")), "INVALID_ACCOUNT_ID");
    EXPECT_EQ(ErrorCode(As(kMember, "GET", "/v1/membership/NA1/18446744073709551616")),
              "INVALID_ACCOUNT_ID");
}

TEST_F(ClubsWebServiceTest, MalformedBodiesAndIdsAreRefusedWithoutChange) {
    const std::string key = MakeClub();
    for (const char* body : {"", "not json", "[1,2]", R"({"inviteeSummonerId":-5})",
                             R"({"inviteeSummonerId":18446744073709551616})",
                             R"({"inviteeSummonerId":"12abc"})", R"({"other":1})"}) {
        EXPECT_EQ(ErrorCode(As(kOwner, "POST", "/v1/clubs/" + key + "/invites", body)),
                  "INVALID_REQUEST_BODY")
            << body;
    }
    EXPECT_EQ(ErrorCode(As(kOwner, "POST", "/v1/clubs/" + key + "/promote/-3")),
              "INVALID_PLAYER_ID");
    EXPECT_EQ(ErrorCode(As(kOwner, "PUT", MembershipPath(kOwner), "{")), "INVALID_REQUEST_BODY");
    EXPECT_EQ(ErrorCode(Answer(kOutsider, key, 7)), "INVALID_INVITE_STATUS");
    EXPECT_EQ(ActiveRoles(key), "1:OWNER 2:OFFICER 3:MEMBER");
}

TEST_F(ClubsWebServiceTest, AddPlayerRefusesTakenIdsAndTokens) {
    EXPECT_FALSE(service.AddPlayer({"NA1", kOwner, 999, "fresh"}));
    EXPECT_FALSE(service.AddPlayer({"NA1", 50, kOwner + 100, "fresh"}));
    EXPECT_FALSE(service.AddPlayer({"NA1", 50, 150, "token-1"}));
    EXPECT_FALSE(service.AddPlayer({"NA1", 50, 150, ""}));
    EXPECT_TRUE(service.AddPlayer({"NA1", 50, 150, "fresh"}));
}

TEST(ServiceUrlTest, DecodesEachSegmentOnItsOwn) {
    const ServiceUrl url = ParseServiceUrl("http://host/v1/clubs/x%2F..%2Fmembership/motd");
    EXPECT_EQ(url.segments, (std::vector<std::string>{"v1", "clubs", "x/../membership", "motd"}));
}

TEST(ServiceUrlTest, SplitsTheQueryAndReadsPlusAsBlank) {
    const ServiceUrl url = ParseServiceUrl("/v1/clubs?clubName=a+b%26c&flag&x=%zz");
    EXPECT_EQ(url.segments, (std::vector<std::string>{"v1", "clubs"}));
    EXPECT_EQ(url.query.at("clubName"), "a b&c");
    EXPECT_EQ(url.query.at("flag"), "");
    EXPECT_EQ(url.query.at("x"), "%zz");
    EXPECT_TRUE(ParseServiceUrl("https://host").segments.empty());
    EXPECT_EQ(DecodePercent("%4", false), "%4");
}

}  // namespace
}  // namespace Kolm::Host
