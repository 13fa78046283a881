// Member actions and push messages on several threads at once: club messages delivered from
// other threads while the player's REST actions run (each action's own push messages arriving on
// its thread, inside the action). Every handler takes the one clubs lock, so the held club ends
// as the service last described it and every action answers as if it had run alone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/clubs/clubs_members_fixture.h"

namespace Kolm::ClubsTest {
namespace {

using ClubsMembersThreadsTest = ClubsMembersTest;

TEST_F(ClubsMembersThreadsTest, ClubMessagesFromOtherThreadsInterleaveSafelyWithActions) {
    const std::string alpha = CreateClub(kAccountId, "Alpha");
    InviteAs(kAccountId, alpha, kAlice);
    AnswerAs(kAliceAccount, alpha, 1);
    ConnectPushMessages();
    host.EnableClubs();

    std::atomic<bool> done{false};
    std::vector<std::thread> senders;
    for (int i = 0; i < 2; ++i) {
        senders.emplace_back([&] {
            while (!done.load()) {
                host.messaging->Deliver("clubs/v1/clubs/" + alpha, "");
                host.SendMembershipMessage();
            }
        });
    }
    constexpr int kRounds = 20;
    int failures = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string path = kClubsApi + "/" + alpha + "/promotions/3003";
        const RestReply promoted = host.Call(HOST_METHOD_POST, path);
        const RestReply demoted = host.Call(HOST_METHOD_DELETE, path);
        failures += promoted.hasError + demoted.hasError;
    }
    done = true;
    for (std::thread& sender : senders) {
        sender.join();
    }

    EXPECT_EQ(failures, 0);
    const json members = Read(kClubsApi + "/" + alpha + "/members");
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[1]["summonerId"], kAlice);
    EXPECT_EQ(members[1]["role"], "MEMBER");
    EXPECT_EQ(LatestPublications().at(kClubsApi + "/" + alpha + "/members"), members);
}

}  // namespace
}  // namespace Kolm::ClubsTest
