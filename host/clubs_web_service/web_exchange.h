// The plain request and answer records in which the in-memory clubs web service is driven:
// what an HTTP transport would hand to a server and get back from it.
#pragma once

#include <map>
#include <string>

namespace Kolm::Host {

struct WebRequest {
    std::string method;  // "GET", "PUT", "POST", ...
    std::string url;     // a full URL ("https://host/v1/clubs/k") or a bare path with query
    std::map<std::string, std::string> headers;
    std::string body;
};

struct WebResponse {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
};

}  // namespace Kolm::Host
