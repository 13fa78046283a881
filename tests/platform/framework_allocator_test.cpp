#include "platform/framework_allocator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace Kolm {
namespace {

struct Snapshot {
    std::uint64_t peakBytes, peakBlocks, bytesAllocated, allocations, bytesFreed, frees;
};

Snapshot Take() {
    const PluginMemoryStats& stats = MemoryStats();
    return {stats.peakBytes.load(),   stats.peakBlocks.load(), stats.bytesAllocated.load(),
            stats.allocations.load(), stats.bytesFreed.load(), stats.frees.load()};
}

TEST(FrameworkAllocatorTest, CountsUsableSizesOfAllocationsAndFrees) {
    const Snapshot before = Take();
    void* block = FrameworkAlloc(100);
    ASSERT_NE(block, nullptr);
    const std::size_t usable = FrameworkBlockSize(block);
    EXPECT_GE(usable, 100u);
    const Snapshot during = Take();
    EXPECT_EQ(during.bytesAllocated - before.bytesAllocated, usable);
    EXPECT_EQ(during.allocations - before.allocations, 1u);
    EXPECT_GE(during.peakBytes, during.bytesAllocated - during.bytesFreed);

    FrameworkFree(block);
    const Snapshot after = Take();
    EXPECT_EQ(after.bytesFreed - during.bytesFreed, usable);
    EXPECT_EQ(after.frees - during.frees, 1u);
    EXPECT_EQ(after.bytesAllocated, during.bytesAllocated);
}

TEST(FrameworkAllocatorTest, ReallocationIsAFreeAndAnAllocation) {
    char* block = static_cast<char*>(FrameworkAlloc(16));
    std::memcpy(block, "keep", 5);
    const std::size_t oldSize = FrameworkBlockSize(block);
    const Snapshot before = Take();
    block = static_cast<char*>(FrameworkRealloc(block, 4000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "keep");
    const Snapshot after = Take();
    EXPECT_EQ(after.frees - before.frees, 1u);
    EXPECT_EQ(after.bytesFreed - before.bytesFreed, oldSize);
    EXPECT_EQ(after.allocations - before.allocations, 1u);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, FrameworkBlockSize(block));
    FrameworkFree(block);
}

TEST(FrameworkAllocatorTest, DuplicatesTextsAndAcceptsNull) {
    char* copy = FrameworkStrdup("clubs");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "clubs");
    FrameworkFree(copy);
    EXPECT_EQ(FrameworkStrdup(nullptr), nullptr);
    const Snapshot before = Take();
    FrameworkFree(nullptr);
    EXPECT_EQ(FrameworkBlockSize(nullptr), 0u);
    EXPECT_EQ(Take().frees, before.frees);
}

TEST(FrameworkAllocatorTest, PeakRecordsTheBlocksInUseWhenRaised) {
    const Snapshot before = Take();
    const std::uint64_t inUse = before.bytesAllocated - before.bytesFreed;
    // Far above anything in use so far, so this allocation raises the peak.
    const std::size_t size = static_cast<std::size_t>(before.peakBytes - inUse) + (1u << 20);
    void* block = FrameworkAlloc(size);
    const Snapshot after = Take();
    EXPECT_GE(after.peakBytes, inUse + size);
    EXPECT_EQ(after.peakBlocks, after.allocations - after.frees);
    FrameworkFree(block);
}

TEST(FrameworkAllocatorTest, StandardContainersGoThroughTheCountingHeap) {
    const Snapshot before = Take();
    {
        std::vector<int, FrameworkAllocator<int>> numbers(1000, 7);
        EXPECT_EQ(numbers[999], 7);
    }
    const Snapshot after = Take();
    EXPECT_GE(after.bytesAllocated - before.bytesAllocated, 4000u);
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
}

TEST(FrameworkAllocatorThreadsTest, CountersStayBalancedUnderConcurrentUse) {
    const Snapshot before = Take();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                void* block = FrameworkAlloc(static_cast<std::size_t>(16 + i % 64));
                block = FrameworkRealloc(block, 128);
                FrameworkFree(block);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const Snapshot after = Take();
    EXPECT_EQ(after.allocations - before.allocations, 4u * 2000u * 2u);
    EXPECT_EQ(after.frees - before.frees, 4u * 2000u * 2u);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

}  // namespace
}  // namespace Kolm
