// Push messages through the real entry: club messages refetch the club their resource names,
// clubs appear with their topics followed before they are published and vanish with a toast and
// their topics dropped, the club order, and the notices of the first load as toasts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/clubs/clubs_members_fixture.h"

namespace Kolm::ClubsTest {
namespace {

using PushMessagesTest = ClubsMembersTest;

std::string ClubResource(const std::string& key) {
    return "clubs/v1/clubs/" + key;
}

std::vector<std::string> Keys(const json& clubs) {
    std::vector<std::string> keys;
    for (const json& club : clubs) {
        keys.push_back(club.value("key", ""));
    }
    return keys;
}

TEST_F(PushMessagesTest, AClubMessageRefreshesTheClubNamedAfterTheLastSlash) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    host.EnableClubs();
    InviteAs(kAccountId, alpha, kAlice);
    AnswerAs(kAliceAccount, alpha, 1);
    host.ClearRecords();
    const std::size_t posted = Posted().size();

    host.messaging->Deliver(ClubResource(alpha), "");
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"GET /v1/clubs/" + alpha});
    const std::vector<json> toasts = Posted();
    ASSERT_EQ(toasts.size(), posted + 1);
    EXPECT_EQ(toasts.back(), MemberToast("club", "clubs_player_joined", kAlice, "alice", "MEMBER",
                                         alpha, "Alpha", toasts.back().value("iconUrl", "")));
    const json members = LatestPublications().at(kClubsApi + "/" + alpha + "/members");
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members, Read(kClubsApi + "/" + alpha + "/members"));

    // The message's resource is what names the club, whatever topic carried it; without a "/"
    // the whole text is the key.
    host.ClearRecords();
    host.messaging->Publish(Host::ResourceEventType::Update,
                            Host::SimulatedMessagingService::TopicOf(ClubResource(alpha)),
                            Host::OwnedHostValue::Json(json({{"resource", alpha}}).dump()));
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"GET /v1/clubs/" + alpha});
}

TEST_F(PushMessagesTest, AClubMessageWhoseReadFailsChangesNothing) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    host.EnableClubs();
    const json before = Read(kClubsApi);
    host.ClearRecords();
    host.SetServiceHook([](const Host::WebRequest&) { return Refusal(503, "UNAVAILABLE"); });
    host.messaging->Deliver(ClubResource(alpha), "");
    EXPECT_EQ(ServiceCalls().size(), 1u);
    EXPECT_TRUE(host.Published().empty());
    EXPECT_TRUE(host.LogLines().empty());
    EXPECT_EQ(Read(kClubsApi), before);
}

TEST_F(PushMessagesTest, AVanishedClubIsToastedOnceAndItsTopicIsDropped) {
    const std::string bobs = CreateClub(kBobAccount, "Bobs");
    InviteAs(kBobAccount, bobs, kSummonerId);
    AnswerAs(kAccountId, bobs, 1);
    host.EnableClubs();
    ASSERT_EQ(Keys(Read(kClubsApi)), std::vector<std::string>{bobs});

    ChangeAs(kBobAccount, bobs, "remove", kAccountId);
    host.SendMembershipMessage();
    EXPECT_EQ(Posted().back(), ClubToast("clubs_removed", bobs, "Bobs", kMemberIcon));
    EXPECT_EQ(LatestPublications().at(kClubsApi), json::array());
    const std::size_t posted = Posted().size();

    // Nothing follows the dropped topic any more, and the club is not toasted again.
    host.ClearRecords();
    host.messaging->Deliver(ClubResource(bobs), "");
    host.SendMembershipMessage();
    EXPECT_EQ(ServiceCalls(), std::vector<std::string>{"GET /v1/membership/EUW1/2001"});
    EXPECT_EQ(Posted().size(), posted);
}

TEST_F(PushMessagesTest, ANewClubsTopicIsFollowedBeforeTheClubIsFirstPublished) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    const std::string topic = Host::SimulatedMessagingService::TopicOf(ClubResource(alpha));
    std::size_t publishedAtRead = 99;
    host.messaging->On(HOST_METHOD_GET, topic, [&](const Host::SimulatedRequest&) {
        publishedAtRead = host.PublishedOn(kClubsApi + "/" + alpha).size();
        return Host::SimulatedAnswer::Error(404, "no message yet");
    });
    host.EnableClubs();
    EXPECT_EQ(publishedAtRead, 0u);
    EXPECT_FALSE(host.PublishedOn(kClubsApi + "/" + alpha).empty());
    EXPECT_EQ(host.messaging->RequestCount(HOST_METHOD_GET, topic), 1u);
}

