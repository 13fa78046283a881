// Calls endpoints the way a host does: finds the function entry in an ApiDescription, fills a
// HostRequest and calls the entry's handler; keeps the answer readable until released.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/boundary/owned_host_value.h"
#include "plugin/host_boundary.h"

namespace Kolm::ApiTest {

struct Call {
    uint32_t method = HOST_METHOD_GET;
    std::string uri;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string contentType;
    std::string body;
    bool hasBody = false;
    bool nullBodyWithLength = false;
    std::vector<std::pair<const char*, HostValue>> arguments;  // borrowed values
    uint32_t callToken = 0;
    std::string methodName;
};

// What the handler wrote, copied out before the record is released.
struct Answer {
    bool hasError = false;
    std::string errorText;
    uint32_t status = 0;
    std::string valueJson;  // the HostValue as JSON
    std::string statusText;
    bool statusTextShared = false;  // the record held the shared empty text
    std::vector<std::pair<std::string, std::string>> headers;
    bool headerArrayNull = false;
    uint8_t formatFlag = 0;
    uint32_t formatCode = 0;
    uint64_t streamSize = 0;
    std::string streamText;  // read whole when there was a stream
    bool zeroedAfterRelease = false;
};

class EndpointCaller {
  public:
    explicit EndpointCaller(const HostApiDescription* description) : description_(description) {}

    const HostFunctionEntry* Find(const std::string& functionName) const;

    // Calls `functionName`'s handler (a null dispatch record when there is no such function),
    // reads the answer and releases it twice.
    Answer Invoke(const std::string& functionName, const Call& call) const;

    // The same with the raw records, for callers that build their own request.
    static Answer InvokeRaw(const HostFunctionEntry* entry, const HostRequest& request);

  private:
    const HostApiDescription* description_;
};

}  // namespace Kolm::ApiTest
