#include "host/documents/one_of.h"

#include <bit>

namespace Kolm::Host {

std::optional<FieldProblem> AlternativesProblem(std::span<const char* const> names,
                                                uint64_t given,
                                                const char* kind,
                                                const char* owner,
                                                const char* needs) {
    if (std::has_single_bit(given)) {
        return std::nullopt;
    }
    if (given == 0) {
        if (needs != nullptr) {
            return FieldProblem{"", needs};
        }
        std::string list;
        for (std::size_t i = 0; i < names.size(); ++i) {
            list += std::string(i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
        }
        return FieldProblem{"", std::string("needs one ") + kind + ": " + list};
    }
    // The first two given, in the order the group lists them.
    const auto first = static_cast<std::size_t>(std::countr_zero(given));
    const auto second = static_cast<std::size_t>(std::countr_zero(given & (given - 1)));
    return FieldProblem{"", std::string("gives both ") + names[first] + " and " + names[second] +
                                "; " + owner + " has one " + kind};
}

}  // namespace Kolm::Host
