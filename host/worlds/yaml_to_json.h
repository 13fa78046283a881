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

}  // namespace Kolm::Host
