// The host's own paths in the OpenAPI document, next to the plugin's: the world
// (GET and PUT /zun-clubs-host/v1/world) and the fault rules (/zun-clubs-host/v1/faults), with
// the schemas they use. The paths are written out by hand, since the host, not the plugin's
// description, defines them; the world's and the fault rule's schemas come from their records'
// descriptions.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Kolm::Host {

// (path, path item as JSON) in document order.
const std::vector<std::pair<std::string, std::string>>& OpenApiHostPaths();
// (schema name, schema as JSON).
const std::vector<std::pair<std::string, std::string>>& OpenApiHostSchemas();
// The answer object of a host path's error: `description`, and an example whose "error" is
// `example` (both already JSON string contents).
std::string OpenApiErrorAnswer(const std::string& description, const std::string& example);

}  // namespace Kolm::Host
