// HTTP method codes as they cross the host boundary, and their names.
#pragma once

#include <cstdint>
#include <string_view>

namespace Kolm {

// The same numbers are used on both sides of the host boundary. `Other` means the method name
// travels as a separate text.
enum class HttpMethod : uint32_t {
    None = 0,
    Delete = 1,
    Get = 2,
    Head = 3,
    Options = 4,
    Patch = 5,
    Post = 6,
    Put = 7,
    Other = 8,
};

// "DELETE" ... "PUT" for codes 1 to 7; the empty text for every other code, `Other` included
// (its name is carried separately).
std::string_view HttpMethodName(uint32_t code);
inline std::string_view HttpMethodName(HttpMethod method) {
    return HttpMethodName(static_cast<uint32_t>(method));
}

// The code as handed to the host: codes outside 1 to 8 become 0.
uint32_t HostMethodCode(uint32_t code);

}  // namespace Kolm
