// The request journal's paths in the host's OpenAPI document (/zun-clubs-host/v1/requests and
// below), with the schemas they use, made from the journal's records (journal_records.h).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Kolm::Host {

// (path, path item as JSON) in document order.
std::vector<std::pair<std::string, std::string>> OpenApiJournalPaths();
// (schema name, schema as JSON).
std::vector<std::pair<std::string, std::string>> OpenApiJournalSchemas();

}  // namespace Kolm::Host
