// Conversion between BindingProperty trees and HostValue, the flat value form that crosses the
// host boundary, and the release of what a HostValue owns.
#pragma once

#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "plugin/host_boundary.h"

namespace Kolm {

class BindingTypeRegistry;

// Converts a host value into a tree; a value of unknown kind fails with the incompatible-type
// message naming `name`. Borrowed texts and bytes are copied.
BindingResult FromHostValue(const HostValue& value, std::string_view name);
void FromHostValue(BindingResult& result, const HostValue& value, std::string_view name);

// Writes `value` into `out` (which must hold nothing owned). Texts, bytes, arrays and keys are
// newly allocated and owned by `out`; release them with ReleaseHostValue. An Enum becomes its
// value's name when `registry` knows the enumeration, else its number. Returns false (with a
// message in `error` when given) only when a size does not fit the 32-bit counts.
bool ToHostValue(const BindingProperty& value,
                 HostValue& out,
                 const BindingTypeRegistry* registry,
                 std::string* error = nullptr);

// Frees what `value` owns (owned texts and bytes, arrays, owned keys), recursively, and leaves
// kind 0 with a zero payload. Borrowed parts are left alone.
void ReleaseHostValue(HostValue& value);

}  // namespace Kolm
