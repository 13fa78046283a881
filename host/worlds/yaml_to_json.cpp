#include "host/worlds/yaml_to_json.h"

#include "formats/json.h"
#include "formats/yaml.h"

namespace Kolm::Host {

YamlToJsonResult YamlToJson(std::string_view yaml) {
    const BindingResult parsed = ParseYaml(yaml);
    if (!parsed.Succeeded()) {
        return {{}, std::string(parsed.ErrorText())};
    }
    return {WriteJson(parsed.value), {}};
}

}  // namespace Kolm::Host
