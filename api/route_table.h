// Routes of the registered endpoints and the matching of a request path against them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "api/path_matcher.h"

namespace Kolm {

struct Endpoint;

// What a request is matched against: the endpoint's method and its compiled path matcher. The
// matcher is shared with the endpoint, which built it at registration.
struct Route {
    uint32_t methodCode = 0;  // 0: any method
    std::string methodName;   // compared only for method code 8
    const Endpoint* endpoint = nullptr;
    std::shared_ptr<const PathMatcher> matcher;
};

struct RouteMatch {
    const Endpoint* endpoint = nullptr;
    uint32_t methodCode = 0;
    // Placeholder name to the decoded captured text.
    std::map<std::string, std::string> captures;
};

// Builds a route from scratch, expression included; endpoints use this once at registration.
Route BuildRoute(uint32_t methodCode,
                 std::string_view methodName,
                 std::string_view storedTemplate,
                 const Endpoint* endpoint);

// Matches `path` (the URI exactly as given, query included) against the routes in order. The
// route whose decoded captures are shortest in total wins, the earlier one on a tie; a match
// without placeholders ends the search at once.
bool MatchRoutes(uint32_t requestMethod,
                 std::string_view requestMethodName,
                 std::string_view path,
                 const std::vector<const Route*>& routes,
                 bool ignoreMethod,
                 RouteMatch& match);

}  // namespace Kolm
