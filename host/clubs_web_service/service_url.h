// Splitting of a request URL into decoded path segments and query parameters, the way an HTTP
// server sees them: each segment is percent-decoded on its own, so an escaped "/" stays inside
// its segment instead of adding one.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Kolm::Host {

struct ServiceUrl {
    std::vector<std::string> segments;  // decoded; empty segments (from "//") are kept
    std::map<std::string, std::string> query;
};

// Drops a leading "scheme://authority" when present, then splits path and query at the first
// "?". In the query "+" stands for a blank; a malformed escape is kept as written.
ServiceUrl ParseServiceUrl(std::string_view url);

}  // namespace Kolm::Host
