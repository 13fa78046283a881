// Kolm::HttpBaseTransport::Request, an HTTP request to an outside web service, its host form for
// SendHttpRequest and the reading of the host's answer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/host_boundary.h"

namespace Kolm::HttpBaseTransport {

struct Request {
    uint32_t method = 0;  // Kolm::HttpMethod code
    std::string url;
    std::map<std::string, std::string> headers;
    std::string note;  // carried with the request, never sent
    std::string body;
    uint32_t setting = 0;  // handed to the host unchanged
    uint8_t flag = 0;      // handed to the host unchanged
};

struct Response {
    int32_t transportCode = 0;  // 0 success; -1, 1, 2 failures
    uint32_t status = 0;
    std::map<std::string, std::string> headers;
    std::string body;  // with a failed transport: the transport's error text
};

// The host form of a request. Borrows the request's texts, so the request must outlive it. When
// the request has no header with the exact key "user-agent", one with `userAgent` goes first.
class HostRequestForm {
  public:
    HostRequestForm(const Request& request, std::string_view userAgent);
    HostRequestForm(const HostRequestForm&) = delete;
    HostRequestForm& operator=(const HostRequestForm&) = delete;

    const HostHttpRequest* Record() const { return &record_; }

  private:
    std::string userAgent_;
    std::vector<HostHeader> headers_;
    HostHttpRequest record_{};
};

// -1, 0 and 2 stay as they are; every other code becomes 1.
int32_t MapTransportCode(int32_t code);

// Copies the host's answer: status, headers and body on success; otherwise the mapped transport
// code and the body as error text.
Response ReadHostAnswer(const HostHttpResponse& answer);

}  // namespace Kolm::HttpBaseTransport
