// PluginIdentity: the names under which the host knows a plugin.
#pragma once

#include <string>
#include <string_view>

namespace Kolm::Client {

inline constexpr const char* kBackendPluginType = "backend";
inline constexpr const char* kFrontendPluginType = "frontend";

struct PluginIdentity {
    std::string fullName;    // "mvz-be-zun-clubs"
    std::string shortName;   // "zun-clubs"
    std::string type;        // "backend"
    std::string typeSuffix;  // copied from the type; empty for back-end plugins
};

// "mvz-be-" + short name for "backend", "mvz-fe-" for "frontend"; any other type still gets a
// name, "mvz-xx-" + short name, and an error line in the log.
std::string GetFullNameFromShortNameAndType(std::string_view shortName, std::string_view type);

PluginIdentity MakePluginIdentity(std::string_view shortName, std::string_view type);

}  // namespace Kolm::Client
