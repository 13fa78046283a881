// Standard base64 (alphabet A-Z a-z 0-9 + /, "=" padding), the text form of blobs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "binding/binding_property.h"

namespace Kolm::Base64 {

std::string Encode(std::span<const std::uint8_t> bytes);
// True when every character is of the alphabet or "=".
bool HasOnlyBase64Characters(std::string_view text);
// Decodes `text`, which holds only base64 characters; "=" ends the data and a trailing partial
// group yields the whole bytes it holds.
BindingBlob Decode(std::string_view text);

}  // namespace Kolm::Base64
