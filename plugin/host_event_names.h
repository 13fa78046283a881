// Names under which resource events travel through the host, and the wildcard rule by which
// resource observers with a "*" in their URI pick the events they want.
#pragma once

#include <string>
#include <string_view>

namespace Kolm {

// The plain event name every resource event is also sent under.
inline constexpr const char* kJsonApiEventName = "OnJsonApiEvent";

// The host event name of a resource URI: "OnJsonApiEvent" joined by "_" with the URI's first
// three non-empty path pieces, or its first five for the platform configuration, whose
// interesting values sit deeper ("/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled").
std::string HostEventNameOfUri(std::string_view uri);

// True when `uri` matches `pattern`: a "*" consumes URI characters up to the next "/" (or the
// end) without backtracking; every other pattern character must equal the URI character.
bool MatchesWildcard(std::string_view pattern, std::string_view uri);

// The URI with a leading "/" added when it lacks one.
std::string NormalizeResourceUri(std::string_view uri);

}  // namespace Kolm
