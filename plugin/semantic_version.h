// SemanticVersion: the plugin-API version of the host and of the plugin, and the rule by which
// a host's version is accepted.
#pragma once

#include <cstdint>
#include <string>

namespace Kolm::Client {

struct SemanticVersion {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t patchVersion = 0;
    std::string prerelease;  // normally empty
    std::string build;       // normally empty

    // "major.minor.patch", then "-prerelease" and "+build" when those are not empty.
    std::string ToString() const;
};

// The plugin-API version this framework implements.
inline SemanticVersion PluginApiVersion() {
    return SemanticVersion{18, 0, 0, {}, {}};
}

// A host is compatible when its major version equals ours and its minor.patch is not older
// than ours; prerelease and build texts play no part.
bool IsCompatibleHostVersion(const SemanticVersion& host, const SemanticVersion& own);

}  // namespace Kolm::Client
