#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "binding/binding_property.h"
#include "binding/page_source.h"
#include "platform/framework_allocator.h"

namespace Kolm {
namespace {

std::uint64_t HeapInUse() {
    const PluginMemoryStats& stats = MemoryStats();
    return stats.bytesAllocated.load() - stats.bytesFreed.load();
}

BindingProperty BuildTree(int elements, int salt) {
    BindingProperty root;
    BindingProperty& list = root["items"];
    for (int i = 0; i < elements; ++i) {
        BindingProperty& item = list.Append();
        item["id"] = i;
        item["name"] = "item-" + std::to_string(i * salt);
        item["score"] = i * 0.25;
        item["tags"][3] = "t";
        item["blob"] = BindingBlob(static_cast<std::size_t>(i % 40), 7);
    }
    return root;
}

TEST(BindingMemoryTest, BuildingAndDroppingTreesReturnsEveryByteAndPage) {
    { BindingProperty warmUp = BuildTree(10, 1); }
    const std::uint64_t heapBefore = HeapInUse();
    const std::size_t pagesBefore = BindingPageSource::CurrentStats().pagesInUse;
    std::size_t committedAfterFirstRound = 0;
    for (int round = 0; round < 20; ++round) {
        BindingProperty tree = BuildTree(2000, round + 1);
        BindingProperty copy = tree;
        copy["items"][5]["name"] = "changed";
        tree.Clear();
        if (round == 0) {
            committedAfterFirstRound = BindingPageSource::CurrentStats().pagesCommitted;
        }
    }
    EXPECT_EQ(heapBefore, HeapInUse());
    EXPECT_EQ(pagesBefore, BindingPageSource::CurrentStats().pagesInUse);
    // Pages given back are reused, so repeating the work does not grow the committed memory.
    EXPECT_EQ(committedAfterFirstRound, BindingPageSource::CurrentStats().pagesCommitted);
}

TEST(BindingMemoryTest, EmptiedPagesGoBackWhileTheTreeLives) {
    BindingProperty tree = BuildTree(3000, 1);
    const std::size_t full = BindingPageSource::CurrentStats().pagesInUse;
    tree["items"].Clear();
    const std::size_t cleared = BindingPageSource::CurrentStats().pagesInUse;
    // At most one spare page per block size stays with the arena.
    EXPECT_LT(cleared + 12, full);
}

TEST(BindingMemoryTest, HeapAllocationsDoNotGrowWithScalarValues) {
    BindingProperty tree;
    BindingProperty& list = tree["items"];
    list.Append()["id"] = 0;  // arena and first pages
    const std::uint64_t allocationsBefore = MemoryStats().allocations.load();
    for (int i = 0; i < 200; ++i) {
        BindingProperty& item = list.Append();
        item["id"] = i;
        item["flag"] = true;
        item["ratio"] = 1.5;
    }
    // The growing list array (beyond the pooled sizes) is the only heap user.
    EXPECT_LT(MemoryStats().allocations.load() - allocationsBefore, 12u);
}

TEST(BindingMemoryTest, GrowingByKeyOrByIndexIsNotACopyPerItem) {
    const std::uint64_t before = MemoryStats().bytesAllocated.load();
    BindingProperty byKey;
    BindingProperty byIndex;
    for (int i = 0; i < 20000; ++i) {
        byKey[std::to_string(i)] = i;  // most keys sort inside, not at the end
        byIndex[i] = i;
    }
    EXPECT_EQ(byKey.Size(), 20000u);
    EXPECT_EQ(byIndex.At(19999).GetSigned(), 19999);
    // 640 KB of entries and 480 KB of elements; a copy per item would be about 11 GB in all.
    EXPECT_LT(MemoryStats().bytesAllocated.load() - before, std::uint64_t{16} << 20);
}

TEST(BindingMemoryTest, TreesOnSeveralThreadsShareThePageSource) {
    const std::uint64_t heapBefore = HeapInUse();
    const std::size_t pagesBefore = BindingPageSource::CurrentStats().pagesInUse;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int round = 0; round < 5; ++round) {
                BindingProperty tree = BuildTree(500, t + round);
                BindingProperty copy = tree;
                EXPECT_EQ(tree, copy);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(heapBefore, HeapInUse());
    EXPECT_EQ(pagesBefore, BindingPageSource::CurrentStats().pagesInUse);
}

}  // namespace
}  // namespace Kolm
