#include "api/route_table.h"

#include "api/http_method.h"
#include "api/percent_decoding.h"

namespace Kolm {

namespace {

bool MethodAccepts(const Route& route, uint32_t requestMethod, std::string_view requestMethodName) {
    if (route.methodCode == 0) {
        return true;
    }
    if (route.methodCode != requestMethod) {
        return false;
    }
    return route.methodCode != static_cast<uint32_t>(HttpMethod::Other) ||
           route.methodName == requestMethodName;
}

}  // namespace

Route BuildRoute(uint32_t methodCode,
                 std::string_view methodName,
                 std::string_view storedTemplate,
                 const Endpoint* endpoint) {
    Route route;
    route.methodCode = methodCode;
    route.methodName = std::string(methodName);
    route.endpoint = endpoint;
    route.matcher = std::make_shared<const PathMatcher>(storedTemplate);
    return route;
}

bool MatchRoutes(uint32_t requestMethod,
                 std::string_view requestMethodName,
                 std::string_view path,
                 const std::vector<const Route*>& routes,
                 bool ignoreMethod,
                 RouteMatch& match) {
    bool found = false;
    size_t bestLength = 0;
    std::vector<std::string_view> raw;
    for (const Route* route : routes) {
        if (!route || !route->matcher) {
            continue;
        }
        if (!ignoreMethod && !MethodAccepts(*route, requestMethod, requestMethodName)) {
            continue;
        }
        if (!route->matcher->Match(path, raw)) {
            continue;
        }
        const std::vector<PathPlaceholder>& placeholders = route->matcher->Placeholders();
        std::map<std::string, std::string> captures;
        size_t length = 0;
        for (size_t i = 0; i < raw.size() && i < placeholders.size(); ++i) {
            std::string decoded = PercentDecode(raw[i]);
            length += decoded.size();
            captures[placeholders[i].name] = std::move(decoded);
        }
        // An exact match without placeholders beats any template match, whatever came before.
        bool exact = placeholders.empty();
        if (!found || length < bestLength || exact) {
            found = true;
            bestLength = length;
            match.endpoint = route->endpoint;
            match.methodCode = route->methodCode;
            match.captures = std::move(captures);
        }
        if (exact) {
            break;
        }
    }
    return found;
}

}  // namespace Kolm
