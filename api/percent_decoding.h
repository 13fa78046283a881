// Decoding of percent-escaped texts: path captures, query keys and query values.
#pragma once

#include <string>
#include <string_view>

namespace Kolm {

// "+" becomes a blank and "%" with two hexadecimal digits the byte they spell. A "%" with fewer
// than two characters after it is dropped; a "%" followed by anything but two hexadecimal digits
// is kept as it stands, so malformed escapes never turn into made-up bytes.
std::string PercentDecode(std::string_view text);

}  // namespace Kolm
