// ParseBoundedJson: the one way the host reads JSON that comes from outside (request bodies,
// worlds, fault rules) into a RapidJSON document.
//
// Limits, the same as the plugin's own reader: at most kMaxJsonNesting arrays and objects open
// at once, so that any recursive walk of the document afterwards (copies, writers, conversions)
// stays within that many frames; the reading itself does not recurse. Strings must be UTF-8,
// including what their \u escapes decode to: text that is not would be stored and later sent
// out as JSON that strict readers refuse. Numbers read as the nearest double (integers of 64
// bits whole), so that a number the host writes reads back as the same number.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

namespace Kolm::Host {

inline constexpr std::size_t kMaxJsonNesting = 512;

struct BoundedJson {
    // Success, or RapidJSON's code and the offset at which reading stopped.
    rapidjson::ParseResult result;
    // Set when the text was refused for its nesting or its encoding rather than its syntax:
    // what is wrong, as words that follow the name of what was read ("nests deeper than 512
    // levels (at offset 512)").
    std::string refusal;

    explicit operator bool() const { return !result.IsError(); }
};

// Reads `text` into `document`, which holds null after a failure. A document that holds
// outside values a few levels down (a world) may allow those levels on top of the bound.
BoundedJson ParseBoundedJson(std::string_view text,
                             rapidjson::Document& document,
                             std::size_t maxNesting = kMaxJsonNesting);

// Whether `text` is well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing above U+10FFFF. For texts that reach the host other than as
// JSON, such as decoded query parameters.
bool IsUtf8(std::string_view text);

}  // namespace Kolm::Host
