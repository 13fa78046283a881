// Path templates and request paths from fuzz bytes: the route's own matcher must give exactly
// the match and the captures of the compiled expression. Input: the template, 0x0A, the path;
// both kept short, since the expression engine recurses per character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "api/path_matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\n');
    if (split == std::string_view::npos || split > 24 || size - split - 1 > 64) {
        return 0;
    }
    Kolm::PathMatcher matcher(input.substr(0, split));
    std::string path(input.substr(split + 1));
    std::vector<std::string_view> fast;
    std::vector<std::string_view> reference;
    bool matched = matcher.Match(path, fast);
    if (matched != matcher.MatchWithExpression(path, reference) || fast != reference) {
        std::abort();
    }
    return 0;
}
