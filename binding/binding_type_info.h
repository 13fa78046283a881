// The records of the type registry: type codes of native fields, registered structures and
// enumerations with their fields and values, events and functions. Records are built once by
// the registry and not changed afterwards, so readers use them without a lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"
#include "binding/static_type.h"
#include "platform/framework_allocator.h"

namespace Kolm {

// Texts and lists of the registry's records live on the framework heap.
using BindingString = std::basic_string<char, std::char_traits<char>, FrameworkAllocator<char>>;
template <class T>
using BindingVector = std::vector<T, FrameworkAllocator<T>>;
using BindingTagList = BindingVector<BindingString>;

class BindingTypeRegistry;
struct BindingTypeInfo;

// The native type of a field, argument or result.
enum class BindingTypeCode : std::uint8_t {
    None = 0,
    Bool = 1,
    Int8 = 2,
    UInt8 = 3,
    Int16 = 4,
    UInt16 = 5,
    Int32 = 6,
    UInt32 = 7,
    Int64 = 8,
    UInt64 = 9,
    Float = 10,
    Double = 11,
    String = 12,
    Object = 13,  // a Kolm::BindingProperty held as is
    Blob = 14,
    Vector = 15,
    Enum = 16,
    Struct = 17,
    Callback = 18,
    Map = 19,  // hash map from text to elements
};
inline constexpr int kBindingTypeCodeCount = 20;

// "bool", "int8", ... "map"; "" for code 0 and codes above 19.
const char* BindingTypeCodeName(BindingTypeCode code);
const char* BindingTypeCodeName(int code);

// The type of one field: its code, the element's code for vectors and maps (None otherwise) and
// the referenced enumeration or structure for Enum and Struct, or for vectors and maps whose
// element is one (null when none, or when the referenced type was not registered in time).
struct BindingTypeId {
    BindingTypeCode code = BindingTypeCode::None;
    BindingTypeCode elementCode = BindingTypeCode::None;
    const BindingTypeInfo* type = nullptr;
};

enum BindingFieldFlags : std::uint32_t {
    FieldOmitEmpty = 1,  // native to value: leave the field out when its value IsEmptyValue()
    FieldRequired = 2,   // value to native: a structure without this key is an error
};

// The per-native-type conversion object of a field; used for callbacks, for vectors and maps of
// enumerations, structures, vectors or maps, and for optional fields. Built-in codes are
// converted directly, without it.
class BindingFieldAccessor {
  public:
    // Assigns `input` to the native field at `field`; `name` stands for the field in messages.
    virtual void AssignFromValue(BindingResult& result,
                                 void* field,
                                 const BindingProperty& input,
                                 std::string_view name,
                                 const BindingTypeInfo* type,
                                 const BindingTypeRegistry* registry) const = 0;
    // Converts the native field at `field` into `out`, an Empty value of status.value's tree; a
    // failure goes into `status` (and clears that tree).
    virtual void ConvertToValue(BindingResult& status,
                                BindingProperty& out,
                                const void* field,
                                const BindingTypeInfo* type,
                                const BindingTypeRegistry* registry) const = 0;
    virtual ~BindingFieldAccessor() = default;
};

// Destroys an accessor made by MakeFieldAccessor (framework heap).
struct BindingAccessorDeleter {
    void operator()(BindingFieldAccessor* accessor) const;
};
using BindingAccessorPtr = std::unique_ptr<BindingFieldAccessor, BindingAccessorDeleter>;

struct BindingFieldInfo {
    BindingString name;  // the JSON name, the key in every text form
    std::uint32_t nameHash = 0;
    BindingString description;
    const StaticTypeInfo* staticType = nullptr;
    std::uint32_t offset = 0;  // of the field inside the native record
    BindingTypeId type;
    BindingTagList tags;
    std::uint32_t flags = 0;  // BindingFieldFlags
    BindingAccessorPtr accessor;
    const BindingTypeInfo* owner = nullptr;
    bool optional = false;  // converted through the accessor; help shows "optional"

    // The name as a look-up key that borrows this record's text.
    BindingHashedKey Key() const { return BindingHashedKey(std::string_view(name), nameHash); }
};

struct BindingEnumValue {
    BindingString name;
    std::int32_t value = 0;
    BindingString description;
    const BindingTypeInfo* owner = nullptr;
};

using BindingEnumValueMap =
    std::map<BindingString,
             BindingEnumValue,
             std::less<>,
             FrameworkAllocator<std::pair<const BindingString, BindingEnumValue>>>;

// One registered structure or enumeration.
struct BindingTypeInfo {
    std::uint32_t size = 0;  // sizeof the native record
    bool isEnum = false;
    BindingString name;  // the registered short name, e.g. "ClubMember"
    std::uint32_t hash = 0;
    const StaticTypeInfo* staticType = nullptr;
    BindingString nameSpace;
    BindingString description;
    BindingTagList tags;
    BindingVector<BindingFieldInfo> fields;  // registration order, the order of conversion
    // Field indices in byte-wise order of their JSON names, and each field's place in that
    // order; kept by the builder so that conversions visit a structure's entries in place.
    BindingVector<std::uint16_t> fieldsInKeyOrder;
    BindingVector<std::uint16_t> fieldKeyRanks;
    bool fieldNamesUnique = true;
    BindingEnumValueMap values;  // by name; enumerations only
    BindingTypeRegistry* registry = nullptr;

    // The first value (in name order) whose number is `value`, or null.
    const BindingEnumValue* FindValue(std::int32_t value) const;
    // The value of that exact name, or null.
    const BindingEnumValue* FindValue(std::string_view valueName) const;
    // The field of that JSON name, or null.
    const BindingFieldInfo* FindField(std::string_view jsonName) const;
};

struct BindingEventInfo {
    BindingString name;
    const BindingTypeInfo* type = nullptr;  // the data's record, looked up at registration
    const StaticTypeInfo* staticType = nullptr;
    BindingString nameSpace;
    BindingString description;
    BindingTagList tags;
};

struct BindingArgumentInfo {
    BindingString name;
    BindingString description;
    BindingTypeId type;
    const StaticTypeInfo* staticType = nullptr;
    bool optional = false;
};

// A function exposed by the plugin; recorded by the API layer, which may derive its own record
// from this one.
struct BindingFunctionInfo {
    BindingString name;
    BindingString nameSpace;
    BindingVector<BindingArgumentInfo> arguments;
    BindingTypeId returns;
    const StaticTypeInfo* returnStaticType = nullptr;
    BindingString description;
    BindingString help;
    bool threadSafe = false;
    BindingString async;  // registered name of the result's referenced type when asynchronous
    BindingTagList tags;

    virtual ~BindingFunctionInfo() = default;
};

}  // namespace Kolm
