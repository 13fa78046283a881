// Percent-decoding of URL text, shared by the host's server and the clubs web service, which
// both read request targets the way an HTTP server does.
#pragma once

#include <string>
#include <string_view>

namespace Kolm::Host {

// "%41" becomes "A", and "+" a blank when `plusIsBlank` (a query); a "%" not followed by two
// hexadecimal digits stays as it is.
std::string DecodePercent(std::string_view text, bool plusIsBlank);

}  // namespace Kolm::Host
