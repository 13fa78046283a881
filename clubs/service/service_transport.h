// How the clubs web-service client reaches the host's HTTP transport: the answer record it reads,
// the send function it is given, and the one that goes through the plugin connection.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "api/http_transport.h"
#include "plugin/host_boundary.h"

namespace Kolm::Client {
class PluginConnection;
}

namespace Kolm::Client::Clubs {

// The host's answer as the client reads it. With transport code 0 it holds the status, headers
// and body; `conversionFailed` is set when the host announced headers or a body without giving
// their address. With any other code only `errorText`, the transport's message, is filled.
struct ServiceHttpAnswer {
    int32_t transportCode = 0;
    uint32_t status = 0;
    bool conversionFailed = false;
    std::string errorText;
    std::map<std::string, std::string> headers;
    std::string body;
};

// Sends one request and returns once the answer is complete.
using ServiceSendFunction = std::function<ServiceHttpAnswer(const HttpBaseTransport::Request&)>;

// Copies the host's answer record, which stays the host's. `request` names the exchange in the
// conversion messages ("Error converting response for GET <url>: body was null").
ServiceHttpAnswer ReadServiceAnswer(const HostHttpResponse& answer,
                                    const HttpBaseTransport::Request& request);

// Sends through the connection's SendHttpRequest, adding its user agent. `connection` must
// outlive the function. Before the host is known the connection fills nothing, which reads as
// an answer with status 0.
ServiceSendFunction SendThroughConnection(PluginConnection& connection);

}  // namespace Kolm::Client::Clubs
