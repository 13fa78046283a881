// Conversion between native records and BindingProperty trees through the registry:
// ToBinding walks a registered structure field by field into a Structure value, FromBinding
// assigns a value to a native record. Every failure is reported in the returned BindingResult
// (the first failure of a walk wins); nothing is thrown for bad input.
//
//   Kolm::BindingResult value = Kolm::ToBinding(club, registry);
//   Kolm::BindingResult assigned = Kolm::FromBinding(body, club, "club", registry);
//
// A failed FromBinding leaves the fields assigned before the failure in place.
#pragma once

#include <string_view>

#include "binding/binding_field_type.h"
#include "binding/binding_property.h"
#include "binding/binding_type_info.h"
#include "binding/binding_type_registry.h"
#include "binding/host_value_conversion.h"
#include "binding/native_conversion.h"

namespace Kolm {

// Registered structures by their record (null: unregistered).
BindingResult ToBinding(const void* record, const BindingTypeInfo* type);
BindingResult FromBinding(const BindingProperty& value,
                          void* record,
                          std::string_view name,
                          const BindingTypeInfo* type);

// A registered structure found by its native type's hash.
template <class S>
requires std::is_class_v<S> BindingResult ToBinding(const S& record,
                                                    const BindingTypeRegistry& registry) {
    return ToBinding(&record, registry.FindType<S>());
}
template <class S>
requires std::is_class_v<S> BindingResult FromBinding(const BindingProperty& value,
                                                      S& record,
                                                      std::string_view name,
                                                      const BindingTypeRegistry& registry) {
    return FromBinding(value, &record, name, registry.FindType<S>());
}

// Any native type with a field type (scalars, texts, BindingProperty, blobs, enumerations,
// structures, vectors, maps, optionals), with the same rules as a field of that type. Used for
// arguments and results. An Empty input is judged by the type's own rule: scalars, texts,
// blobs, enumerations, structures and vectors of bool require a value, other vectors and maps
// want their container, an object takes the Empty value and an optional becomes absent.
template <class T>
BindingResult ConvertToBinding(const T& native, const BindingTypeRegistry* registry) {
    BindingResult result;
    if constexpr (BindingFieldType<T>::kCode == BindingTypeCode::Struct &&
                  !BindingFieldType<T>::kNeedsAccessor) {
        NativeConversion::StructureToValue(result, result.value, &native,
                                           FieldTypeDetail::TypeIdOf<T>(nullptr, registry).type);
    } else {
        FieldTypeDetail::ToValueTyped<T>(result, result.value, native, nullptr, registry);
    }
    return result;
}
template <class T>
BindingResult ConvertFromBinding(const BindingProperty& value,
                                 T& native,
                                 std::string_view name,
                                 const BindingTypeRegistry* registry) {
    BindingResult result;
    if constexpr (BindingFieldType<T>::kCode == BindingTypeCode::Struct &&
                  !BindingFieldType<T>::kNeedsAccessor) {
        NativeConversion::AssignStructure(
            result, &native, FieldTypeDetail::TypeIdOf<T>(nullptr, registry).type, value, name);
    } else {
        FieldTypeDetail::AssignTyped<T>(result, native, value, name, nullptr, registry);
    }
    return result;
}

// The same under the names ToBinding and FromBinding, for any supported native type.
template <class T>
BindingResult ToBinding(const T& native, const BindingTypeRegistry* registry) {
    return ConvertToBinding<T>(native, registry);
}
template <class T>
BindingResult FromBinding(const BindingProperty& value,
                          T& native,
                          std::string_view name,
                          const BindingTypeRegistry* registry) {
    return ConvertFromBinding<T>(value, native, name, registry);
}

}  // namespace Kolm
