// Toasts and summoner look-ups through the real entry: the duplicate test, the icon of the
// platform configuration, names and icons matched by position, and every failure of the other
// plugins, none of which fails the action or loses the model.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/clubs/clubs_scenario.h"

namespace Kolm::ClubsTest {
namespace {

const std::string kClubs = "/zun-clubs/v1/clubs";
const std::string kNotificationsPath = "/player-notifications/v1/notifications";

// Our player owns Alpha; Zed joins behind the plugin's back, so the next message-of-the-day
// answer shows him as joined.
class JoinedToastTest : public ClubsScenario {
  protected:
    void SetUp() override {
        ClubsScenario::SetUp();
        alpha = CreateClub(kAccountId, "Alpha");
        host.EnableClubs();
        Join(kAccountId, alpha, kZedAccount, kZed);
    }

    RestReply SetMotd() { return Patch(kClubs + "/" + alpha + "/motd", R"({"motd":"Hi"})"); }

    json ZedJoined() const {
        return MemberToast("club", "clubs_player_joined", kZed, "Zed", "MEMBER", alpha, "Alpha",
                           kMemberIcon);
    }

    std::string alpha;
};

// --- The duplicate test ---

struct SeededCase {
    const char* description;
    // Changes the seeded copy of the toast about to be posted.
    void (*change)(json& seeded);
    bool posted;
};

void PrintTo(const SeededCase& seeded, std::ostream* out) {
    *out << seeded.description;
}

class DuplicateToastTest : public JoinedToastTest,
                           public ::testing::WithParamInterface<SeededCase> {};

TEST_P(DuplicateToastTest, PostsUnlessAnEqualToastOfOursIsListed) {
    json seeded = ZedJoined();
    GetParam().change(seeded);
    host.notifications->Add(Host::OwnedHostValue::Json(seeded.dump()));

    ASSERT_FALSE(SetMotd().hasError);
    const std::vector<json> expected =
        GetParam().posted ? std::vector<json>{ZedJoined()} : std::vector<json>{};
    EXPECT_EQ(Posted(), expected) << GetParam().description;
}

const SeededCase kSeededCases[] = {
    {"the same toast", [](json&) {}, false},
    {"another name, icon, club name and id",
     [](json& s) {
         s["data"]["summonerName"] = "Zeddy";
         s["data"]["clubName"] = "Old Alpha";
         s["iconUrl"] = "x";
         s["id"] = 7;
         s["created"] = "yesterday";
     },
     false},
    {"another role", [](json& s) { s["data"]["roleName"] = "OFFICER"; }, true},
    {"another source", [](json& s) { s["source"] = "chat"; }, true},
    {"another type", [](json& s) { s["type"] = "club_member"; }, true},
    {"another title", [](json& s) { s["titleKey"] = "other_toast"; }, true},
    {"another detail", [](json& s) { s["detailKey"] = "clubs_player_left"; }, true},
    {"another club", [](json& s) { s["data"]["clubKey"] = "club-9"; }, true},
    {"another summoner", [](json& s) { s["data"]["summonerId"] = "3005"; }, true},
    {"no role in the data", [](json& s) { s["data"].erase("roleName"); }, true},
    {"no data at all", [](json& s) { s.erase("data"); }, true},
};

INSTANTIATE_TEST_SUITE_P(SeededLists, DuplicateToastTest, ::testing::ValuesIn(kSeededCases));

using RepeatedToastTest = ClubsScenario;

TEST_F(RepeatedToastTest, AToastPostedBeforeIsNotPostedAgain) {
    // The club vanishes twice; the second "removed" toast finds the first one listed.
    const std::string beta = CreateClub(kBobAccount, "Beta");
    host.EnableClubs();
    for (int round = 0; round < 2; ++round) {
        Join(kBobAccount, beta, kAccountId, kSummonerId);
        host.SendMembershipMessage();
        Act(kBobAccount, "POST", "/v1/clubs/" + beta + "/remove/" + std::to_string(kAccountId));
        host.SendMembershipMessage();
    }
    EXPECT_EQ(Posted(), std::vector<json>{ClubToast("clubs_removed", beta, "Beta", kMemberIcon)});
    EXPECT_EQ(host.notifications->Notifications().size(), 1u);
}

// --- Icons ---

class ToastIconTest : public ClubsScenario {
  protected:
    void SetUp() override {
        ClubsScenario::SetUp();
        primary = CreateClub(kBobAccount, "Primary");
        other = CreateClub(kBobAccount, "Other");
        Join(kBobAccount, primary, kAccountId, kSummonerId);
        Join(kBobAccount, other, kAccountId, kSummonerId);
        Act(kAccountId, "PUT", std::string("/v1/membership/EUW1/") + std::to_string(kAccountId),
            json{{"primaryActiveClubKey", primary}, {"shareClubAffiliation", false}}.dump());
        host.EnableClubs();
    }

