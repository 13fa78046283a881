#include "platform/framework_allocator.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <malloc.h>
#define ZC_USABLE_SIZE(block) _msize(block)
#else
#include <malloc.h>
#define ZC_USABLE_SIZE(block) malloc_usable_size(block)
#endif

namespace Kolm {
namespace {

// The active set of heap functions. It starts as the bootstrap set, whose every entry first
// switches the process to the counting set; from then on every request is counted.
struct HeapHooks {
    void* (*allocate)(std::size_t);
    void (*free)(void*);
    void* (*reallocate)(void*, std::size_t);
    char* (*duplicateText)(const char*);
    std::size_t (*blockSize)(void*);
};

// Constant-initialised and trivially destructible, so that blocks freed by static destructors
// of any translation unit are still counted.
constinit PluginMemoryStats gStats;

PluginMemoryStats& Stats() {
    return gStats;
}

void RaisePeak(PluginMemoryStats& stats) {
    const std::uint64_t inUse = stats.bytesAllocated.load() - stats.bytesFreed.load();
    std::uint64_t peak = stats.peakBytes.load();
    while (inUse > peak) {
        if (stats.peakBytes.compare_exchange_weak(peak, inUse)) {
            stats.peakBlocks.store(stats.allocations.load() - stats.frees.load());
            return;
        }
    }
}

void CountAllocation(void* block) {
    if (block == nullptr) {
        return;
    }
    PluginMemoryStats& stats = Stats();
    stats.bytesAllocated.fetch_add(ZC_USABLE_SIZE(block));
    stats.allocations.fetch_add(1);
    RaisePeak(stats);
}

void CountFree(void* block) {
    PluginMemoryStats& stats = Stats();
    stats.bytesFreed.fetch_add(ZC_USABLE_SIZE(block));
    stats.frees.fetch_add(1);
}

void* CountingAllocate(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    CountAllocation(block);
    return block;
}

void CountingFree(void* block) {
    if (block != nullptr) {
        CountFree(block);
        std::free(block);
    }
}

void* CountingReallocate(void* block, std::size_t bytes) {
    if (block == nullptr) {
        return CountingAllocate(bytes);
    }
    const std::size_t oldSize = ZC_USABLE_SIZE(block);
    void* moved = std::realloc(block, bytes == 0 ? 1 : bytes);
    if (moved == nullptr) {
        return nullptr;  // the old block is still there and still counted
    }
    PluginMemoryStats& stats = Stats();
    stats.bytesFreed.fetch_add(oldSize);
    stats.frees.fetch_add(1);
    CountAllocation(moved);
    return moved;
}

char* CountingDuplicateText(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const std::size_t bytes = std::strlen(text) + 1;
    char* copy = static_cast<char*>(CountingAllocate(bytes));
    if (copy != nullptr) {
        std::memcpy(copy, text, bytes);
    }
    return copy;
}

std::size_t CountingBlockSize(void* block) {
    return block == nullptr ? 0 : ZC_USABLE_SIZE(block);
}

constexpr HeapHooks countingHooks{CountingAllocate, CountingFree, CountingReallocate,
                                  CountingDuplicateText, CountingBlockSize};

std::atomic<const HeapHooks*>& ActiveHooks();

const HeapHooks& InstallCountingHooks() {
    ActiveHooks().store(&countingHooks);
    return countingHooks;
}

void* BootstrapAllocate(std::size_t bytes) {
    return InstallCountingHooks().allocate(bytes);
}
void* BootstrapReallocate(void* block, std::size_t bytes) {
    return InstallCountingHooks().reallocate(block, bytes);
}
char* BootstrapDuplicateText(const char* text) {
    return InstallCountingHooks().duplicateText(text);
}

// Free and block size need no installation: no block can exist before the first allocation.
constexpr HeapHooks bootstrapHooks{BootstrapAllocate, CountingFree, BootstrapReallocate,
                                   BootstrapDuplicateText, CountingBlockSize};

constinit std::atomic<const HeapHooks*> gActiveHooks{&bootstrapHooks};

std::atomic<const HeapHooks*>& ActiveHooks() {
    return gActiveHooks;
}

}  // namespace

const PluginMemoryStats& MemoryStats() {
    return Stats();
}

void* FrameworkAlloc(std::size_t bytes) {
    return ActiveHooks().load()->allocate(bytes);
}

void FrameworkFree(void* block) {
    ActiveHooks().load()->free(block);
}

void* FrameworkRealloc(void* block, std::size_t bytes) {
    return ActiveHooks().load()->reallocate(block, bytes);
}

char* FrameworkStrdup(const char* text) {
    return ActiveHooks().load()->duplicateText(text);
}

std::size_t FrameworkBlockSize(void* block) {
    return ActiveHooks().load()->blockSize(block);
}

}  // namespace Kolm
