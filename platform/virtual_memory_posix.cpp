#include "platform/virtual_memory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace Kolm::Platform {

std::size_t MemoryPageSize() {
    static const std::size_t pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return pageSize;
}

void* ReserveMemory(std::size_t bytes) {
    if (bytes == 0) {
        return nullptr;
    }
    void* address =
        mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}

bool CommitMemory(void* address, std::size_t bytes) {
    if (address == nullptr) {
        return false;
    }
    return mprotect(address, bytes, PROT_READ | PROT_WRITE) == 0;
}

void ReleaseMemory(void* address, std::size_t bytes) {
    if (address != nullptr) {
        munmap(address, bytes);
    }
}

}  // namespace Kolm::Platform
