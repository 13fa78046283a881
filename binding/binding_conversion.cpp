#include "binding/binding_conversion.h"

namespace Kolm {

BindingResult ToBinding(const void* record, const BindingTypeInfo* type) {
    BindingResult result;
    NativeConversion::StructureToValue(result, result.value, record, type);
    return result;
}

BindingResult FromBinding(const BindingProperty& value,
                          void* record,
                          std::string_view name,
                          const BindingTypeInfo* type) {
    BindingResult result;
    NativeConversion::AssignStructure(result, record, type, value, name);
    return result;
}

}  // namespace Kolm