TEST_F(PushMessagesTest, AMessageWaitingOnANewTopicIsHandledAsSoonAsItIsFollowed) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    host.messaging->Deliver(ClubResource(alpha), "");
    host.EnableClubs();
    const std::vector<std::string> calls = ServiceCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "GET /v1/clubs/" + alpha);
}

TEST_F(PushMessagesTest, ThePrimaryClubComesFirstAndTheOthersByCaseFoldedName) {
    for (const char* name : {"beta", "Alpha", "gamma"}) {
        CreateClub(kAccountId, name);
    }
    host.EnableClubs();
    const std::string alpha = host.service.FindClubKeyByName("Alpha").value();
    const std::string beta = host.service.FindClubKeyByName("beta").value();
    const std::string gamma = host.service.FindClubKeyByName("gamma").value();
    host.ClearRecords();
    const RestReply reply =
        host.Call(HOST_METHOD_PATCH, kClubsApi + "/membership/preferences",
                  json({{"primaryClubKey", gamma}, {"shareClubAffiliation", true}}).dump());
    ASSERT_FALSE(reply.hasError) << reply.errorText;
    const std::vector<std::string> order = {gamma, alpha, beta};
    EXPECT_EQ(Keys(LatestPublications().at(kClubsApi)), order);
    EXPECT_EQ(Keys(Read(kClubsApi)), order);
    EXPECT_EQ(Read(kClubsApi + "/" + gamma)["primary"], true);
    EXPECT_EQ(Read(kClubsApi + "/" + alpha)["primary"], false);
}

TEST_F(PushMessagesTest, InitNoticesAreToastedByTheirAction) {
    const std::string bobs = CreateClub(kBobAccount, "Bobs");
    const std::string zeds = CreateClub(kZedAccount, "Zeds");
    for (const auto& [owner, key] : {std::pair{kBobAccount, bobs}, {kZedAccount, zeds}}) {
        InviteAs(owner, key, kSummonerId);
        AnswerAs(kAccountId, key, 1);
    }
    ChangeAs(kZedAccount, zeds, "remove", kAccountId);
    ChangeAs(kBobAccount, bobs, "promote", kAccountId);
    // One action the plugin does not know joins the service's notices.
    host.SetServiceHook([&](const Host::WebRequest& request) -> std::optional<Host::WebResponse> {
        if (request.url.find("/init") == std::string::npos) {
            return std::nullopt;
        }
        Host::WebResponse answer = host.service.Handle(request);
        json body = json::parse(answer.body);
        body["membershipNotifications"].push_back({{"clubKey", bobs},
                                                   {"name", "Bobs"},
                                                   {"role", "OWNER"},
                                                   {"status", "UNREAD"},
                                                   {"action", "MEMBER_ROLE_WONDER"}});
        answer.body = body.dump();
        return answer;
    });
    host.EnableClubs();
    EXPECT_EQ(Posted(),
              (std::vector<json>{ClubToast("clubs_removed", zeds, "Zeds", kMemberIcon),
                                 MemberToast("club_member", "clubs_promote_you", kSummonerId, "",
                                             "OFFICER", bobs, "Bobs", kMemberIcon)}));
}

TEST_F(PushMessagesTest, InitNoticesAreNotToastedWhenTheNotificationsCannotBeRead) {
    const std::string bobs = CreateClub(kBobAccount, "Bobs");
    InviteAs(kBobAccount, bobs, kSummonerId);
    AnswerAs(kAccountId, bobs, 1);
    ChangeAs(kBobAccount, bobs, "ownership", kAccountId);
    host.notifications->FailReads(500, "notifications down");
    host.EnableClubs();
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(
        CountLines(kLogError,
                   "zun-clubs: Failed to look up player notifications: Error response for GET "
                   "/player-notifications/v1/notifications: notifications down"),
        1);
    EXPECT_EQ(Read(kClubsApi + "/" + bobs)["role"], "OWNER");
}

}  // namespace
}  // namespace Kolm::ClubsTest
