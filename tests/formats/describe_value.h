// Describe: a compact text of a value that shows every kind, so tests compare whole trees in one
// readable assertion: null, true, s-1 (Signed), u1 (Unsigned), f1.5 (Float), "text" (String),
// b'aGk=' (Blob, base64), e3 (Enum), [a, b] (Collection), {key: value} (Structure, key order).
#pragma once

#include <cstdio>
#include <string>

#include "binding/binding_property.h"

namespace Kolm::Testing {

inline void DescribeInto(const BindingProperty& value, std::string& out) {
    char number[40];
    switch (value.Kind()) {
        case BindingKind::Empty:
            out += "null";
            return;
        case BindingKind::Bool:
            out += value.GetBool() ? "true" : "false";
            return;
        case BindingKind::Signed:
            std::snprintf(number, sizeof number, "s%lld",
                          static_cast<long long>(value.GetSigned()));
            out += number;
            return;
        case BindingKind::Unsigned:
            std::snprintf(number, sizeof number, "u%llu",
                          static_cast<unsigned long long>(value.GetUnsigned()));
            out += number;
            return;
        case BindingKind::Float:
            std::snprintf(number, sizeof number, "f%.17g", value.GetFloat());
            out += number;
            return;
        case BindingKind::String:
            out += '"';
            out += value.GetString();
            out += '"';
            return;
        case BindingKind::Blob:
            out += "b'" + value.ToString() + "'";
            return;
        case BindingKind::Enum:
            out += "e" + std::to_string(value.GetEnum().value);
            return;
        case BindingKind::Collection: {
            out += '[';
            const char* separator = "";
            for (const BindingProperty& element : value.Elements()) {
                out += separator;
                DescribeInto(element, out);
                separator = ", ";
            }
            out += ']';
            return;
        }
        case BindingKind::Structure: {
            out += '{';
            const char* separator = "";
            for (const BindingEntry& entry : value.Entries()) {
                out += separator;
                out += entry.Key();
                out += ": ";
                DescribeInto(entry.Value(), out);
                separator = ", ";
            }
            out += '}';
            return;
        }
    }
    out += "?";
}

inline std::string Describe(const BindingProperty& value) {
    std::string out;
    DescribeInto(value, out);
    return out;
}

// The description of a successful result, or "error: <message>".
inline std::string Describe(const BindingResult& result) {
    if (!result.Succeeded()) {
        return "error: " + std::string(result.ErrorText());
    }
    return Describe(result.value);
}

}  // namespace Kolm::Testing
