// Compile-time description of native field types: which BindingTypeCode a C++ type has, its
// element code, which registered record it refers to, and the accessor that converts it when
// the built-in handling does not cover it (callbacks, containers of records or containers,
// optional values).
#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_type_info.h"
#include "binding/native_conversion.h"
#include "binding/static_type.h"

namespace Kolm {

// The type of a field that holds a callback; converted only through an accessor supplied with
// the callback type, so the registry records the code and nothing converts it.
struct BindingCallback {
    std::uint32_t id = 0;
};

template <class T>
struct BindingFieldType;

namespace FieldTypeDetail {

template <class T>
constexpr BindingTypeCode IntegerCode() {
    if constexpr (sizeof(T) == 1) {
        return std::is_signed_v<T> ? BindingTypeCode::Int8 : BindingTypeCode::UInt8;
    } else if constexpr (sizeof(T) == 2) {
        return std::is_signed_v<T> ? BindingTypeCode::Int16 : BindingTypeCode::UInt16;
    } else if constexpr (sizeof(T) == 4) {
        return std::is_signed_v<T> ? BindingTypeCode::Int32 : BindingTypeCode::UInt32;
    } else {
        static_assert(sizeof(T) == 8, "integer fields are 1, 2, 4 or 8 bytes");
        return std::is_signed_v<T> ? BindingTypeCode::Int64 : BindingTypeCode::UInt64;
    }
}

// The exact native type the direct conversion uses for each scalar code.
template <BindingTypeCode C>
struct NativeOf;
// clang-format off
template <> struct NativeOf<BindingTypeCode::Bool> { using type = bool; };
template <> struct NativeOf<BindingTypeCode::Int8> { using type = std::int8_t; };
template <> struct NativeOf<BindingTypeCode::UInt8> { using type = std::uint8_t; };
template <> struct NativeOf<BindingTypeCode::Int16> { using type = std::int16_t; };
template <> struct NativeOf<BindingTypeCode::UInt16> { using type = std::uint16_t; };
template <> struct NativeOf<BindingTypeCode::Int32> { using type = std::int32_t; };
template <> struct NativeOf<BindingTypeCode::UInt32> { using type = std::uint32_t; };
template <> struct NativeOf<BindingTypeCode::Int64> { using type = std::int64_t; };
template <> struct NativeOf<BindingTypeCode::UInt64> { using type = std::uint64_t; };
template <> struct NativeOf<BindingTypeCode::Float> { using type = float; };
template <> struct NativeOf<BindingTypeCode::Double> { using type = double; };
template <> struct NativeOf<BindingTypeCode::String> { using type = std::string; };
template <> struct NativeOf<BindingTypeCode::Object> { using type = BindingProperty; };
template <> struct NativeOf<BindingTypeCode::Blob> { using type = BindingBlob; };
// clang-format on

// True when T is exactly the native type the direct conversion expects for its scalar code, so
// containers of T can be converted without an accessor.
template <class T>
constexpr bool IsDirectScalar() {
    constexpr BindingTypeCode code = BindingFieldType<T>::kCode;
    if constexpr (code == BindingTypeCode::None || code >= BindingTypeCode::Vector) {
        return false;
    } else {
        return std::is_same_v<T, typename NativeOf<code>::type>;
    }
}

}  // namespace FieldTypeDetail

// Primary template: enumerations and registered structures.
template <class T>
struct BindingFieldType {
    static_assert(std::is_enum_v<T> || std::is_class_v<T>, "field type has no binding conversion");
    static constexpr BindingTypeCode kCode =
        std::is_enum_v<T> ? BindingTypeCode::Enum : BindingTypeCode::Struct;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    // The native type whose registered record the field refers to (void when none).
    using Referenced = T;
    static constexpr bool kNeedsAccessor = false;
};

template <>
struct BindingFieldType<bool> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::Bool;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    static constexpr bool kNeedsAccessor = false;
};

template <class T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) struct BindingFieldType<T> {
    static constexpr BindingTypeCode kCode = FieldTypeDetail::IntegerCode<T>();
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    // A `long long` where int64_t is `long` has the layout of its code but another type.
    static constexpr bool kNeedsAccessor = false;
};

