// JSON, the text form of a BindingProperty on every wire of the plugin.
//
// Reading: ParseJson builds the value straight from the tokeniser's events (no intermediate
// document). Numbers keep their JSON shape: an integer without a minus sign is Unsigned, one with
// a minus sign is Signed ("-0" too), anything with a fraction or exponent, or too large for 64
// bits, is Float. null is Empty, a repeated object member keeps its last value, strings stop at
// the first zero character they decode to. A text of only white space is an Empty value, not an
// error. Limits: at most ValueBuilder::kMaxNestingDepth (512) arrays and objects open at once;
// deeper input fails with "Error: Nesting is deeper than 512 levels. at offset N." (the form of
// every parse error).
//
// Writing: WriteJson writes members in key order (the order of Structure entries), blobs as
// base64 strings, enums by their registered name when a registry knows it, integral floats with
// ".0". An Empty root writes as the empty text; NaN and infinite floats write as null, the only
// JSON that keeps the document readable.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "binding/binding_conversion.h"
#include "binding/binding_property.h"
#include "binding/static_type.h"
#include "logging/message_format.h"

namespace Kolm {

class BindingTypeRegistry;

// Parses the text up to its first zero byte; the const char* form needs that zero.
BindingResult ParseJson(const char* text);
BindingResult ParseJson(std::string_view text);

// Writes `value` compactly when `lineSeparator` is empty, otherwise pretty-printed with four
// spaces of indent and `lineSeparator` ending each line. `registry` (may be null) names enums.
std::string WriteJson(const BindingProperty& value,
                      const BindingTypeRegistry* registry = nullptr,
                      std::string_view lineSeparator = {});

// The outcome of ToJsonText: the text, or the message of a record that could not be converted.
struct JsonText {
    bool success = true;
    std::string text;
    std::string error;
};

// Converts a registered native record (or any type with a binding conversion) and writes it.
template <class T>
JsonText ToJsonText(const T& record,
                    const BindingTypeRegistry* registry,
                    std::string_view lineSeparator = {}) {
    BindingResult converted = ConvertToBinding(record, registry);
    if (!converted.Succeeded()) {
        return {false,
                {},
                Format("Failed to convert type \"%1\" to BindingProperty for serialization",
                       StaticType::Name<T>())};
    }
    return {true, WriteJson(converted.value, registry, lineSeparator), {}};
}

// Parses `text` and assigns it to `record`, with "<value>" naming the record in messages.
// Returns the success of the last step taken; `outcome` (may be null) receives its result.
template <class T>
bool FromJsonText(T& record,
                  std::string_view text,
                  const BindingTypeRegistry* registry,
                  BindingResult* outcome = nullptr) {
    BindingResult parsed = ParseJson(text);
    if (parsed.Succeeded()) {
        parsed = ConvertFromBinding(parsed.value, record, "<value>", registry);
    }
    const bool success = parsed.Succeeded();
    if (outcome != nullptr) {
        *outcome = std::move(parsed);
    }
    return success;
}

}  // namespace Kolm
