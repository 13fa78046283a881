#include "binding/binding_type_info.h"

#include "binding/binding_field_type.h"
#include "binding/binding_type_registry.h"

namespace Kolm {
namespace {

constexpr const char* kTypeCodeNames[] = {"",       "bool",   "int8",   "uint8",    "int16",
                                          "uint16", "int32",  "uint32", "int64",    "uint64",
                                          "float",  "double", "string", "object",   "blob",
                                          "vector", "enum",   "struct", "callback", "map"};
static_assert(sizeof(kTypeCodeNames) / sizeof(kTypeCodeNames[0]) == kBindingTypeCodeCount);

}  // namespace

const char* BindingTypeCodeName(BindingTypeCode code) {
    return BindingTypeCodeName(static_cast<int>(code));
}

const char* BindingTypeCodeName(int code) {
    return code > 0 && code < kBindingTypeCodeCount ? kTypeCodeNames[code] : "";
}

void BindingAccessorDeleter::operator()(BindingFieldAccessor* accessor) const {
    if (accessor != nullptr) {
        accessor->~BindingFieldAccessor();
        FrameworkFree(accessor);
    }
}

const BindingEnumValue* BindingTypeInfo::FindValue(std::int32_t value) const {
    for (const auto& [valueName, entry] : values) {
        if (entry.value == value) {
            return &entry;
        }
    }
    return nullptr;
}

const BindingEnumValue* BindingTypeInfo::FindValue(std::string_view valueName) const {
    const auto found = values.find(valueName);
    return found != values.end() ? &found->second : nullptr;
}

const BindingFieldInfo* BindingTypeInfo::FindField(std::string_view jsonName) const {
    for (const BindingFieldInfo& field : fields) {
        if (field.name == jsonName) {
            return &field;
        }
    }
    return nullptr;
}

const BindingTypeInfo* FindRegisteredType(const BindingTypeRegistry* registry,
                                          const StaticTypeInfo& type) {
    return registry != nullptr ? registry->FindTypeByHash(type) : nullptr;
}

}  // namespace Kolm