template <class T>
requires std::is_floating_point_v<T>
struct BindingFieldType<T> {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "float fields are float or double");
    static constexpr BindingTypeCode kCode =
        sizeof(T) == 4 ? BindingTypeCode::Float : BindingTypeCode::Double;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    static constexpr bool kNeedsAccessor = false;
};

template <>
struct BindingFieldType<std::string> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::String;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    static constexpr bool kNeedsAccessor = false;
};

template <>
struct BindingFieldType<BindingProperty> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::Object;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    static constexpr bool kNeedsAccessor = false;
};

template <>
struct BindingFieldType<BindingBlob> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::Blob;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    static constexpr bool kNeedsAccessor = false;
};

template <>
struct BindingFieldType<BindingCallback> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::Callback;
    static constexpr BindingTypeCode kElementCode = BindingTypeCode::None;
    using Referenced = void;
    static constexpr bool kNeedsAccessor = true;
};

template <class E, class A>
struct BindingFieldType<std::vector<E, A>> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::Vector;
    static constexpr BindingTypeCode kElementCode = BindingFieldType<E>::kCode;
    using Referenced = std::conditional_t<kElementCode == BindingTypeCode::Enum ||
                                              kElementCode == BindingTypeCode::Struct,
                                          E,
                                          void>;
    static constexpr bool kNeedsAccessor =
        !std::is_same_v<A, std::allocator<E>> || !FieldTypeDetail::IsDirectScalar<E>();
};

template <class E>
struct BindingFieldType<std::unordered_map<std::string, E>> {
    static constexpr BindingTypeCode kCode = BindingTypeCode::Map;
    static constexpr BindingTypeCode kElementCode = BindingFieldType<E>::kCode;
    using Referenced = std::conditional_t<kElementCode == BindingTypeCode::Enum ||
                                              kElementCode == BindingTypeCode::Struct,
                                          E,
                                          void>;
    static constexpr bool kNeedsAccessor = !FieldTypeDetail::IsDirectScalar<E>();
};

template <class T>
struct BindingFieldType<std::optional<T>> {
    static constexpr BindingTypeCode kCode = BindingFieldType<T>::kCode;
    static constexpr BindingTypeCode kElementCode = BindingFieldType<T>::kElementCode;
    using Referenced = typename BindingFieldType<T>::Referenced;
    static constexpr bool kNeedsAccessor = true;
    static constexpr bool kOptional = true;
};

template <class T>
constexpr bool IsOptionalField() {
    if constexpr (requires { BindingFieldType<T>::kOptional; }) {
        return BindingFieldType<T>::kOptional;
    } else {
        return false;
    }
}

// Looks the registered record of a native type up by hash; null when T is void or unknown.
const BindingTypeInfo* FindRegisteredType(const BindingTypeRegistry* registry,
                                          const StaticTypeInfo& type);

