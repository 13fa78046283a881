// The player flags applied to a world: the logged-in player's ids, name and token replaced
// everywhere the world names them, and refused when they clash with another player.
#include <gtest/gtest.h>

#include "host/serving/host_world.h"
#include "host/worlds/default_world.h"
#include "host/worlds/world_document.h"

namespace Kolm::Host {
namespace {

World DefaultWorld() {
    WorldParse parsed = ParseWorld(DefaultWorldJson());
    EXPECT_TRUE(parsed.world.has_value()) << parsed.error;
    return parsed.world.value_or(World{});
}

TEST(HostWorldPlayerFlags, ANewAccountIdRenamesThePlayerInEveryClubList) {
    World world = DefaultWorld();
    PlayerFlags flags;
    flags.accountId = 5000;
    flags.summonerName = "Wren";
    ASSERT_EQ(HostWorld::OverridePlayer(world, flags), "");
    EXPECT_EQ(world.loggedInAccountId, std::optional<uint64_t>(5000));
    EXPECT_EQ(world.service.FindPlayer(1001), nullptr);
    EXPECT_EQ(world.profiles.at(5000).name, "Wren");
    EXPECT_EQ(RoleIn(world.service.clubs.at("club-1"), 5000), "OWNER");
    EXPECT_EQ(RoleIn(world.service.clubs.at("club-2"), 5000), "INVITEE");
    EXPECT_EQ(world.service.clubs.at("club-1").invited[0].byAccountId, 5000u);
    const std::optional<SimulatedPlayer> player = HostWorld::LoggedInPlayer(world);
    ASSERT_TRUE(player.has_value());
    EXPECT_EQ(player->summonerName, "Wren");
    EXPECT_EQ(player->idToken, "local-token-1001");
}

TEST(HostWorldPlayerFlags, IdsOrTokensOfAnotherPlayerAreRefused) {
    World world = DefaultWorld();
    PlayerFlags account;
    account.accountId = 1002;
    EXPECT_EQ(HostWorld::OverridePlayer(world, account),
              "account id 1002 belongs to another player of the world");
    PlayerFlags token;
    token.idToken = "local-token-1003";
    EXPECT_EQ(HostWorld::OverridePlayer(world, token),
              "the player flags clash with the world (players 1001 and 1003 share a token)");
}

TEST(HostWorldPlayerFlags, NoFlagsLeaveEvenAWorldWithNobodyLoggedIn) {
    World world = DefaultWorld();
    world.loggedInAccountId.reset();
    EXPECT_EQ(HostWorld::OverridePlayer(world, PlayerFlags{}), "");
    PlayerFlags flags;
    flags.summonerName = "Wren";
    EXPECT_EQ(HostWorld::OverridePlayer(world, flags),
              "the player flags name the logged-in player, and this world logs nobody in");
}

}  // namespace
}  // namespace Kolm::Host
