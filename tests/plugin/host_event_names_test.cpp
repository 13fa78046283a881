#include "plugin/host_event_names.h"

#include <gtest/gtest.h>

namespace Kolm {
namespace {

TEST(HostEventNameOfUri, JoinsTheFirstThreePieces) {
    EXPECT_EQ(HostEventNameOfUri("/zun-clubs/v1/clubs/membership"),
              "OnJsonApiEvent_zun-clubs_v1_clubs");
    EXPECT_EQ(HostEventNameOfUri("/zun-login/v1/session"), "OnJsonApiEvent_zun-login_v1_session");
}

TEST(HostEventNameOfUri, JoinsFivePiecesOfThePlatformConfiguration) {
    EXPECT_EQ(HostEventNameOfUri("/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled"),
              "OnJsonApiEvent_zun-platform-config_v1_namespaces_Clubs_ClubsEnabled");
    EXPECT_EQ(HostEventNameOfUri("/zun-platform-config/v1/namespaces/Clubs/A/B"),
              "OnJsonApiEvent_zun-platform-config_v1_namespaces_Clubs_A");
}

TEST(HostEventNameOfUri, DropsEmptyPiecesAndTakesAllOfShortUris) {
    EXPECT_EQ(HostEventNameOfUri("//zun-clubs//v1/"), "OnJsonApiEvent_zun-clubs_v1");
    EXPECT_EQ(HostEventNameOfUri("zun-clubs/v1/clubs/x"), "OnJsonApiEvent_zun-clubs_v1_clubs");
    EXPECT_EQ(HostEventNameOfUri(""), "OnJsonApiEvent");
    EXPECT_EQ(HostEventNameOfUri("///"), "OnJsonApiEvent");
}

TEST(HostEventNameOfUri, OnlyALeadingPlatformConfigPieceWidensTheName) {
    EXPECT_EQ(HostEventNameOfUri("/a/zun-platform-config/b/c/d"),
              "OnJsonApiEvent_a_zun-platform-config_b");
}

struct WildcardCase {
    const char* pattern;
    const char* uri;
    bool matches;
};

TEST(MatchesWildcard, StarStopsAtTheNextSlashWithoutBacktracking) {
    const WildcardCase cases[] = {
        {"/zun-clubs/v1/clubs/*", "/zun-clubs/v1/clubs/abc", true},
        {"/zun-clubs/v1/clubs/*", "/zun-clubs/v1/clubs/abc/members", false},
        {"/zun-clubs/v1/clubs/*", "/zun-clubs/v1/clubs/", true},
        {"/zun-clubs/v1/clubs/*/members", "/zun-clubs/v1/clubs/abc/members", true},
        {"/zun-clubs/v1/clubs/*/members", "/zun-clubs/v1/clubs/abc/motd", false},
        // Without backtracking the star swallows "abc" and the literal "c" finds nothing left.
        {"/x/*c", "/x/abc", false},
        {"/x/*", "/y/abc", false},
        {"/x/abc", "/x/abc", true},
        {"/x/abc", "/x/abcd", false},
        {"/x/abcd", "/x/abc", false},
        {"*", "", true},
        {"", "", true},
        {"", "/", false},
        {"**/b", "a/b", true},
    };
    for (const WildcardCase& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.pattern, c.uri), c.matches)
            << "pattern " << c.pattern << " uri " << c.uri;
    }
}

TEST(NormalizeResourceUri, AddsALeadingSlashOnlyWhenMissing) {
    EXPECT_EQ(NormalizeResourceUri("zun-login/v1/session"), "/zun-login/v1/session");
    EXPECT_EQ(NormalizeResourceUri("/zun-login/v1/session"), "/zun-login/v1/session");
    EXPECT_EQ(NormalizeResourceUri(""), "/");
}

}  // namespace
}  // namespace Kolm
