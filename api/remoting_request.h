// Kolm::RemotingRequest, the request context an endpoint handler may take as a parameter.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace Kolm {

struct RemotingRequest {
    uint32_t callToken = 0;    // from the host request, unchanged
    uint64_t receiveTime = 0;  // 100-nanosecond ticks since 1970
    uintptr_t owner = 0;       // owner word of the called function, passed on unread
    std::string uri;
    uint32_t methodCode = 0;
    std::string methodName;  // only with method code 8
    std::map<std::string, std::string> headers;
};

}  // namespace Kolm
