// YAML documents turned into JSON text with the project's own readers and writers, so that
// everything after reads JSON only.
#pragma once

#include <string>
#include <string_view>

namespace Kolm::Host {

struct YamlToJsonResult {
    std::string json;
    std::string error;  // non-empty: the YAML reader's message
};

YamlToJsonResult YamlToJson(std::string_view yaml);

// Makes YamlToJson look for the YAML library in `folder` (ending in a separator) before the
// program's own folder: a host names the folder it loaded the plugin from, where the library
// is shipped beside the plugin. Call before the first YAML document is read.
void UseYamlLibraryFolder(std::string folder);

}  // namespace Kolm::Host
