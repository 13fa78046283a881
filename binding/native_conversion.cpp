#include "binding/native_conversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/base64.h"
#include "binding/binding_type_registry.h"
#include "logging/message_format.h"

namespace Kolm::NativeConversion {
namespace {

constexpr const char* kRequired = "A value for '%1' is required.";
constexpr const char* kUnregisteredInput =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a "
    "structure at all.";
constexpr const char* kNotStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
constexpr const char* kMissingRequired =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required "
    "field '%3'.";
constexpr const char* kUnregisteredNative =
    "Couldn't convert native value because it's an unregistered structure.";
constexpr const char* kOutOfRange = "Value %1 for '%2' of type %3 is out of range";
constexpr const char* kIncorrectFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
constexpr const char* kInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
constexpr const char* kBoolFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", "
    "\"1\", \"0\".";
constexpr const char* kBoolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
constexpr const char* kNoEnumName = "%1 is not a valid enumeration value for '%2'.";
constexpr const char* kNotString =
    "Couldn't assign value to '%1' because the input is not a string.";
constexpr const char* kBadBase64 =
    "Couldn't assign string value to '%1' of type blob because the input has invalid base64 "
    "characters.";
constexpr const char* kNotBlob =
    "Couldn't assign value to '%1' of type blob because the input is not a blob.";
constexpr const char* kNotEnumValue = "%1 is not a valid %2 enumeration value for '%3'.";
constexpr const char* kEnumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
constexpr const char* kNotCollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
constexpr const char* kMapNotStructure =
    "Couldn't assign value to '%1' of type map because the input not a structure.";

template <class... Args>
void Fail(BindingResult& result, const char* templateText, const Args&... args) {
    result.Fail(Format(templateText, args...));
}

void FailInvalidType(BindingResult& result,
                     std::string_view name,
                     const char* typeName,
                     BindingKind kind) {
    Fail(result, kInvalidType, name, typeName, BindingKindName(kind));
}

// How a text parses as a number: fully, with characters left over, or outside the range.
enum class ParseOutcome { Parsed, Leftover, Overflow };

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The C parsers stop at the first zero; a text with a zero inside has characters left over.
template <class T, class Parse>
ParseOutcome ParseNumber(const BindingProperty& input, T& value, Parse parse) {
    const char* text = input.GetCString();
    const std::size_t length = input.Size();
    char* end = nullptr;
    errno = 0;
    value = parse(text, &end);
    const bool overflow = errno == ERANGE;
    if (end != text + length) {
        return ParseOutcome::Leftover;
    }
    return overflow ? ParseOutcome::Overflow : ParseOutcome::Parsed;
}

struct IntegerRange {
    std::int64_t min;
    std::uint64_t max;
};

IntegerRange RangeOf(BindingTypeCode code) {
    switch (code) {
        case BindingTypeCode::Int8:
            return {INT8_MIN, INT8_MAX};
        case BindingTypeCode::UInt8:
            return {0, UINT8_MAX};
        case BindingTypeCode::Int16:
            return {INT16_MIN, INT16_MAX};
        case BindingTypeCode::UInt16:
            return {0, UINT16_MAX};
        case BindingTypeCode::Int32:
            return {INT32_MIN, INT32_MAX};
        case BindingTypeCode::UInt32:
            return {0, UINT32_MAX};
        case BindingTypeCode::Int64:
            return {INT64_MIN, INT64_MAX};
        default:
            return {0, UINT64_MAX};
    }
}

void StoreInteger(void* native, BindingTypeCode code, std::uint64_t bits) {
    switch (code) {
        case BindingTypeCode::Int8:
        case BindingTypeCode::UInt8: {
            const auto value = static_cast<std::uint8_t>(bits);
            std::memcpy(native, &value, 1);
            break;
        }
        case BindingTypeCode::Int16:
        case BindingTypeCode::UInt16: {
            const auto value = static_cast<std::uint16_t>(bits);
            std::memcpy(native, &value, 2);
            break;
        }
        case BindingTypeCode::Int32:
        case BindingTypeCode::UInt32: {
            const auto value = static_cast<std::uint32_t>(bits);
            std::memcpy(native, &value, 4);
            break;
        }
        default:
            std::memcpy(native, &bits, 8);
            break;
    }
}

// Whether a double lies in [min, max] of an integer code, with the bounds taken as doubles.
// The top bound of the 64-bit codes rounds up to 2^63 or 2^64, which does not fit: it is
// excluded so that every accepted double converts without overflow.
bool DoubleInRange(double value, const IntegerRange& range, bool isSigned) {
    const double low = isSigned ? static_cast<double>(range.min) : 0.0;
    const double high = static_cast<double>(range.max);
    if (!(value >= low && value <= high)) {
        return false;
    }
    const bool topIsPowerOfTwo = range.max == UINT64_MAX || range.max == INT64_MAX;
    return !(topIsPowerOfTwo && value == high);
}

void AssignSignedInteger(BindingResult& result,
                         void* native,
                         BindingTypeCode code,
                         const BindingProperty& input,
                         std::string_view name) {
    const IntegerRange range = RangeOf(code);
    const auto max = static_cast<std::int64_t>(range.max);
    const char* typeName = BindingTypeCodeName(code);
    std::int64_t value = 0;
    switch (input.Kind()) {
        case BindingKind::Empty:
            Fail(result, kRequired, name);
            return;
        case BindingKind::Signed:
        case BindingKind::Enum:
            value = input.IsEnum() ? input.GetEnum().value : input.GetSigned();
            if (value < range.min || value > max) {
                Fail(result, kOutOfRange, value, name, typeName);
                return;
            }
            break;
        case BindingKind::Unsigned:
            if (input.GetUnsigned() > range.max) {
                Fail(result, kOutOfRange, input.GetUnsigned(), name, typeName);
                return;
            }
            value = static_cast<std::int64_t>(input.GetUnsigned());
            break;
        case BindingKind::Float: {
            const double number = input.GetFloat();
            if (!DoubleInRange(number, range, true)) {
                Fail(result, kOutOfRange, number, name, typeName);
                return;
            }
            value = static_cast<std::int64_t>(number);
            break;
        }
        case BindingKind::String: {
            long long parsed = 0;
            const ParseOutcome outcome = ParseNumber(
                input, parsed,
                [](const char* text, char** end) { return std::strtoll(text, end, 0); });
            if (outcome == ParseOutcome::Leftover) {
                Fail(result, kIncorrectFormat, input.GetString(), name, typeName);
                return;
            }
            if (outcome == ParseOutcome::Overflow || parsed < range.min || parsed > max) {
                Fail(result, kOutOfRange, input.GetString(), name, typeName);
                return;
            }
            value = parsed;
            break;
        }
        default:
            FailInvalidType(result, name, typeName, input.Kind());
            return;
    }
    StoreInteger(native, code, static_cast<std::uint64_t>(value));
}

// strtoull accepts a sign and wraps negative texts around; a minus after the leading blanks is
// therefore out of range rather than a huge number.
bool StartsNegative(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return i < text.size() && text[i] == '-';
}

void AssignUnsignedInteger(BindingResult& result,
                           void* native,
                           BindingTypeCode code,
                           const BindingProperty& input,
                           std::string_view name) {
    const IntegerRange range = RangeOf(code);
    const char* typeName = BindingTypeCodeName(code);
    std::uint64_t value = 0;
    switch (input.Kind()) {
        case BindingKind::Empty:
            Fail(result, kRequired, name);
            return;
        case BindingKind::Signed:
        case BindingKind::Enum: {
            const std::int64_t number = input.IsEnum() ? input.GetEnum().value : input.GetSigned();
            if (number < 0 || static_cast<std::uint64_t>(number) > range.max) {
                Fail(result, kOutOfRange, number, name, typeName);
                return;
            }
            value = static_cast<std::uint64_t>(number);
            break;
        }
        case BindingKind::Unsigned:
            value = input.GetUnsigned();
            if (value > range.max) {
                Fail(result, kOutOfRange, value, name, typeName);
                return;
            }
            break;
        case BindingKind::Float: {
            const double number = input.GetFloat();
            if (!DoubleInRange(number, range, false)) {
                Fail(result, kOutOfRange, number, name, typeName);
                return;
            }
            value = static_cast<std::uint64_t>(number);
            break;
        }
        case BindingKind::String: {
            unsigned long long parsed = 0;
            const ParseOutcome outcome = ParseNumber(
                input, parsed,
                [](const char* text, char** end) { return std::strtoull(text, end, 0); });
            if (outcome == ParseOutcome::Leftover) {
                Fail(result, kIncorrectFormat, input.GetString(), name, typeName);
                return;
            }
            if (outcome == ParseOutcome::Overflow || parsed > range.max ||
                StartsNegative(input.GetString())) {
                Fail(result, kOutOfRange, input.GetString(), name, typeName);
                return;
            }
            value = parsed;
            break;
        }
        default:
            FailInvalidType(result, name, typeName, input.Kind());
            return;
    }
    StoreInteger(native, code, value);
}

void AssignFloatingPoint(BindingResult& result,
                         void* native,
                         BindingTypeCode code,
                         const BindingProperty& input,
                         std::string_view name) {
    const bool single = code == BindingTypeCode::Float;
    const double limit = single ? 3.4028234663852886e38 : 1.7976931348623157e308;
    const char* typeName = BindingTypeCodeName(code);
    double value = 0;
    switch (input.Kind()) {
        case BindingKind::Empty:
            Fail(result, kRequired, name);
            return;
        case BindingKind::Signed:
            value = static_cast<double>(input.GetSigned());
            break;
        case BindingKind::Unsigned:
            value = static_cast<double>(input.GetUnsigned());
            break;
        case BindingKind::Enum:
            value = input.GetEnum().value;
            break;
        case BindingKind::Float:
            value = input.GetFloat();
            if (!(value >= -limit && value <= limit)) {
                Fail(result, kOutOfRange, value, name, typeName);
                return;
            }
            break;
        case BindingKind::String: {
            const ParseOutcome outcome = ParseNumber(
                input, value, [](const char* text, char** end) { return std::strtod(text, end); });
            if (outcome == ParseOutcome::Leftover) {
                Fail(result, kIncorrectFormat, input.GetString(), name, typeName);
                return;
            }
            // ERANGE also reports an underflow to a tiny number, which is in range.
            const bool overflow = outcome == ParseOutcome::Overflow && std::fabs(value) > 1.0;
            if (overflow || !(value >= -limit && value <= limit)) {
                Fail(result, kOutOfRange, input.GetString(), name, typeName);
                return;
            }
            break;
        }
        default:
            FailInvalidType(result, name, typeName, input.Kind());
            return;
    }
    if (single) {
        *static_cast<float*>(native) = static_cast<float>(value);
    } else {
        *static_cast<double*>(native) = value;
    }
}

void AssignBool(BindingResult& result,
                bool& native,
                const BindingProperty& input,
                std::string_view name) {
    switch (input.Kind()) {
        case BindingKind::Empty:
            Fail(result, kRequired, name);
            return;
        case BindingKind::Bool:
            native = input.GetBool();
            return;
        case BindingKind::String: {
            const std::string_view text = input.GetString();
            if (text == "1" || text == "true") {
                native = true;
            } else if (text == "0" || text == "false") {
                native = false;
            } else {
                Fail(result, kBoolFormat, text, name);
            }
            return;
        }
        default:
            Fail(result, kBoolInvalidType, name, BindingKindName(input.Kind()));
            return;
    }
}

void AssignString(BindingResult& result,
                  std::string& native,
                  const BindingProperty& input,
                  std::string_view name,
                  const BindingTypeRegistry* registry) {
    switch (input.Kind()) {
        case BindingKind::Empty:
            Fail(result, kRequired, name);
            return;
        case BindingKind::String:
            native.assign(input.GetString());
            return;
        case BindingKind::Enum: {
            const BindingEnumRecord record = input.GetEnum();
            const BindingTypeInfo* type = record.type != nullptr && registry != nullptr
                                              ? registry->FindTypeByHash(*record.type)
                                              : nullptr;
            const BindingEnumValue* value =
                type != nullptr ? type->FindValue(record.value) : nullptr;
            if (value == nullptr) {
                Fail(result, kNoEnumName, record.value, name);
                return;
            }
            native.assign(value->name.data(), value->name.size());
            return;
        }
        default:
            Fail(result, kNotString, name);
            return;
    }
}

void AssignBlob(BindingResult& result,
                BindingBlob& native,
                const BindingProperty& input,
                std::string_view name) {
    switch (input.Kind()) {
        case BindingKind::Empty:
            Fail(result, kRequired, name);
            return;
        case BindingKind::Blob: {
            const auto bytes = input.GetBlob();
            native.assign(bytes.begin(), bytes.end());
            return;
        }
        case BindingKind::String:
            if (!Base64::HasOnlyBase64Characters(input.GetString())) {
                Fail(result, kBadBase64, name);
                return;
            }
            native = Base64::Decode(input.GetString());
            return;
        default:
            Fail(result, kNotBlob, name);
            return;
    }
}

void StoreEnum(void* native, std::uint32_t size, std::int32_t value) {
    switch (size) {
        case 1: {
            const auto narrow = static_cast<std::int8_t>(value);
            std::memcpy(native, &narrow, 1);
            break;
        }
        case 2: {
            const auto narrow = static_cast<std::int16_t>(value);
            std::memcpy(native, &narrow, 2);
            break;
        }
        case 8: {
            const std::int64_t wide = value;
            std::memcpy(native, &wide, 8);
            break;
        }
        default:
            std::memcpy(native, &value, 4);
            break;
    }
}

std::int32_t LoadEnum(const void* native, std::uint32_t size) {
    switch (size) {
        case 1: {
            std::int8_t value;
            std::memcpy(&value, native, 1);
            return value;
        }
        case 2: {
            std::int16_t value;
            std::memcpy(&value, native, 2);
            return value;
        }
        case 8: {
            std::int64_t value;
            std::memcpy(&value, native, 8);
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        }
        default: {
            std::int32_t value;
            std::memcpy(&value, native, 4);
            return value;
        }
    }
}

void AssignEnum(BindingResult& result,
                void* native,
                const BindingTypeInfo* type,
                const BindingProperty& input,
                std::string_view name) {
    if (input.IsEmpty()) {
        Fail(result, kRequired, name);
        return;
    }
    if (type == nullptr) {
        Fail(result, kUnregisteredInput, name);
        return;
    }
    const BindingEnumValue* value = nullptr;
    switch (input.Kind()) {
        case BindingKind::Signed:
        case BindingKind::Unsigned: {
            const std::uint64_t bits = input.IsSigned()
                                           ? static_cast<std::uint64_t>(input.GetSigned())
                                           : input.GetUnsigned();
            const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
            value = type->FindValue(low);
            if (value == nullptr) {
                if (input.IsSigned()) {
                    Fail(result, kNotEnumValue, input.GetSigned(), type->name, name);
                } else {
                    Fail(result, kNotEnumValue, input.GetUnsigned(), type->name, name);
                }
                return;
            }
            break;
        }
        case BindingKind::Enum:
            value = type->FindValue(input.GetEnum().value);
            if (value == nullptr) {
                Fail(result, kNotEnumValue, input.GetEnum().value, type->name, name);
                return;
            }
            break;
        case BindingKind::String: {
            value = type->FindValue(input.GetString());
            if (value == nullptr) {
                long long parsed = 0;
                const ParseOutcome outcome = ParseNumber(
                    input, parsed,
                    [](const char* text, char** end) { return std::strtoll(text, end, 0); });
                if (outcome == ParseOutcome::Parsed && parsed >= INT32_MIN && parsed <= INT32_MAX) {
                    value = type->FindValue(static_cast<std::int32_t>(parsed));
                }
            }
            if (value == nullptr) {
                Fail(result, kNotEnumValue, input.GetString(), type->name, name);
                return;
            }
            break;
        }
        default:
            Fail(result, kEnumInvalidType, name, BindingKindName(input.Kind()));
            return;
    }
    StoreEnum(native, type->size, value->value);
}

template <class T>
void AssignScalarVector(BindingResult& result,
                        void* native,
                        const BindingTypeId& element,
                        const BindingProperty& input,
                        std::string_view name,
                        const BindingTypeRegistry* registry) {
    auto& vector = *static_cast<std::vector<T>*>(native);
    vector.clear();
    if (!CheckVectorInput(result, input, name, std::is_same_v<T, bool>)) {
        return;
    }
    const auto elements = input.Elements();
    vector.resize(elements.size());
    for (std::size_t i = 0; i < elements.size() && result.success; ++i) {
        if (!elements[i].IsEmpty()) {
            T value{};
            Assign(result, &value, element, elements[i], name, registry);
            vector[i] = std::move(value);
        }
    }
}

template <class T>
void AssignScalarMap(BindingResult& result,
                     void* native,
                     const BindingTypeId& element,
                     const BindingProperty& input,
                     std::string_view name,
                     const BindingTypeRegistry* registry) {
    auto& map = *static_cast<std::unordered_map<std::string, T>*>(native);
    map.clear();
    if (!CheckMapInput(result, input, name)) {
        return;
    }
    for (const BindingEntry& entry : input.Entries()) {
        if (!result.success) {
            return;
        }
        if (!entry.Value().IsEmpty()) {
            Assign(result, &map[std::string(entry.Key())], element, entry.Value(), name, registry);
        }
    }
}

template <class T>
void ScalarVectorToValue(BindingResult& status,
                         BindingProperty& out,
                         const void* native,
                         const BindingTypeId& element,
                         const BindingTypeRegistry* registry) {
    const auto& vector = *static_cast<const std::vector<T>*>(native);
    out.MakeCollection().Reserve(vector.size());
    for (std::size_t i = 0; i < vector.size(); ++i) {
        const T value = vector[i];  // std::vector<bool> has no addressable elements
        ToValue(status, out.Append(), &value, element, registry);
        if (!status.success) {
            return;
        }
    }
}

template <class T>
void ScalarMapToValue(BindingResult& status,
                      BindingProperty& out,
                      const void* native,
                      const BindingTypeId& element,
                      const BindingTypeRegistry* registry) {
    const auto& map = *static_cast<const std::unordered_map<std::string, T>*>(native);
    out.MakeStructure();
    for (const auto& [key, value] : map) {
        ToValue(status, out[key], &value, element, registry);
        if (!status.success) {
            return;
        }
    }
}

// Calls `visit.template operator()<T>()` with the native type of a scalar element code.
template <class Visit>
bool WithScalarType(BindingTypeCode code, Visit&& visit) {
    switch (code) {
        case BindingTypeCode::Bool:
            visit.template operator()<bool>();
            return true;
        case BindingTypeCode::Int8:
            visit.template operator()<std::int8_t>();
            return true;
        case BindingTypeCode::UInt8:
            visit.template operator()<std::uint8_t>();
            return true;
        case BindingTypeCode::Int16:
            visit.template operator()<std::int16_t>();
            return true;
        case BindingTypeCode::UInt16:
            visit.template operator()<std::uint16_t>();
            return true;
        case BindingTypeCode::Int32:
            visit.template operator()<std::int32_t>();
            return true;
        case BindingTypeCode::UInt32:
            visit.template operator()<std::uint32_t>();
            return true;
        case BindingTypeCode::Int64:
            visit.template operator()<std::int64_t>();
            return true;
        case BindingTypeCode::UInt64:
            visit.template operator()<std::uint64_t>();
            return true;
        case BindingTypeCode::Float:
            visit.template operator()<float>();
            return true;
        case BindingTypeCode::Double:
            visit.template operator()<double>();
            return true;
        case BindingTypeCode::String:
            visit.template operator()<std::string>();
            return true;
        case BindingTypeCode::Object:
            visit.template operator()<BindingProperty>();
            return true;
        case BindingTypeCode::Blob:
            visit.template operator()<BindingBlob>();
            return true;
        default:
            return false;
    }
}

template <class T>
T Load(const void* native) {
    T value;
    std::memcpy(&value, native, sizeof(T));
    return value;
}

// The input entry for a field: where a structure holding exactly the type's fields keeps it,
// else found by key.
const BindingProperty& FieldEntry(const BindingProperty& input,
                                  const BindingTypeInfo& type,
                                  std::size_t fieldIndex) {
    const BindingFieldInfo& field = type.fields[fieldIndex];
    const auto entries = input.Entries();
    if (type.fieldNamesUnique && entries.size() == type.fields.size()) {
        const BindingEntry& candidate = entries[type.fieldKeyRanks[fieldIndex]];
        if (candidate.KeyHash() == field.nameHash && candidate.Key().size() == field.name.size() &&
            BytesEqual(candidate.KeyCString(), field.name.data(), field.name.size())) {
            return candidate.Value();
        }
    }
    return input.Find(field.Key());
}

}  // namespace

void FailRequired(BindingResult& result, std::string_view name) {
    Fail(result, kRequired, name);
}

void FailUnregisteredToValue(BindingResult& result) {
    Fail(result, kUnregisteredNative);
}

bool CheckVectorInput(BindingResult& result,
                      const BindingProperty& input,
                      std::string_view name,
                      bool elementIsBool) {
    if (input.IsCollection()) {
        return true;
    }
    if (elementIsBool && input.IsEmpty()) {
        Fail(result, kRequired, name);
    } else {
        Fail(result, kNotCollection, name);
    }
    return false;
}

bool CheckMapInput(BindingResult& result, const BindingProperty& input, std::string_view name) {
    if (input.IsStructure()) {
        return true;
    }
    Fail(result, kMapNotStructure, name);
    return false;
}

void Assign(BindingResult& result,
            void* native,
            const BindingTypeId& type,
            const BindingProperty& input,
            std::string_view name,
            const BindingTypeRegistry* registry) {
    switch (type.code) {
        case BindingTypeCode::Bool:
            AssignBool(result, *static_cast<bool*>(native), input, name);
            return;
        case BindingTypeCode::Int8:
        case BindingTypeCode::Int16:
        case BindingTypeCode::Int32:
        case BindingTypeCode::Int64:
            AssignSignedInteger(result, native, type.code, input, name);
            return;
        case BindingTypeCode::UInt8:
        case BindingTypeCode::UInt16:
        case BindingTypeCode::UInt32:
        case BindingTypeCode::UInt64:
            AssignUnsignedInteger(result, native, type.code, input, name);
            return;
        case BindingTypeCode::Float:
        case BindingTypeCode::Double:
            AssignFloatingPoint(result, native, type.code, input, name);
            return;
        case BindingTypeCode::String:
            AssignString(result, *static_cast<std::string*>(native), input, name, registry);
            return;
        case BindingTypeCode::Object:
            *static_cast<BindingProperty*>(native) = input;
            return;
        case BindingTypeCode::Blob:
            AssignBlob(result, *static_cast<BindingBlob*>(native), input, name);
            return;
        case BindingTypeCode::Enum:
            AssignEnum(result, native, type.type, input, name);
            return;
        case BindingTypeCode::Struct:
            AssignStructure(result, native, type.type, input, name);
            return;
        case BindingTypeCode::Vector:
        case BindingTypeCode::Map: {
            const BindingTypeId element{type.elementCode, BindingTypeCode::None, type.type};
            const bool vector = type.code == BindingTypeCode::Vector;
            const bool known = WithScalarType(type.elementCode, [&]<class T>() {
                if (vector) {
                    AssignScalarVector<T>(result, native, element, input, name, registry);
                } else {
                    AssignScalarMap<T>(result, native, element, input, name, registry);
                }
            });
            if (!known) {
                Fail(result, kUnregisteredInput, name);
            }
            return;
        }
        default:
            // Callbacks and anything without a built-in form convert only through an accessor.
            Fail(result, kUnregisteredInput, name);
            return;
    }
}

void ToValue(BindingResult& status,
             BindingProperty& out,
             const void* native,
             const BindingTypeId& type,
             const BindingTypeRegistry* registry) {
    switch (type.code) {
        case BindingTypeCode::Bool:
            out = Load<bool>(native);
            return;
        case BindingTypeCode::Int8:
            out = Load<std::int8_t>(native);
            return;
        case BindingTypeCode::UInt8:
            out = Load<std::uint8_t>(native);
            return;
        case BindingTypeCode::Int16:
            out = Load<std::int16_t>(native);
            return;
        case BindingTypeCode::UInt16:
            out = Load<std::uint16_t>(native);
            return;
        case BindingTypeCode::Int32:
            out = Load<std::int32_t>(native);
            return;
        case BindingTypeCode::UInt32:
            out = Load<std::uint32_t>(native);
            return;
        case BindingTypeCode::Int64:
            out = Load<std::int64_t>(native);
            return;
        case BindingTypeCode::UInt64:
            out = Load<std::uint64_t>(native);
            return;
        case BindingTypeCode::Float:
            out = static_cast<double>(Load<float>(native));
            return;
        case BindingTypeCode::Double:
            out = Load<double>(native);
            return;
        case BindingTypeCode::String:
            out = *static_cast<const std::string*>(native);
            return;
        case BindingTypeCode::Object:
            out = *static_cast<const BindingProperty*>(native);
            return;
        case BindingTypeCode::Blob:
            out = std::span<const std::uint8_t>(*static_cast<const BindingBlob*>(native));
            return;
        case BindingTypeCode::Enum:
            if (type.type == nullptr) {
                Fail(status, kUnregisteredNative);
                return;
            }
            out = BindingEnumRecord{LoadEnum(native, type.type->size), type.type->staticType};
            return;
        case BindingTypeCode::Struct:
            StructureToValue(status, out, native, type.type);
            return;
        case BindingTypeCode::Vector:
        case BindingTypeCode::Map: {
            const BindingTypeId element{type.elementCode, BindingTypeCode::None, type.type};
            const bool vector = type.code == BindingTypeCode::Vector;
            const bool known = WithScalarType(type.elementCode, [&]<class T>() {
                if (vector) {
                    ScalarVectorToValue<T>(status, out, native, element, registry);
                } else {
                    ScalarMapToValue<T>(status, out, native, element, registry);
                }
            });
            if (!known) {
                Fail(status, kUnregisteredNative);
            }
            return;
        }
        default:
            Fail(status, kUnregisteredNative);
            return;
    }
}

const BindingProperty& FieldKeyCache::FindAndRemember(const BindingProperty& input,
                                                      const BindingTypeInfo& type,
                                                      std::size_t index) {
    if (arena_ != input.Arena() || slots_.size() != type.fields.size()) {
        arena_ = input.Arena();
        slots_.assign(type.fields.size(), Slot{});
    }
    Slot& slot = slots_[index];
    const auto entries = input.Entries();
    const BindingProperty& found = FieldEntry(input, type, index);
    if (!entries.empty()) {
        // Entries are contiguous, so the found value's place follows from its address.
        const auto* first = reinterpret_cast<const char*>(&entries.front().Value());
        const auto* at = reinterpret_cast<const char*>(&found);
        const auto* end = reinterpret_cast<const char*>(&entries.back().Value());
        if (at >= first && at <= end) {
            const auto position = static_cast<std::uint32_t>(static_cast<std::size_t>(at - first) /
                                                             sizeof(BindingEntry));
            slot.key = entries[position].KeyText();
            slot.position = position;
        }
    }
    return found;
}

void AssignStructure(BindingResult& result,
                     void* record,
                     const BindingTypeInfo* type,
                     const BindingProperty& input,
                     std::string_view name,
                     FieldKeyCache* cache) {
    if (input.IsEmpty()) {
        Fail(result, kRequired, name);
        return;
    }
    if (type == nullptr || type->isEnum) {
        Fail(result, kUnregisteredInput, name);
        return;
    }
    if (!input.IsStructure()) {
        Fail(result, kNotStructure, name, type->name);
        return;
    }
    for (std::size_t i = 0; i < type->fields.size() && result.success; ++i) {
        const BindingFieldInfo& field = type->fields[i];
        const BindingProperty& entry =
            cache != nullptr ? cache->Find(input, *type, i) : FieldEntry(input, *type, i);
        if (!entry.IsEmpty()) {
            AssignField(result, record, field, entry);
        } else if ((field.flags & FieldRequired) != 0) {
            Fail(result, kMissingRequired, name, type->name, field.name);
        }
    }
}

void StructureToValue(BindingResult& status,
                      BindingProperty& out,
                      const void* record,
                      const BindingTypeInfo* type,
                      const BindingProperty* layout) {
    if (type == nullptr || type->isEnum) {
        Fail(status, kUnregisteredNative);
        return;
    }
    const bool sameLayout = layout != nullptr && layout->Arena() == out.Arena() &&
                            layout->IsStructure() && layout->Size() == type->fields.size();
    out.Clear();
    out.MakeStructure();
    if (!sameLayout) {
        out.ReserveEntries(type->fields.size());
    }
    if (!type->fieldNamesUnique) {
        for (const BindingFieldInfo& field : type->fields) {
            const BindingHashedKey key = field.Key();
            BindingProperty& slot = out[key];
            FieldToValue(status, slot, record, field);
            if (!status.success) {
                return;
            }
            if ((field.flags & FieldOmitEmpty) != 0 && slot.IsEmptyValue()) {
                out.Remove(key);
            }
        }
        return;
    }
    // All entries are laid out in key order first; the fields are then converted in
    // registration order into their places.
    if (sameLayout) {
        out.CopyKeysFrom(*layout);
    } else {
        for (std::uint16_t index : type->fieldsInKeyOrder) {
            out.AppendEntryInOrder(type->fields[index].Key());
        }
    }
    bool omitted = false;
    for (std::size_t i = 0; i < type->fields.size(); ++i) {
        const BindingFieldInfo& field = type->fields[i];
        BindingProperty& slot = out.Entries()[type->fieldKeyRanks[i]].Value();
        FieldToValue(status, slot, record, field);
        if (!status.success) {
            return;
        }
        omitted |= (field.flags & FieldOmitEmpty) != 0 && slot.IsEmptyValue();
    }
    if (omitted) {
        for (const BindingFieldInfo& field : type->fields) {
            if ((field.flags & FieldOmitEmpty) != 0 && out.Find(field.Key()).IsEmptyValue()) {
                out.Remove(field.Key());
            }
        }
    }
}

void AssignField(BindingResult& result,
                 void* record,
                 const BindingFieldInfo& field,
                 const BindingProperty& input) {
    void* native = static_cast<char*>(record) + field.offset;
    const BindingTypeRegistry* registry = field.owner != nullptr ? field.owner->registry : nullptr;
    if (field.accessor != nullptr) {
        field.accessor->AssignFromValue(result, native, input, field.name, field.type.type,
                                        registry);
    } else {
        Assign(result, native, field.type, input, field.name, registry);
    }
}

void FieldToValue(BindingResult& status,
                  BindingProperty& out,
                  const void* record,
                  const BindingFieldInfo& field) {
    const void* native = static_cast<const char*>(record) + field.offset;
    const BindingTypeRegistry* registry = field.owner != nullptr ? field.owner->registry : nullptr;
    if (field.accessor != nullptr) {
        field.accessor->ConvertToValue(status, out, native, field.type.type, registry);
    } else {
        ToValue(status, out, native, field.type, registry);
    }
}

}  // namespace Kolm::NativeConversion
