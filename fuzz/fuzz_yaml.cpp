// ParseYaml on arbitrary text, through the run-time loaded libyaml.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/yaml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Kolm::BindingResult result = Kolm::ParseYaml(text);
    if (!result.Succeeded() && result.ErrorText().empty()) {
        __builtin_trap();
    }
    return 0;
}
