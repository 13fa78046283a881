#include "api/host_value_bridge.h"

#include "binding/host_value_conversion.h"

namespace Kolm {

bool ValueToHostValue(const BindingProperty& value,
                      HostValue& out,
                      const BindingTypeRegistry* registry,
                      std::string& error) {
    out = HostValue{};
    if (!ToHostValue(value, out, registry, &error)) {
        ::Kolm::ReleaseHostValue(out);
        return false;
    }
    return true;
}

BindingResult HostValueToValue(const HostValue& value, std::string_view name) {
    return FromHostValue(value, name);
}

}  // namespace Kolm
