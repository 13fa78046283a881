#include "host/simulated/record_bytes.h"

#include <cstring>
#include <vector>

namespace Kolm::Host {

std::size_t HostValueBytes(const HostValue& value) {
    // With a stack of its own, so that a deeply nested value cannot exhaust the thread's.
    std::size_t bytes = 0;
    std::vector<const HostValue*> pending{&value};
    while (!pending.empty()) {
        const HostValue& next = *pending.back();
        pending.pop_back();
        bytes += sizeof(HostValue);
        switch (next.kind) {
            case HOST_VALUE_KIND_STRING:
                bytes += next.payload.string.text != nullptr ? next.payload.string.length + 1 : 0;
                break;
            case HOST_VALUE_KIND_BLOB:
                bytes += next.payload.blob.length;
                break;
            case HOST_VALUE_KIND_COLLECTION:
                if (next.payload.collection.items != nullptr) {
                    for (uint32_t i = 0; i < next.payload.collection.count; ++i) {
                        pending.push_back(&next.payload.collection.items[i]);
                    }
                }
                break;
            case HOST_VALUE_KIND_STRUCTURE:
                if (next.payload.structure.entries != nullptr) {
                    for (uint32_t i = 0; i < next.payload.structure.count; ++i) {
                        const HostValueEntry& entry = next.payload.structure.entries[i];
                        bytes += sizeof(HostValueEntry) - sizeof(HostValue) +
                                 (entry.key != nullptr ? std::strlen(entry.key) + 1 : 0);
                        pending.push_back(&entry.value);
                    }
                }
                break;
            default:
                break;  // numbers and borrowed texts own nothing more
        }
    }
    return bytes;
}

}  // namespace Kolm::Host
