// The HTTP request and response records of the runnable host's server, and the small helpers
// every handler of the host uses with them (header look-up, percent-decoding of the host's own
// query parameters, JSON error bodies).
//
// The request target is kept exactly as it arrived: the host never decodes the paths it hands
// to the plugin, which decodes its own captures and query.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/serving/http/unique_socket.h"

namespace Kolm::Host {

struct HttpRequest {
    std::string method;   // as sent, e.g. "GET"
    std::string target;   // the raw request target: path, and "?" plus the query when present
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent, in order
    std::string body;
    std::string peerAddress;

    std::string_view Path() const;   // the target before "?"
    std::string_view Query() const;  // after the first "?", empty without one
    // The first header of that name, compared without regard to case.
    std::optional<std::string> Header(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;  // besides type, length, connection
    std::string body;
    // Set for a response that keeps its connection (an event stream): the server hands the
    // socket and the response head (status line and headers, no Content-Length) to this
    // function, which then owns the socket and writes the head before anything else. Taking
    // the socket before the head is out means that a client that has seen the head misses
    // nothing sent after it.
    std::function<void(UniqueSocket socket, std::string head)> takeOver;

    static HttpResponse Json(int status, std::string body);
    // {"error": text}, the shape every refusal of the host has.
    static HttpResponse Error(int status, std::string_view text);
    // 405 with {"error": text} and `allow` ("GET, HEAD") as its Allow header.
    static HttpResponse NotAllowed(std::string_view allow, std::string_view text);
};

// The standard reason phrase of a status ("Not Found"), "Unknown" for others.
const char* ReasonPhrase(int status);

// True when a response of this status carries no body (1xx, 204, 304).
bool StatusHasNoBody(int status);

// Equality of two header names or tokens, ASCII letters compared without case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// `text` without the blanks and tabs around it (the optional white space of header values).
std::string_view TrimBlanks(std::string_view text);

// Percent-decoding of the host's own query parameters: "%41" becomes "A", "+" a blank; a "%"
// not followed by two hexadecimal digits stays as it is.
std::string PercentDecode(std::string_view text);

// Percent-decoding of a path of the host's own: only "%XX" is decoded, "+" stays.
std::string PercentDecodePath(std::string_view path);

// The query split at "&" into decoded key/value pairs, in order ("a" without "=" gives an
// empty value).
std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query);

// A decimal number of one to 19 digits (so that it always fits 64 bits); nothing otherwise.
std::optional<uint64_t> ParseDecimal(std::string_view text);

// `text` as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

}  // namespace Kolm::Host
