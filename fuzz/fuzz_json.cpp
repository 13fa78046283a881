// ParseJson on arbitrary text; a successful parse must also write without trouble.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Kolm::BindingResult result = Kolm::ParseJson(text);
    if (result.Succeeded()) {
        (void)Kolm::WriteJson(result.value, nullptr, "\r\n");
    } else if (result.ErrorText().empty()) {
        __builtin_trap();  // a failure always carries its message
    }
    return 0;
}
