#include "host/worlds/yaml_to_json.h"

#include <utility>

#include "formats/json.h"
#include "formats/yaml.h"
#include "formats/yaml_library.h"

namespace Kolm::Host {

YamlToJsonResult YamlToJson(std::string_view yaml) {
    const BindingResult parsed = ParseYaml(yaml);
    if (!parsed.Succeeded()) {
        return {{}, std::string(parsed.ErrorText())};
    }
    return {WriteJson(parsed.value), {}};
}

void UseYamlLibraryFolder(std::string folder) {
    YamlLibrary::PreferFolder(std::move(folder));
}

}  // namespace Kolm::Host
