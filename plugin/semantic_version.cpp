#include "plugin/semantic_version.h"

#include "logging/message_format.h"

namespace Kolm::Client {

std::string SemanticVersion::ToString() const {
    std::string text = Format("%1.%2.%3", majorVersion, minorVersion, patchVersion);
    if (!prerelease.empty()) {
        text += "-" + prerelease;
    }
    if (!build.empty()) {
        text += "+" + build;
    }
    return text;
}

bool IsCompatibleHostVersion(const SemanticVersion& host, const SemanticVersion& own) {
    if (host.majorVersion != own.majorVersion) {
        return false;
    }
    return host.minorVersion > own.minorVersion ||
           (host.minorVersion == own.minorVersion && host.patchVersion >= own.patchVersion);
}

}  // namespace Kolm::Client