namespace FieldTypeDetail {

// The BindingTypeId of T; `given` is used for the referenced record when the caller has it.
template <class T>
BindingTypeId TypeIdOf(const BindingTypeInfo* given, const BindingTypeRegistry* registry) {
    using Traits = BindingFieldType<T>;
    BindingTypeId id{Traits::kCode, Traits::kElementCode, nullptr};
    if constexpr (!std::is_void_v<typename Traits::Referenced>) {
        id.type = given != nullptr ? given
                                   : FindRegisteredType(
                                         registry, StaticType::Info<typename Traits::Referenced>());
    }
    return id;
}

// A registered structure converted by the built-in structure rule (not through an accessor).
template <class E>
constexpr bool IsPlainStructure() {
    return BindingFieldType<E>::kCode == BindingTypeCode::Struct &&
           !BindingFieldType<E>::kNeedsAccessor;
}

// The record the elements of a container refer to: `given` when the caller has it, else looked
// up once for the whole container.
template <class E>
const BindingTypeInfo* ElementRecord(const BindingTypeInfo* given,
                                     const BindingTypeRegistry* registry) {
    return given != nullptr ? given : TypeIdOf<E>(nullptr, registry).type;
}

template <class T>
void AssignTyped(BindingResult& result,
                 T& native,
                 const BindingProperty& input,
                 std::string_view name,
                 const BindingTypeInfo* given,
                 const BindingTypeRegistry* registry);
template <class T>
void ToValueTyped(BindingResult& status,
                  BindingProperty& out,
                  const T& native,
                  const BindingTypeInfo* given,
                  const BindingTypeRegistry* registry);

template <class T>
struct ContainerOps {
    static void Assign(BindingResult& result,
                       T& native,
                       const BindingProperty& input,
                       std::string_view name,
                       const BindingTypeInfo* given,
                       const BindingTypeRegistry* registry) {
        NativeConversion::Assign(result, &native, TypeIdOf<T>(given, registry), input, name,
                                 registry);
    }
    static void ToValue(BindingResult& status,
                        BindingProperty& out,
                        const T& native,
                        const BindingTypeInfo* given,
                        const BindingTypeRegistry* registry) {
        NativeConversion::ToValue(status, out, &native, TypeIdOf<T>(given, registry), registry);
    }
};

// A callback travels as its identifier, with the rules of an unsigned 32-bit field.
template <>
struct ContainerOps<BindingCallback> {
    static void Assign(BindingResult& result,
                       BindingCallback& native,
                       const BindingProperty& input,
                       std::string_view name,
                       const BindingTypeInfo*,
                       const BindingTypeRegistry* registry) {
        NativeConversion::Assign(result, &native.id, BindingTypeId{BindingTypeCode::UInt32}, input,
                                 name, registry);
    }
    static void ToValue(BindingResult&,
                        BindingProperty& out,
                        const BindingCallback& native,
                        const BindingTypeInfo*,
                        const BindingTypeRegistry*) {
        out = native.id;
    }
};

template <class E, class A>
struct ContainerOps<std::vector<E, A>> {
    using Vector = std::vector<E, A>;
    static void Assign(BindingResult& result,
                       Vector& native,
                       const BindingProperty& input,
                       std::string_view name,
                       const BindingTypeInfo* given,
                       const BindingTypeRegistry* registry) {
        native.clear();
        if (!NativeConversion::CheckVectorInput(result, input, name, std::is_same_v<E, bool>)) {
            return;
        }
        auto elements = input.Elements();
        native.resize(elements.size());
        const BindingTypeInfo* record = ElementRecord<E>(given, registry);
        NativeConversion::FieldKeyCache cache;
        for (std::size_t i = 0; i < elements.size() && result.success; ++i) {
            if (elements[i].IsEmpty()) {
                continue;
            }
            if constexpr (IsPlainStructure<E>()) {
                NativeConversion::AssignStructure(result, &native[i], record, elements[i], name,
                                                  &cache);
            } else {
                E element{};
                AssignTyped<E>(result, element, elements[i], name, record, registry);
                native[i] = std::move(element);
            }
        }
    }
    static void ToValue(BindingResult& status,
                        BindingProperty& out,
                        const Vector& native,
                        const BindingTypeInfo* given,
                        const BindingTypeRegistry* registry) {
        out.MakeCollection().Reserve(native.size());
        const BindingTypeInfo* record = ElementRecord<E>(given, registry);
        for (std::size_t i = 0; i < native.size(); ++i) {
            BindingProperty& slot = out.Append();
            if constexpr (IsPlainStructure<E>()) {
                // Each element takes its keys over from the one before.
                const BindingProperty* layout = i > 0 ? &out.Elements()[i - 1] : nullptr;
                NativeConversion::StructureToValue(status, slot, &native[i], record, layout);
            } else {
                ToValueTyped<E>(status, slot, native[i], record, registry);
            }
            if (!status.success) {
                return;
            }
        }
    }
};

template <class E>
struct ContainerOps<std::unordered_map<std::string, E>> {
    using Map = std::unordered_map<std::string, E>;
    static void Assign(BindingResult& result,
                       Map& native,
                       const BindingProperty& input,
                       std::string_view name,
                       const BindingTypeInfo* given,
                       const BindingTypeRegistry* registry) {
        native.clear();
        if (!NativeConversion::CheckMapInput(result, input, name)) {
            return;
        }
        const BindingTypeInfo* record = ElementRecord<E>(given, registry);
        for (const BindingEntry& entry : input.Entries()) {
            if (!result.success) {
                return;
            }
            if (!entry.Value().IsEmpty()) {
                E& element = native[std::string(entry.Key())];
                AssignTyped<E>(result, element, entry.Value(), name, record, registry);
            }
        }
    }
    static void ToValue(BindingResult& status,
                        BindingProperty& out,
                        const Map& native,
                        const BindingTypeInfo* given,
                        const BindingTypeRegistry* registry) {
        out.MakeStructure();
        const BindingTypeInfo* record = ElementRecord<E>(given, registry);
        for (const auto& [key, element] : native) {
            ToValueTyped<E>(status, out[key], element, record, registry);
            if (!status.success) {
                return;
            }
        }
    }
};

template <class T>
struct ContainerOps<std::optional<T>> {
    static void Assign(BindingResult& result,
                       std::optional<T>& native,
                       const BindingProperty& input,
                       std::string_view name,
                       const BindingTypeInfo* given,
                       const BindingTypeRegistry* registry) {
        if (input.IsEmpty()) {
            native.reset();
            return;
        }
        if (!native.has_value()) {
            native.emplace();
        }
        AssignTyped<T>(result, *native, input, name, given, registry);
    }
    static void ToValue(BindingResult& status,
                        BindingProperty& out,
                        const std::optional<T>& native,
                        const BindingTypeInfo* given,
                        const BindingTypeRegistry* registry) {
        if (native.has_value()) {
            ToValueTyped<T>(status, out, *native, given, registry);
        }
    }
};

template <class T>
void AssignTyped(BindingResult& result,
                 T& native,
                 const BindingProperty& input,
                 std::string_view name,
                 const BindingTypeInfo* given,
                 const BindingTypeRegistry* registry) {
    if constexpr (!BindingFieldType<T>::kNeedsAccessor) {
        NativeConversion::Assign(result, &native, TypeIdOf<T>(given, registry), input, name,
                                 registry);
    } else {
        ContainerOps<T>::Assign(result, native, input, name, given, registry);
    }
}

template <class T>
void ToValueTyped(BindingResult& status,
                  BindingProperty& out,
                  const T& native,
                  const BindingTypeInfo* given,
                  const BindingTypeRegistry* registry) {
    if constexpr (!BindingFieldType<T>::kNeedsAccessor) {
        NativeConversion::ToValue(status, out, &native, TypeIdOf<T>(given, registry), registry);
    } else {
        ContainerOps<T>::ToValue(status, out, native, given, registry);
    }
}

// The accessor of a field of native type T. For a container of records, `type` is the record
// its elements refer to as the field found it at registration. Like a direct field's, that record
// is final: when it was missing then, nothing is looked up now (no registry is passed on), so
// the elements fail as unregistered instead of finding a type registered after the field.
template <class T>
class TypedAccessor final : public BindingFieldAccessor {
  public:
    void AssignFromValue(BindingResult& result,
                         void* field,
                         const BindingProperty& input,
                         std::string_view name,
                         const BindingTypeInfo* type,
                         const BindingTypeRegistry* registry) const override {
        ContainerOps<T>::Assign(result, *static_cast<T*>(field), input, name, type,
                                LookupRegistry(type, registry));
    }
    void ConvertToValue(BindingResult& status,
                        BindingProperty& out,
                        const void* field,
                        const BindingTypeInfo* type,
                        const BindingTypeRegistry* registry) const override {
        ContainerOps<T>::ToValue(status, out, *static_cast<const T*>(field), type,
                                 LookupRegistry(type, registry));
    }

  private:
    static const BindingTypeRegistry* LookupRegistry(const BindingTypeInfo* type,
                                                     const BindingTypeRegistry* registry) {
        if constexpr (std::is_void_v<typename BindingFieldType<T>::Referenced>) {
            return registry;  // nested containers: their records are looked up by hash
        } else {
            return type != nullptr ? registry : nullptr;
        }
    }
};

}  // namespace FieldTypeDetail

// The BindingTypeId of native type T, as AddField records it; the referenced record is looked up
// by the hash of T (or of its element type).
template <class T>
BindingTypeId BindingTypeIdOf(const BindingTypeRegistry& registry) {
    return FieldTypeDetail::TypeIdOf<T>(nullptr, &registry);
}

// The accessor attached to every field of native type T (framework heap).
template <class T>
BindingAccessorPtr MakeFieldAccessor() {
    void* memory = FrameworkAlloc(sizeof(FieldTypeDetail::TypedAccessor<T>));
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return BindingAccessorPtr(new (memory) FieldTypeDetail::TypedAccessor<T>());
}

}  // namespace Kolm
