// RecordBytes: about how many bytes of memory a kept record holds, its own size and what it
// owns, for the byte bound of RecentRecords. Each record type has an overload beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {

inline std::size_t RecordBytes(uint64_t) {
    return sizeof(uint64_t);
}
inline std::size_t RecordBytes(const std::string& text) {
    return sizeof(std::string) + text.size();
}
// The value's texts, blobs, items and entries, nested ones included.
std::size_t HostValueBytes(const HostValue& value);
inline std::size_t RecordBytes(const OwnedHostValue& value) {
    return HostValueBytes(value.Get());
}

}  // namespace Kolm::Host
