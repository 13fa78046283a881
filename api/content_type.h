// Recognition of the content types the API layer understands, and text sniffing for structured
// argument values that arrive without a content type.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Kolm {

// The format code written into responses and chosen for bodies.
enum class ContentFormat : uint32_t {
    None = 0,
    Json = 1,
    Yaml = 2,
    MessagePack = 3,
};

// How a single argument value is to be read.
enum class ValueFormat {
    Text,  // kept as a string; converted to the parameter's type later
    Json,
    Yaml,
    MessagePack,
    Blob,  // raw bytes
};

// True when `contentType` begins with `known`, compared ASCII case-insensitively over the length
// of `known` (so parameters such as "; charset=utf-8" are ignored).
bool HasContentTypePrefix(std::string_view contentType, std::string_view known);

// The decoder for a request body: JSON, YAML or MessagePack; nullopt for any other type.
std::optional<ContentFormat> BodyContentFormat(std::string_view contentType);

// The decoder named by an argument value's content type; Text when the type names none.
ValueFormat ArgumentValueFormat(std::string_view contentType);

// Sniffing: JSON when the first non-blank character opens an object or array; YAML when the text
// after leading blanks begins with a document marker.
bool LooksLikeJsonText(std::string_view text);
bool LooksLikeYamlText(std::string_view text);

// Response format codes outside 1 to 3 are written as 0.
uint32_t ResponseFormatCode(uint32_t code);

}  // namespace Kolm
