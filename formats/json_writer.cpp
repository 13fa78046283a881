// WriteJson: a visitor over RapidJSON's compact and pretty writers.
#include <cmath>
#include <cstdint>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "binding/binding_type_info.h"
#include "binding/binding_type_registry.h"
#include "formats/json.h"
#include "formats/value_walk.h"

namespace Kolm {

namespace {

// The registered name of an enum value (first in name order), or null when unknown.
const char* EnumValueName(const BindingEnumRecord& record, const BindingTypeRegistry* registry) {
    if (registry == nullptr || record.type == nullptr) {
        return nullptr;
    }
    const BindingTypeInfo* type = registry->FindTypeByHash(*record.type);
    if (type == nullptr || !type->isEnum) {
        return nullptr;
    }
    const BindingEnumValue* value = type->FindValue(record.value);
    return value != nullptr ? value->name.c_str() : nullptr;
}

template <class Writer>
class JsonVisitor {
  public:
    JsonVisitor(Writer& writer, const BindingTypeRegistry* registry)
        : writer(writer), registry(registry) {}

    void Null() { writer.Null(); }
    void Bool(bool value) { writer.Bool(value); }
    void Signed(std::int64_t value) { writer.Int64(value); }
    void Unsigned(std::uint64_t value) { writer.Uint64(value); }
    void Float(double value) {
        // RapidJSON refuses NaN and infinities after writing the separator, which would leave
        // broken JSON; null keeps the document readable.
        if (std::isfinite(value)) {
            writer.Double(value);
        } else {
            writer.Null();
        }
    }
    void String(std::string_view text) { Text(text); }
    void Blob(const BindingProperty& blob) { Text(blob.ToString()); }  // base64
    void Enum(const BindingEnumRecord& record) {
        if (const char* name = EnumValueName(record, registry)) {
            Text(name);
        } else {
            writer.Int(record.value);
        }
    }
    void StartCollection(std::size_t) { writer.StartArray(); }
    void BeforeElement(std::size_t) {}
    void AfterElement(std::size_t) {}
    void EndCollection() { writer.EndArray(); }
    void StartStructure(std::size_t) { writer.StartObject(); }
    void Key(std::string_view text) {
        writer.Key(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    }
    void AfterEntry() {}
    void EndStructure() { writer.EndObject(); }

  private:
    void Text(std::string_view text) {
        writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    }

    Writer& writer;
    const BindingTypeRegistry* registry;
};

std::string ReplaceLineFeeds(std::string_view text, std::string_view separator) {
    std::string replaced;
    replaced.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            replaced.append(separator);
        } else {
            replaced.push_back(c);
        }
    }
    return replaced;
}

}  // namespace

std::string WriteJson(const BindingProperty& value,
                      const BindingTypeRegistry* registry,
                      std::string_view lineSeparator) {
    if (value.IsEmpty()) {
        return {};
    }
    rapidjson::StringBuffer buffer;
    if (lineSeparator.empty()) {
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        JsonVisitor visitor(writer, registry);
        WalkValue(value, visitor);
        return std::string(buffer.GetString(), buffer.GetSize());
    }
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 4);
    JsonVisitor visitor(writer, registry);
    WalkValue(value, visitor);
    const std::string_view text(buffer.GetString(), buffer.GetSize());
    if (lineSeparator == "\n") {
        return std::string(text);
    }
    return ReplaceLineFeeds(text, lineSeparator);
}

}  // namespace Kolm
