#include "host/clubs_web_service/service_url.h"

#include "host/serving/http/percent_decoding.h"

namespace Kolm::Host {
namespace {

std::string_view StripSchemeAndAuthority(std::string_view url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos ||
        url.substr(0, scheme).find('/') != std::string_view::npos)
        return url;
    const size_t pathStart = url.find_first_of("/?", scheme + 3);
    return pathStart == std::string_view::npos ? std::string_view() : url.substr(pathStart);
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> segments;
    if (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    if (path.empty())
        return segments;
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        segments.push_back(DecodePercent(path.substr(start, slash - start), false));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return segments;
}

std::map<std::string, std::string> SplitQuery(std::string_view query) {
    std::map<std::string, std::string> parameters;
    size_t start = 0;
    while (start <= query.size()) {
        const size_t amp = query.find('&', start);
        const std::string_view pair = query.substr(start, amp - start);
        if (!pair.empty()) {
            const size_t equals = pair.find('=');
            const std::string key = DecodePercent(pair.substr(0, equals), true);
            parameters[key] = equals == std::string_view::npos
                                  ? ""
                                  : DecodePercent(pair.substr(equals + 1), true);
        }
        if (amp == std::string_view::npos)
            break;
        start = amp + 1;
    }
    return parameters;
}

}  // namespace

ServiceUrl ParseServiceUrl(std::string_view url) {
    const std::string_view target = StripSchemeAndAuthority(url);
    const size_t question = target.find('?');
    ServiceUrl parsed;
    parsed.segments = SplitPath(target.substr(0, question));
    if (question != std::string_view::npos)
        parsed.query = SplitQuery(target.substr(question + 1));
    return parsed;
}

}  // namespace Kolm::Host
