#include "api/http_method.h"

#include <array>

namespace Kolm {

namespace {

constexpr std::array<std::string_view, 8> kMethodNames = {
    "", "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT",
};

}  // namespace

std::string_view HttpMethodName(uint32_t code) {
    return code < kMethodNames.size() ? kMethodNames[code] : std::string_view();
}

uint32_t HostMethodCode(uint32_t code) {
    return code >= 1 && code <= 8 ? code : 0;
}

}  // namespace Kolm
