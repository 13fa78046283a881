// The framework's process-wide heap: every allocation of the framework's own containers goes
// through these functions, so that the plugin's memory counters see it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

namespace Kolm {

// Six counters over the framework heap, each read and updated atomically. The peak is raised
// after an allocation is counted, so a reader sees peakBytes >= allocated - freed as long as no
// allocation is in flight on another thread.
struct PluginMemoryStats {
    std::atomic<std::uint64_t> peakBytes{0};       // largest bytes-in-use ever seen
    std::atomic<std::uint64_t> peakBlocks{0};      // blocks in use when the peak was raised
    std::atomic<std::uint64_t> bytesAllocated{0};  // total usable bytes handed out
    std::atomic<std::uint64_t> allocations{0};
    std::atomic<std::uint64_t> bytesFreed{0};
    std::atomic<std::uint64_t> frees{0};
};

// The counters of the process; zero until the first heap request installs the counting hooks.
const PluginMemoryStats& MemoryStats();

// malloc-like entry points. Null is returned when the system is out of memory; FrameworkFree and
// FrameworkBlockSize accept null. Blocks from these functions must be freed with FrameworkFree.
void* FrameworkAlloc(std::size_t bytes);
void FrameworkFree(void* block);
void* FrameworkRealloc(void* block, std::size_t bytes);
char* FrameworkStrdup(const char* text);
// The usable size of a block from FrameworkAlloc (at least what was asked for); 0 for null.
std::size_t FrameworkBlockSize(void* block);

// A standard allocator over the framework heap, for std containers of the framework.
template <class T>
struct FrameworkAllocator {
    using value_type = T;

    FrameworkAllocator() noexcept = default;
    template <class U>
    FrameworkAllocator(const FrameworkAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        void* block = FrameworkAlloc(count * sizeof(T));
        if (block == nullptr) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t) noexcept { FrameworkFree(block); }

    template <class U>
    bool operator==(const FrameworkAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace Kolm
