// The world's reset and snapshot paths (/zun-clubs-host/v1/world/reset and .../snapshots) in the
// OpenAPI document, with the schemas they use, made from their records (snapshot_records.h);
// listed among the host's own paths.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Kolm::Host {

// (path, path item as JSON) in document order.
std::vector<std::pair<std::string, std::string>> OpenApiSnapshotPaths();
// (schema name, schema as JSON).
std::vector<std::pair<std::string, std::string>> OpenApiSnapshotSchemas();

}  // namespace Kolm::Host
