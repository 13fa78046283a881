#include "platform/virtual_memory.h"

#include <windows.h>

namespace Kolm::Platform {

std::size_t MemoryPageSize() {
    static const std::size_t pageSize = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return pageSize;
}

void* ReserveMemory(std::size_t bytes) {
    if (bytes == 0) {
        return nullptr;
    }
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
}

bool CommitMemory(void* address, std::size_t bytes) {
    if (address == nullptr) {
        return false;
    }
    return VirtualAlloc(address, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void ReleaseMemory(void* address, std::size_t /*bytes*/) {
    if (address != nullptr) {
        VirtualFree(address, 0, MEM_RELEASE);
    }
}

}  // namespace Kolm::Platform
