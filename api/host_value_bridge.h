// The API layer's use of the flat host value form: converting values for the host and back, and
// releasing what the plugin allocated.
#pragma once

#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/host_value_conversion.h"
#include "plugin/host_boundary.h"

namespace Kolm {

class BindingTypeRegistry;

// Converts `value` into `out` (owned strings, blobs, arrays). On failure `out` is left empty and
// `error` holds the message.
bool ValueToHostValue(const BindingProperty& value,
                      HostValue& out,
                      const BindingTypeRegistry* registry,
                      std::string& error);

// Converts a host value into a tree; `name` stands for the target in messages.
BindingResult HostValueToValue(const HostValue& value, std::string_view name);

// ReleaseHostValue (binding/host_value_conversion.h) frees what ValueToHostValue made.

}  // namespace Kolm