    void LeaveBoth() {
        ASSERT_FALSE(Delete(kClubs + "/" + other).hasError);
        ASSERT_FALSE(Delete(kClubs + "/" + primary).hasError);
    }

    std::string primary;
    std::string other;
};

TEST_F(ToastIconTest, ThePrimaryClubsToastCarriesTheActiveIcon) {
    LeaveBoth();
    EXPECT_EQ(Posted(),
              (std::vector<json>{ClubToast("clubs_leave", other, "Other", kMemberIcon),
                                 ClubToast("clubs_leave", primary, "Primary", kActiveIcon)}));
    // Read afresh for every toast.
    EXPECT_EQ(host.platformConfig->NamespaceReads(), 2u);
}

TEST_F(ToastIconTest, WithoutAnActiveIconThePrimaryClubsToastHasNone) {
    host.platformConfig->SetNamespaceValue("Clubs", "ClubsActiveIcon", Host::OwnedHostValue::Null(),
                                           Host::ResourceEventType::Delete);
    LeaveBoth();
    EXPECT_EQ(Posted(), (std::vector<json>{ClubToast("clubs_leave", other, "Other", kMemberIcon),
                                           ClubToast("clubs_leave", primary, "Primary", "")}));
}

TEST_F(ToastIconTest, AnUnreadableConfigurationIsLoggedAndTheToastGoesOutWithoutIcon) {
    host.platformConfig->FailNamespaceReads(503, "config down");
    LeaveBoth();
    EXPECT_EQ(Posted(), (std::vector<json>{ClubToast("clubs_leave", other, "Other", ""),
                                           ClubToast("clubs_leave", primary, "Primary", "")}));
    EXPECT_EQ(CountLines(kLogError,
                         "zun-clubs: Failed to get Clubs data: Error response for GET "
                         "/zun-platform-config/v1/namespaces/Clubs: config down"),
              2);
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs).value, json::array());
}

TEST_F(ToastIconTest, ARefusedPostIsIgnoredSilently) {
    host.notifications->FailPosts(500, "full");
    host.ClearRecords();
    const RestReply reply = Delete(kClubs + "/" + other);
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(host.notifications->RequestCount(HOST_METHOD_POST, kNotificationsPath), 1u);
    EXPECT_TRUE(host.LogLines().empty());
    EXPECT_EQ(reply.value["activeClubs"].size(), 1u);
}

// --- Failing notification and summoner calls during a refresh ---

TEST_F(JoinedToastTest, UnreadableNotificationsAreLoggedPerMemberAndTheClubIsStillRefreshed) {
    Join(kAccountId, alpha, kBobAccount, kBob);
    host.notifications->FailReads(500, "down");
    const RestReply reply = SetMotd();
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(reply.value["motd"], "Hi");
    EXPECT_EQ(reply.value["members"]["activeMembers"].size(), 3u);
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(CountLines(kLogError,
                         "zun-clubs: Failed to look up player notifications: Error response for "
                         "GET /player-notifications/v1/notifications: down"),
              2);
}

