// YAML, a text form in which request bodies may arrive; read only, on libyaml's event parser.
//
// Untagged scalars that are not quoted (plain ones, and literal "|" and folded ">" block scalars
// alike: "|-" over 123 gives Unsigned 123) resolve by fixed word lists: "", "~", "null", "Null",
// "NULL" are Empty; "true", "yes", "on", "y" and their capitalised and upper-case forms are true,
// the matching "false", "no", "off", "n" forms false; a text that strtod reads whole is a number
// (integral values are Unsigned, or Signed when negative; others Float). Single- and
// double-quoted scalars are Strings, keys are always texts. The tags !!str, !!int, !!float and !!bool are honoured, any other tag is an error.
// Aliases are expanded by deep copy; an anchored container is copied aside only when an alias
// first needs it (or its entry is about to be replaced by a repeated key), so anchors alone cost
// nothing. An alias of a container that is still open is refused as cyclic. One document only.
// Failures name the line and column of the event.
//
// Limits: at most ValueBuilder::kMaxNestingDepth (512) containers open at once, counting those
// an alias brings in; at most kMaxAliasExpansion values copied by aliases in one document.
// Integral numbers beyond the 64-bit ranges and NaN stay Floats or Strings rather than being
// truncated. libyaml is loaded at run time (YamlLibrary); without it every parse fails with a
// message naming the library.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/binding_property.h"

namespace Kolm {

class YamlLibrary;

// Values that aliases of one document may copy in total, so that nested aliases cannot expand
// a small text into an enormous tree.
inline constexpr std::size_t kMaxAliasExpansion = 1000000;

// Parses the whole text (its length given to the parser) with the process-wide libyaml.
BindingResult ParseYaml(std::string_view text);
// The same with a given binding of libyaml.
BindingResult ParseYaml(std::string_view text, const YamlLibrary& library);

}  // namespace Kolm
