// Reading the head of an HTTP/1.1 request (request line and header fields) strictly: the host
// accepts only what a well-behaved client sends and answers anything else with the status
// that names the fault, before any handler sees the request.
//
// Pure functions over bytes already read, so they are tested without sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/serving/http/http_message.h"

namespace Kolm::Host {

struct HttpLimits {
    std::size_t maxHeadBytes = 16 * 1024;  // request line and headers together
    std::size_t maxTargetBytes = 8 * 1024;
    std::size_t maxHeaders = 100;
    std::size_t maxBodyBytes = 1024 * 1024;
    // The body limit of one request chosen from its head, for the few paths that take larger
    // documents; null: maxBodyBytes for every request.
    std::function<std::size_t(const HttpRequest& head)> bodyLimit;

    std::size_t BodyLimit(const HttpRequest& head) const {
        return bodyLimit ? bodyLimit(head) : maxBodyBytes;
    }
};

struct RequestHead {
    HttpRequest request;  // without body
    std::size_t contentLength = 0;
    bool expectContinue = false;
};

struct HeadParseResult {
    std::optional<RequestHead> head;  // none: refused with `status` and `error`
    int status = 0;
    std::string error;
};

// The offset just past the blank line that ends the head ("\r\n\r\n", or "\n\n" from clients
// that end lines with a bare line feed), or none while the head is incomplete.
std::optional<std::size_t> FindHeadEnd(std::string_view buffer);

// Parses `head` (up to and including its blank line). Refusals: 400 malformed (a second Host
// header too), 413 a declared body above the limit (BodyLimit), 414 a target above the limit, 431
// too many header fields, 501 a transfer coding, 505 another HTTP version.
HeadParseResult ParseRequestHead(std::string_view head, const HttpLimits& limits);

// True when a Host header names this machine's loopback interface ("localhost", "127.0.0.1"
// or any 127.x.y.z, "[::1]"), with or without a port. Any other name is refused, so that a
// page on another site cannot reach the host through a name that resolves to 127.0.0.1.
bool IsLoopbackHost(std::string_view host);

}  // namespace Kolm::Host
