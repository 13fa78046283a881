#include "host/boundary/owned_host_value.h"

#include "host/boundary/bounded_json.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>


namespace Kolm::Host {

namespace {

template <class T>
T* AllocateArray(std::size_t count) {
    if (count == 0) {
        return nullptr;
    }
    void* memory = std::calloc(count, sizeof(T));
    if (memory == nullptr) {
        std::abort();  // the host side has no way on without memory
    }
    return static_cast<T*>(memory);
}

char* CopyText(const char* text, std::size_t length) {
    char* copy = AllocateArray<char>(length + 1);
    if (length > 0) {
        std::memcpy(copy, text, length);
    }
    copy[length] = '\0';
    return copy;
}

HostValue MakeKind(uint32_t kind) {
    HostValue value{};
    value.kind = kind;
    return value;
}

HostValue MakeOwnedString(std::string_view text) {
    HostValue value = MakeKind(HOST_VALUE_KIND_STRING);
    value.payload.string.text = CopyText(text.data(), text.size());
    value.payload.string.length = static_cast<uint32_t>(text.size());
    return value;
}

HostValue MakeOwnedBlob(const uint8_t* bytes, std::size_t length) {
    HostValue value = MakeKind(HOST_VALUE_KIND_BLOB);
    uint8_t* copy = AllocateArray<uint8_t>(length);
    if (length > 0) {
        std::memcpy(copy, bytes, length);
    }
    value.payload.blob.bytes = copy;
    value.payload.blob.length = static_cast<uint32_t>(length);
    return value;
}

HostValue FromRapidJson(const rapidjson::Value& json) {
    if (json.IsBool()) {
        return OwnedHostValue::Bool(json.GetBool()).Release();
    }
    if (json.IsInt64()) {
        return OwnedHostValue::Signed(json.GetInt64()).Release();
    }
    if (json.IsUint64()) {
        return OwnedHostValue::Unsigned(json.GetUint64()).Release();
    }
    if (json.IsNumber()) {
        return OwnedHostValue::Float(json.GetDouble()).Release();
    }
    if (json.IsString()) {
        return MakeOwnedString({json.GetString(), json.GetStringLength()});
    }
    if (json.IsArray()) {
        HostValue value = MakeKind(HOST_VALUE_KIND_COLLECTION);
        value.payload.collection.items = AllocateArray<HostValue>(json.Size());
        for (const rapidjson::Value& item : json.GetArray()) {
            value.payload.collection.items[value.payload.collection.count++] = FromRapidJson(item);
        }
        return value;
    }
    if (json.IsObject()) {
        HostValue value = MakeKind(HOST_VALUE_KIND_STRUCTURE);
        value.payload.structure.entries = AllocateArray<HostValueEntry>(json.MemberCount());
        for (const auto& member : json.GetObject()) {
            HostValueEntry& entry =
                value.payload.structure.entries[value.payload.structure.count++];
            entry.key = CopyText(member.name.GetString(), member.name.GetStringLength());
            entry.ownsKey = 1;
            entry.value = FromRapidJson(member.value);
        }
        return value;
    }
    return MakeKind(HOST_VALUE_KIND_NULL);
}

std::string Base64(const uint8_t* bytes, std::size_t length) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < length; i += 3) {
        uint32_t chunk = static_cast<uint32_t>(bytes[i]) << 16;
        if (i + 1 < length)
            chunk |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (i + 2 < length)
            chunk |= bytes[i + 2];
        text += kAlphabet[(chunk >> 18) & 63];
        text += kAlphabet[(chunk >> 12) & 63];
        text += i + 1 < length ? kAlphabet[(chunk >> 6) & 63] : '=';
        text += i + 2 < length ? kAlphabet[chunk & 63] : '=';
    }
    return text;
}

