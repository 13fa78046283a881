// The storage behind the answers of the host's SendHttpRequest, shared by the HTTP transports
// and the fault rules that answer in their place. The host table promises that an answer's
// headers and body stay valid until the calling thread's next request, so each thread has one
// answer of its own, reused by its next request and freed when the thread ends.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plugin/host_boundary.h"

namespace Kolm::Host {

struct TransportAnswer {
    std::string body;
    std::vector<std::pair<std::string, std::string>> headerTexts;  // as received, in order
    std::vector<HostHeader> headers;                               // point into headerTexts
};

// The calling thread's answer, emptied for a new request; `response` reset to no answer.
TransportAnswer& NewTransportAnswer(HostHttpResponse& response);

// Points `response` at the calling thread's answer, which holds `status`'s headers and body.
void PublishTransportAnswer(HostHttpResponse& response, uint32_t status);

// An answer made up by the host (a fault rule's): a JSON body with `status`.
void AnswerWith(HostHttpResponse& response, uint32_t status, const std::string& body);
// A transport failure (code 1, no status) with `text` as the body.
void FailTransport(HostHttpResponse& response, const std::string& text);

}  // namespace Kolm::Host
