// The kept worlds' bounds: their bytes together, a replaced world's bytes given back, a removed
// world's freed. (Names, counts and the HTTP answers are pinned by the process tests.)
#include "host/serving/world_snapshots.h"

#include <gtest/gtest.h>

#include <string>

namespace Kolm::Host {
namespace {

World WorldWithClock(int64_t clock) {
    World world;
    world.clock = clock;
    return world;
}

TEST(WorldSnapshots, TheBytesOfTheKeptWorldsTogetherAreBounded) {
    WorldSnapshots snapshots(World{});
    constexpr std::size_t kThird = WorldSnapshots::kMaxBytes / 3;
    EXPECT_EQ(snapshots.Keep("a", WorldWithClock(1), kThird), "");
    EXPECT_EQ(snapshots.Keep("b", WorldWithClock(2), kThird), "");
    EXPECT_EQ(snapshots.Keep("c", WorldWithClock(3), kThird + 3),
              "the snapshots may hold at most 134217728 bytes of worlds together; this world "
              "of 44739245 bytes would bring them to 134217729; delete some before keeping more");
    EXPECT_FALSE(snapshots.Find("c").has_value());
    // Replacing "b" gives its bytes back first.
    EXPECT_EQ(snapshots.Keep("b", WorldWithClock(4), 2 * kThird), "");
    EXPECT_EQ(snapshots.Find("b")->clock, 4);
    EXPECT_EQ(snapshots.Keep("c", WorldWithClock(5), 3),
              "the snapshots may hold at most 134217728 "
              "bytes of worlds together; this world of "
              "3 bytes would bring them to 134217729; "
              "delete some before keeping more");
    EXPECT_TRUE(snapshots.Remove("a"));
    EXPECT_FALSE(snapshots.Remove("a"));
    EXPECT_EQ(snapshots.Keep("c", WorldWithClock(5), kThird), "");
    ASSERT_EQ(snapshots.List().size(), 2u);
    EXPECT_EQ(snapshots.List()[0].name, "b");
    EXPECT_EQ(snapshots.List()[1].bytes, kThird);
}

TEST(WorldSnapshots, TheStartingWorldIsKeptApartFromTheNamedOnes) {
    WorldSnapshots snapshots(WorldWithClock(7));
    EXPECT_EQ(snapshots.Keep("start", WorldWithClock(8), 1), "");
    EXPECT_TRUE(snapshots.Remove("start"));
    EXPECT_EQ(snapshots.Starting().clock, 7);
}

}  // namespace
}  // namespace Kolm::Host
