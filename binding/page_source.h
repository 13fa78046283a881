// The process-wide source of 4096-byte pages for the block pools of every BindingArena. It
// reserves address space through the platform layer, commits it 64 KiB (16 pages) at a time and
// keeps the pages given back on a free list for reuse. Every call takes the source's lock, so
// trees on different threads may allocate at the same time.
#pragma once

#include <cstddef>

namespace Kolm::BindingPageSource {

inline constexpr std::size_t kPageSize = 4096;
inline constexpr std::size_t kCommitPages = 16;

// A page aligned to kPageSize, or null when the system refuses memory.
void* AllocatePage();
// Gives a page of AllocatePage back; null does nothing.
void FreePage(void* page);

struct Stats {
    std::size_t pagesInUse;      // handed out and not given back
    std::size_t pagesCommitted;  // in use plus on the free list
    std::size_t bytesReserved;   // address space held
};
Stats CurrentStats();

}  // namespace Kolm::BindingPageSource
