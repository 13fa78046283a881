// Percent-encoding of the texts the web-service client puts into request URLs.
#pragma once

#include <string>
#include <string_view>

namespace Kolm::Client::Clubs {

// A query value: ASCII letters, digits and "-", "_", ".", "~" stay; every other byte (blanks and
// each byte of a multi-byte character included) becomes "%" and two upper-case hex digits.
std::string EncodeQueryValue(std::string_view text);

// One path segment: as EncodeQueryValue, but "." is encoded too, so that no text, "." and ".."
// included, can add a segment or climb out of the one it is put in.
std::string EncodePathSegment(std::string_view text);

}  // namespace Kolm::Client::Clubs
