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

namespace {

// The compiled expression, the reference here, backtracks through every way its groups can
// share the path: up to C(n + g, g) splits of n characters among g groups, each walked again.
// Past this many the reference takes seconds (22 s for six adjacent groups over 60 characters)
// and the input is left out rather than raced against the per-input time limit.
constexpr double kMaxReferenceSplits = 20000;

bool ReferenceRunStaysSmall(std::size_t groups, std::size_t pathLength) {
    double splits = 1;
    for (std::size_t i = 1; i <= groups; ++i) {
        splits = splits * static_cast<double>(pathLength + i) / static_cast<double>(i);
        if (splits > kMaxReferenceSplits) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\n');
    if (split == std::string_view::npos || split > 24 || size - split - 1 > 64) {
        return 0;
    }
    Kolm::PathMatcher matcher(input.substr(0, split));
    std::string path(input.substr(split + 1));
    if (!ReferenceRunStaysSmall(matcher.Placeholders().size(), path.size())) {
        return 0;
    }
    std::vector<std::string_view> fast;
    std::vector<std::string_view> reference;
    bool matched = matcher.Match(path, fast);
    if (matched != matcher.MatchWithExpression(path, reference) || fast != reference) {
        std::abort();
    }
    return 0;
}