TEST_F(JoinedToastTest, AJoinedMemberWithoutSummonerDataIsLoggedAndNotToasted) {
    Join(kAccountId, alpha, kBobAccount, kBob);
    host.summoner->FailSummoner(kZed);
    const RestReply reply = SetMotd();
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_EQ(Posted(), std::vector<json>{MemberToast("club", "clubs_player_joined", kBob, "Bob",
                                                      "MEMBER", alpha, "Alpha", kMemberIcon)});
    EXPECT_EQ(CountLines(kLogError,
                         "zun-clubs: Failed to get summoner data: Error response for GET "
                         "/zun-summoner/v1/summoners/3004: Summoner 3004 not found"),
              1);
}

TEST_F(JoinedToastTest, FailingSummonerCallsLeaveNamesAndIconsAsMappedAndLogNothing) {
    host.summoner->FailCalls(Host::SimulatedSummoner::kSummonerPath, 503, "summoners down");
    host.summoner->FailCalls(Host::SimulatedSummoner::kNamesPath, 503, "names down");
    host.summoner->FailCalls(Host::SimulatedSummoner::kIconsPath, 503, "icons down");
    host.ClearRecords();

    const RestReply reply = SetMotd();
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    EXPECT_TRUE(Posted().empty());
    const json& members = reply.value["members"]["activeMembers"];
    ASSERT_EQ(members.size(), 2u);
    for (const json& member : members) {
        EXPECT_EQ(member["summonerName"], "");
        EXPECT_EQ(member["summonerIconId"], -1);
    }
    // Only the joined member's own read is worth a line; the list look-ups stay silent.
    const LogLine expected{kLogError,
                           "zun-clubs: Failed to get summoner data: Error response for GET "
                           "/zun-summoner/v1/summoners/3004: summoners down"};
    EXPECT_EQ(host.LogLines(), std::vector<LogLine>{expected});
    EXPECT_EQ(host.Call(HOST_METHOD_GET, kClubs + "/" + alpha).value, reply.value);
}

// --- Names and icons of member lists ---

TEST_F(JoinedToastTest, AShortNamesAnswerFillsTheFirstMembersAndLeavesTheRest) {
    Join(kAccountId, alpha, kXavierAccount, kXavier);
    host.summoner->FailSummoner(kXavier);  // the last one in service order
    ASSERT_FALSE(SetMotd().hasError);

    const json members = host.Call(HOST_METHOD_GET, kClubs + "/" + alpha + "/members").value;
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0]["summonerName"], "carl");
    EXPECT_EQ(members[0]["summonerIconId"], 11);
    EXPECT_EQ(members[1]["summonerName"], "");
    EXPECT_EQ(members[1]["summonerId"], kXavier);
    EXPECT_EQ(members[1]["summonerIconId"], -1);
    EXPECT_EQ(members[2]["summonerName"], "Zed");
    EXPECT_EQ(members[2]["summonerIconId"], 14);
}

TEST_F(JoinedToastTest, EachListCostsOneNamesAndOneIconsCall) {
    Join(kAccountId, alpha, kBobAccount, kBob);
    Join(kAccountId, alpha, kAliceAccount, kAlice);
    const std::size_t names = host.summoner->ListCalls(Host::SimulatedSummoner::kNamesPath);
    const std::size_t icons = host.summoner->ListCalls(Host::SimulatedSummoner::kIconsPath);
    ASSERT_FALSE(SetMotd().hasError);
    // Four active members in one list; invited and nominated lists are empty and cost nothing.
    EXPECT_EQ(host.summoner->ListCalls(Host::SimulatedSummoner::kNamesPath), names + 1);
    EXPECT_EQ(host.summoner->ListCalls(Host::SimulatedSummoner::kIconsPath), icons + 1);
    const std::vector<Host::SimulatedRequest> requests = host.summoner->ReceivedRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().path, Host::SimulatedSummoner::kIconsPath);
    EXPECT_EQ(requests.back().FirstArgumentJson(), "[3001,3004,3002,3003]");
}

}  // namespace
}  // namespace Kolm::ClubsTest
