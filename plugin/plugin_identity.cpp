#include "plugin/plugin_identity.h"

#include "logging/logger.h"
#include "logging/message_format.h"

namespace Kolm::Client {

std::string GetFullNameFromShortNameAndType(std::string_view shortName, std::string_view type) {
    std::string prefix;
    if (type == kBackendPluginType) {
        prefix = "mvz-be-";
    } else if (type == kFrontendPluginType) {
        prefix = "mvz-fe-";
    } else {
        prefix = "mvz-xx-";
        const std::string message =
            Format("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
                   shortName, type);
        Log(kLogError, kLogGroupDbg, "            Plugin Manager| %s", message.c_str());
    }
    return prefix + std::string(shortName);
}

PluginIdentity MakePluginIdentity(std::string_view shortName, std::string_view type) {
    PluginIdentity identity;
    identity.fullName = GetFullNameFromShortNameAndType(shortName, type);
    identity.shortName = shortName;
    identity.type = type;
    return identity;
}

}  // namespace Kolm::Client
