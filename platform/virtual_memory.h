// Reserving, committing and releasing address space, for page sources that grow in place.
#pragma once

#include <cstddef>

namespace Kolm::Platform {

// The system page size: the granularity of CommitMemory. Reservations are rounded up by the
// system (to 64 KiB address alignment on Windows).
std::size_t MemoryPageSize();

// Reserves `bytes` of address space without backing it; nothing in it may be touched until
// committed. Returns null when the system refuses.
void* ReserveMemory(std::size_t bytes);

// Makes `bytes` starting at `address` (inside a reservation) readable and writable, filled with
// zeros the first time. Returns false when the system refuses.
bool CommitMemory(void* address, std::size_t bytes);

// Gives a whole reservation back; `address` and `bytes` are those of ReserveMemory. Null does
// nothing.
void ReleaseMemory(void* address, std::size_t bytes);

}  // namespace Kolm::Platform
