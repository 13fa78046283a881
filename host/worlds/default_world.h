// The world a host starts from when it is given none: the text of worlds/default.json, built
// into the program.
#pragma once

#include <string_view>

namespace Kolm::Host {

std::string_view DefaultWorldJson();

}  // namespace Kolm::Host
