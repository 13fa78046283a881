// ParseMessagePack on arbitrary bytes: never reads past the input, never consumes more than it
// was given, and a failure always has its message.
#include <cstddef>
#include <cstdint>

#include "formats/message_pack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t consumed = 0;
    Kolm::BindingResult result = Kolm::ParseMessagePack(data, size, &consumed);
    if (consumed > size || (!result.Succeeded() && result.ErrorText().empty())) {
        __builtin_trap();
    }
    return 0;
}
