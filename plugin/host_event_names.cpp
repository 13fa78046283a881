#include "plugin/host_event_names.h"

#include <cstddef>

namespace Kolm {

namespace {

constexpr std::string_view kPlatformConfigPiece = "zun-platform-config";
constexpr std::size_t kPiecesOfPlatformConfig = 5;
constexpr std::size_t kPiecesOfOtherUris = 3;

}  // namespace

std::string HostEventNameOfUri(std::string_view uri) {
    std::string name = kJsonApiEventName;
    std::size_t limit = kPiecesOfOtherUris;
    std::size_t taken = 0;
    std::size_t position = 0;
    while (position < uri.size() && taken < limit) {
        std::size_t end = uri.find('/', position);
        if (end == std::string_view::npos) {
            end = uri.size();
        }
        std::string_view piece = uri.substr(position, end - position);
        position = end + 1;
        if (piece.empty()) {
            continue;
        }
        if (taken == 0 && piece == kPlatformConfigPiece) {
            limit = kPiecesOfPlatformConfig;
        }
        name += '_';
        name += piece;
        ++taken;
    }
    return name;
}

bool MatchesWildcard(std::string_view pattern, std::string_view uri) {
    std::size_t p = 0;
    std::size_t u = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            while (u < uri.size() && uri[u] != '/') {
                ++u;
            }
            ++p;
            continue;
        }
        if (u >= uri.size() || pattern[p] != uri[u]) {
            return false;
        }
        ++p;
        ++u;
    }
    return u == uri.size();
}

std::string NormalizeResourceUri(std::string_view uri) {
    if (!uri.empty() && uri.front() == '/') {
        return std::string(uri);
    }
    std::string normalized = "/";
    normalized += uri;
    return normalized;
}

}  // namespace Kolm
