#include "binding/host_value_conversion.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "binding/binding_type_registry.h"
#include "logging/message_format.h"
#include "platform/framework_allocator.h"

namespace Kolm {
namespace {

constexpr const char* kIncompatible =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type "
    "'%2'.";

const char* HostKindName(std::uint32_t kind) {
    static constexpr const char* kNames[] = {"",      "bool",       "signed",   "unsigned",
                                             "float", "string",     "string",   "blob",
                                             "blob",  "collection", "structure"};
    return kind < sizeof(kNames) / sizeof(kNames[0]) ? kNames[kind] : "";
}

// HostValue records are packed: members are copied in and out, never bound to references.
void FromHost(BindingResult& status,
              BindingProperty& out,
              const HostValue& value,
              std::string_view name) {
    switch (value.kind) {
        case HOST_VALUE_KIND_NULL:
            out.Clear();
            return;
        case HOST_VALUE_KIND_BOOL:
            out = value.payload.boolean != 0;
            return;
        case HOST_VALUE_KIND_SIGNED:
            out = static_cast<std::int64_t>(value.payload.signedNumber);
            return;
        case HOST_VALUE_KIND_UNSIGNED:
            out = static_cast<std::uint64_t>(value.payload.unsignedNumber);
            return;
        case HOST_VALUE_KIND_FLOAT:
            out = static_cast<double>(value.payload.floatNumber);
            return;
        case HOST_VALUE_KIND_BORROWED_STRING: {
            const char* text = value.payload.string.text;
            out = std::string_view(text != nullptr ? text : "");
            return;
        }
        case HOST_VALUE_KIND_STRING: {
            const char* text = value.payload.string.text;
            out = text != nullptr ? std::string_view(text, value.payload.string.length)
                                  : std::string_view();
            return;
        }
        case HOST_VALUE_KIND_BORROWED_BLOB:
        case HOST_VALUE_KIND_BLOB: {
            const std::uint8_t* bytes = value.payload.blob.bytes;
            const std::uint32_t length = bytes != nullptr ? value.payload.blob.length : 0;
            out = std::span<const std::uint8_t>(bytes, length);
            return;
        }
        case HOST_VALUE_KIND_COLLECTION: {
            const HostValue* items = value.payload.collection.items;
            const std::uint32_t count = items != nullptr ? value.payload.collection.count : 0;
            out.MakeCollection().Reserve(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                const HostValue item = items[i];
                FromHost(status, out.Append(), item, name);
                if (!status.success) {
                    return;
                }
            }
            return;
        }
        case HOST_VALUE_KIND_STRUCTURE: {
            const HostValueEntry* entries = value.payload.structure.entries;
            const std::uint32_t count = entries != nullptr ? value.payload.structure.count : 0;
            out.MakeStructure();
            for (std::uint32_t i = 0; i < count; ++i) {
                const char* key = entries[i].key;
                const HostValue item = entries[i].value;
                BindingProperty& slot = out[std::string_view(key != nullptr ? key : "")];
                slot.Clear();  // a repeated key keeps the last value
                FromHost(status, slot, item, name);
                if (!status.success) {
                    return;
                }
            }
            return;
        }
        default:
            status.Fail(Format(kIncompatible, name, HostKindName(value.kind)));
            return;
    }
}

bool FitsCount(std::size_t size) {
    return size <= std::numeric_limits<std::uint32_t>::max();
}

void* AllocateOrThrow(std::size_t bytes) {
    void* block = FrameworkAlloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

char* CopyText(std::string_view text) {
    char* copy = static_cast<char*>(AllocateOrThrow(text.size() + 1));
    if (!text.empty()) {
        std::memcpy(copy, text.data(), text.size());
    }
    copy[text.size()] = '\0';
    return copy;
}

void SetOwnedString(HostValue& out, std::string_view text) {
    out.kind = HOST_VALUE_KIND_STRING;
    out.payload.string.text = CopyText(text);
    out.payload.string.length = static_cast<std::uint32_t>(text.size());
}

// Fills `out` (kind 0 on entry); on failure `out` may hold a part, which the caller releases.
bool ToHost(const BindingProperty& value,
            HostValue& out,
            const BindingTypeRegistry* registry,
            std::string* error) {
    if (!FitsCount(value.Size())) {
        if (error != nullptr) {
            *error = "The value is too large for the host.";
        }
        return false;
    }
    switch (value.Kind()) {
        case BindingKind::Bool:
            out.kind = HOST_VALUE_KIND_BOOL;
            out.payload.boolean = value.GetBool() ? 1 : 0;
            return true;
        case BindingKind::Signed:
            out.kind = HOST_VALUE_KIND_SIGNED;
            out.payload.signedNumber = value.GetSigned();
            return true;
        case BindingKind::Unsigned:
            out.kind = HOST_VALUE_KIND_UNSIGNED;
            out.payload.unsignedNumber = value.GetUnsigned();
            return true;
        case BindingKind::Float:
            out.kind = HOST_VALUE_KIND_FLOAT;
            out.payload.floatNumber = value.GetFloat();
            return true;
        case BindingKind::String:
            SetOwnedString(out, value.GetString());
            return true;
        case BindingKind::Blob: {
            const auto bytes = value.GetBlob();
            auto* copy = static_cast<std::uint8_t*>(AllocateOrThrow(bytes.size()));
            if (!bytes.empty()) {
                std::memcpy(copy, bytes.data(), bytes.size());
            }
            out.kind = HOST_VALUE_KIND_BLOB;
            out.payload.blob.bytes = copy;
            out.payload.blob.length = static_cast<std::uint32_t>(bytes.size());
            return true;
        }
        case BindingKind::Enum: {
            const BindingEnumRecord record = value.GetEnum();
            const BindingTypeInfo* type = registry != nullptr && record.type != nullptr
                                              ? registry->FindTypeByHash(*record.type)
                                              : nullptr;
            const BindingEnumValue* named =
                type != nullptr ? type->FindValue(record.value) : nullptr;
            if (named != nullptr) {
                SetOwnedString(out, named->name);
            } else {
                out.kind = HOST_VALUE_KIND_SIGNED;
                out.payload.signedNumber = record.value;
            }
            return true;
        }
        case BindingKind::Collection: {
            const auto elements = value.Elements();
            auto* items =
                static_cast<HostValue*>(AllocateOrThrow(elements.size() * sizeof(HostValue)));
            std::memset(static_cast<void*>(items), 0, elements.size() * sizeof(HostValue));
            out.kind = HOST_VALUE_KIND_COLLECTION;
            out.payload.collection.items = items;
            out.payload.collection.count = static_cast<std::uint32_t>(elements.size());
            for (std::size_t i = 0; i < elements.size(); ++i) {
                HostValue item{};
                const bool converted = ToHost(elements[i], item, registry, error);
                items[i] = item;
                if (!converted) {
                    return false;
                }
            }
            return true;
        }
        case BindingKind::Structure: {
            const auto entries = value.Entries();
            auto* flat = static_cast<HostValueEntry*>(
                AllocateOrThrow(entries.size() * sizeof(HostValueEntry)));
            std::memset(static_cast<void*>(flat), 0, entries.size() * sizeof(HostValueEntry));
            out.kind = HOST_VALUE_KIND_STRUCTURE;
            out.payload.structure.entries = flat;
            out.payload.structure.count = static_cast<std::uint32_t>(entries.size());
            for (std::size_t i = 0; i < entries.size(); ++i) {
                flat[i].key = CopyText(entries[i].Key());
                flat[i].ownsKey = 1;
                HostValue item{};
                const bool converted = ToHost(entries[i].Value(), item, registry, error);
                flat[i].value = item;
                if (!converted) {
                    return false;
                }
            }
            return true;
        }
        default:
            out.kind = HOST_VALUE_KIND_NULL;
            return true;
    }
}

}  // namespace

void FromHostValue(BindingResult& result, const HostValue& value, std::string_view name) {
    FromHost(result, result.value, value, name);
}

BindingResult FromHostValue(const HostValue& value, std::string_view name) {
    BindingResult result;
    FromHostValue(result, value, name);
    return result;
}

bool ToHostValue(const BindingProperty& value,
                 HostValue& out,
                 const BindingTypeRegistry* registry,
                 std::string* error) {
    std::memset(static_cast<void*>(&out), 0, sizeof(HostValue));
    HostValue built{};
    const bool converted = ToHost(value, built, registry, error);
    if (!converted) {
        ReleaseHostValue(built);
    }
    out = built;
    return converted;
}

void ReleaseHostValue(HostValue& value) {
    switch (value.kind) {
        case HOST_VALUE_KIND_STRING:
            FrameworkFree(const_cast<char*>(value.payload.string.text));
            break;
        case HOST_VALUE_KIND_BLOB:
            FrameworkFree(const_cast<std::uint8_t*>(value.payload.blob.bytes));
            break;
        case HOST_VALUE_KIND_COLLECTION: {
            HostValue* items = value.payload.collection.items;
            const std::uint32_t count = items != nullptr ? value.payload.collection.count : 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                HostValue item = items[i];
                ReleaseHostValue(item);
            }
            FrameworkFree(items);
            break;
        }
        case HOST_VALUE_KIND_STRUCTURE: {
            HostValueEntry* entries = value.payload.structure.entries;
            const std::uint32_t count = entries != nullptr ? value.payload.structure.count : 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                HostValue item = entries[i].value;
                ReleaseHostValue(item);
                if (entries[i].ownsKey != 0) {
                    FrameworkFree(const_cast<char*>(entries[i].key));
                }
            }
            FrameworkFree(entries);
            break;
        }
        default:
            break;
    }
    std::memset(static_cast<void*>(&value), 0, sizeof(HostValue));
}

}  // namespace Kolm