void WriteJson(rapidjson::Writer<rapidjson::StringBuffer>& writer, const HostValue& value) {
    switch (value.kind) {
        case HOST_VALUE_KIND_BOOL:
            writer.Bool(value.payload.boolean != 0);
            return;
        case HOST_VALUE_KIND_SIGNED:
            writer.Int64(value.payload.signedNumber);
            return;
        case HOST_VALUE_KIND_UNSIGNED:
            writer.Uint64(value.payload.unsignedNumber);
            return;
        case HOST_VALUE_KIND_FLOAT:
            writer.Double(value.payload.floatNumber);
            return;
        case HOST_VALUE_KIND_BORROWED_STRING:
        case HOST_VALUE_KIND_STRING: {
            const char* text = value.payload.string.text ? value.payload.string.text : "";
            writer.String(text, static_cast<rapidjson::SizeType>(std::strlen(text)));
            return;
        }
        case HOST_VALUE_KIND_BORROWED_BLOB:
        case HOST_VALUE_KIND_BLOB: {
            std::string text = Base64(value.payload.blob.bytes, value.payload.blob.length);
            writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
            return;
        }
        case HOST_VALUE_KIND_COLLECTION:
            writer.StartArray();
            for (uint32_t i = 0; i < value.payload.collection.count; ++i) {
                WriteJson(writer, value.payload.collection.items[i]);
            }
            writer.EndArray();
            return;
        case HOST_VALUE_KIND_STRUCTURE:
            writer.StartObject();
            for (uint32_t i = 0; i < value.payload.structure.count; ++i) {
                const HostValueEntry& entry = value.payload.structure.entries[i];
                writer.Key(entry.key ? entry.key : "");
                WriteJson(writer, entry.value);
            }
            writer.EndObject();
            return;
        default:
            writer.Null();
            return;
    }
}

}  // namespace

void FreeHostValue(HostValue& value) {
    switch (value.kind) {
        case HOST_VALUE_KIND_STRING:
            std::free(const_cast<char*>(value.payload.string.text));
            break;
        case HOST_VALUE_KIND_BLOB:
            std::free(const_cast<uint8_t*>(value.payload.blob.bytes));
            break;
        case HOST_VALUE_KIND_COLLECTION:
            for (uint32_t i = 0; i < value.payload.collection.count; ++i) {
                FreeHostValue(value.payload.collection.items[i]);
            }
            std::free(value.payload.collection.items);
            break;
        case HOST_VALUE_KIND_STRUCTURE:
            for (uint32_t i = 0; i < value.payload.structure.count; ++i) {
                HostValueEntry& entry = value.payload.structure.entries[i];
                if (entry.ownsKey) {
                    std::free(const_cast<char*>(entry.key));
                }
                FreeHostValue(entry.value);
            }
            std::free(value.payload.structure.entries);
            break;
        default:
            break;
    }
    value = HostValue{};
}

HostValue CopyHostValue(const HostValue& value) {
    switch (value.kind) {
        case HOST_VALUE_KIND_BORROWED_STRING:
        case HOST_VALUE_KIND_STRING: {
            const char* text = value.payload.string.text ? value.payload.string.text : "";
            return MakeOwnedString(text);
        }
        case HOST_VALUE_KIND_BORROWED_BLOB:
        case HOST_VALUE_KIND_BLOB:
            return MakeOwnedBlob(value.payload.blob.bytes, value.payload.blob.length);
        case HOST_VALUE_KIND_COLLECTION: {
            HostValue copy = MakeKind(HOST_VALUE_KIND_COLLECTION);
            copy.payload.collection.items =
                AllocateArray<HostValue>(value.payload.collection.count);
            copy.payload.collection.count = value.payload.collection.count;
            for (uint32_t i = 0; i < value.payload.collection.count; ++i) {
                copy.payload.collection.items[i] = CopyHostValue(value.payload.collection.items[i]);
            }
            return copy;
        }
        case HOST_VALUE_KIND_STRUCTURE: {
            HostValue copy = MakeKind(HOST_VALUE_KIND_STRUCTURE);
            uint32_t count = value.payload.structure.count;
            copy.payload.structure.entries = AllocateArray<HostValueEntry>(count);
            copy.payload.structure.count = count;
            for (uint32_t i = 0; i < count; ++i) {
                const HostValueEntry& from = value.payload.structure.entries[i];
                HostValueEntry& to = copy.payload.structure.entries[i];
                const char* key = from.key ? from.key : "";
                to.key = CopyText(key, std::strlen(key));
                to.ownsKey = 1;
                to.value = CopyHostValue(from.value);
            }
            return copy;
        }
        default:
            return value;  // scalars, null and unknown kinds own nothing
    }
}

