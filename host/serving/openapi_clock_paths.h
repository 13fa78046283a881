// The clock's paths in the OpenAPI document (GET and PUT /zun-clubs-host/v1/clock, POST
// /zun-clubs-host/v1/clock/advance), and the schemas they use, made from the clock's records
// (clock_records.h).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Kolm::Host {

// (path, path item as JSON) in document order.
std::vector<std::pair<std::string, std::string>> OpenApiClockPaths();
// (schema name, schema as JSON).
std::vector<std::pair<std::string, std::string>> OpenApiClockSchemas();

}  // namespace Kolm::Host