std::string HostValueToJson(const HostValue& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    WriteJson(writer, value);
    return {buffer.GetString(), buffer.GetSize()};
}

OwnedHostValue OwnedHostValue::Adopt(HostValue raw) {
    OwnedHostValue owned;
    owned.value_ = raw;
    return owned;
}

OwnedHostValue OwnedHostValue::Bool(bool value) {
    HostValue raw = MakeKind(HOST_VALUE_KIND_BOOL);
    raw.payload.boolean = value ? 1 : 0;
    return Adopt(raw);
}

OwnedHostValue OwnedHostValue::Signed(int64_t value) {
    HostValue raw = MakeKind(HOST_VALUE_KIND_SIGNED);
    raw.payload.signedNumber = value;
    return Adopt(raw);
}

OwnedHostValue OwnedHostValue::Unsigned(uint64_t value) {
    HostValue raw = MakeKind(HOST_VALUE_KIND_UNSIGNED);
    raw.payload.unsignedNumber = value;
    return Adopt(raw);
}

OwnedHostValue OwnedHostValue::Float(double value) {
    HostValue raw = MakeKind(HOST_VALUE_KIND_FLOAT);
    raw.payload.floatNumber = value;
    return Adopt(raw);
}

OwnedHostValue OwnedHostValue::String(std::string_view text) {
    return Adopt(MakeOwnedString(text));
}

OwnedHostValue OwnedHostValue::Blob(const std::vector<uint8_t>& bytes) {
    return Adopt(MakeOwnedBlob(bytes.data(), bytes.size()));
}

OwnedHostValue OwnedHostValue::Collection(std::vector<OwnedHostValue> items) {
    HostValue raw = MakeKind(HOST_VALUE_KIND_COLLECTION);
    raw.payload.collection.items = AllocateArray<HostValue>(items.size());
    raw.payload.collection.count = static_cast<uint32_t>(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        raw.payload.collection.items[i] = items[i].Release();
    }
    return Adopt(raw);
}

OwnedHostValue OwnedHostValue::Structure(
    std::vector<std::pair<std::string, OwnedHostValue>> entries) {
    HostValue raw = MakeKind(HOST_VALUE_KIND_STRUCTURE);
    raw.payload.structure.entries = AllocateArray<HostValueEntry>(entries.size());
    raw.payload.structure.count = static_cast<uint32_t>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        HostValueEntry& entry = raw.payload.structure.entries[i];
        entry.key = CopyText(entries[i].first.data(), entries[i].first.size());
        entry.ownsKey = 1;
        entry.value = entries[i].second.Release();
    }
    return Adopt(raw);
}

OwnedHostValue::JsonRead OwnedHostValue::ReadJson(std::string_view json) {
    rapidjson::Document document;
    BoundedJson read = ParseBoundedJson(json, document);
    if (!read) {
        return {std::nullopt, std::move(read.refusal)};
    }
    // The tree is at most kMaxJsonNesting deep, which bounds this recursion.
    return {Adopt(FromRapidJson(document)), {}};
}

std::optional<OwnedHostValue> OwnedHostValue::FromJson(std::string_view json) {
    return std::move(ReadJson(json).value);
}

OwnedHostValue OwnedHostValue::Json(std::string_view json) {
    std::optional<OwnedHostValue> value = FromJson(json);
    if (!value) {
        std::fprintf(stderr, "OwnedHostValue::Json: not JSON: %.*s\n",
                     static_cast<int>(json.size()), json.data());
        std::abort();
    }
    return std::move(*value);
}

OwnedHostValue& OwnedHostValue::operator=(const OwnedHostValue& other) {
    if (this != &other) {
        HostValue copy = CopyHostValue(other.value_);
        FreeHostValue(value_);
        value_ = copy;
    }
    return *this;
}

OwnedHostValue& OwnedHostValue::operator=(OwnedHostValue&& other) noexcept {
    if (this != &other) {
        FreeHostValue(value_);
        value_ = other.Release();
    }
    return *this;
}

HostValue OwnedHostValue::Release() {
    HostValue raw = value_;
    value_ = HostValue{};
    return raw;
}

}  // namespace Kolm::Host
