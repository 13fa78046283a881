// The OpenAPI schema of described records (record_map.h), made from the same Map the reader and
// the writer run, so that the document says exactly what the host reads. A record with a kName
// becomes a component and is referred to by "$ref"; every component met on the way is added to
// the list the caller gathers them in, once.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/documents/record_map.h"
#include "host/documents/record_reader.h"
#include "host/documents/record_writer.h"

namespace Kolm::Host {

// Component name and schema JSON, in the order they were first met.
using SchemaEntries = std::vector<std::pair<std::string, std::string>>;

class SchemaWriter {
  public:
    using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

    SchemaWriter(JsonWriter& w, SchemaEntries& components) : w_(w), components_(components) {}

    JsonWriter& Json() { return w_; }

    // A "$ref" to the component `name`, which another list of components holds.
    void ReferTo(std::string_view name);

    // The schema of a value of type T (a record, a list, a scalar), with its field rules.
    template <class T>
    void Describe(const FieldRules& rules = {}, const T* fallback = nullptr);

  private:
    template <class T>
    void DescribeScalar(const FieldRules& rules);
    template <DescribedRecord T>
    void DescribeRecord();
    template <DescribedRecord T>
    void Refer();
    void Common(const FieldRules& rules);
    void Bounds(const FieldRules& rules, const char* low, const char* high, bool whole);

    JsonWriter& w_;
    SchemaEntries& components_;
};

// The io a record's Map is run with while describing it: writes "properties" as it goes and
// remembers the required fields.
class RecordSchema {
  public:
    explicit RecordSchema(SchemaWriter& schema) : schema_(schema) {}

    template <class T>
    void Required(const char* name, T&, const FieldRules& rules = {}) {
        if (!rules.readOnly) {
            required_.push_back(name);
        }
        Field<T>(name, rules, nullptr);
    }
    template <class T>
    void Optional(const char* name, T&, const FieldRules& rules = {}) {
        Field<T>(name, rules, nullptr);
    }
    template <class T>
    void Optional(const char* name,
                  T&,
                  const std::type_identity_t<T>& fallback,
                  const FieldRules& rules = {}) {
        Field<T>(name, rules, &fallback);
    }

    const std::vector<const char*>& RequiredFields() const { return required_; }

  private:
    template <class T>
    void Field(const char* name, const FieldRules& rules, const T* fallback) {
        schema_.Json().Key(name);
        schema_.Describe<T>(rules, fallback);
    }

    SchemaWriter& schema_;
    std::vector<const char*> required_;
};

template <class T>
void SchemaWriter::Describe(const FieldRules& rules, const T* fallback) {
    if constexpr (DescribedRecord<T>) {
        if constexpr (requires { RecordMap<T>::kName; }) {
            Refer<T>();  // a description beside "$ref" would be ignored, so none is written
        } else {
            DescribeRecord<T>();
        }
        return;
    } else if constexpr (MappedValue<T>) {
        ValueMap<T>::Describe(*this);
        return;
    } else if constexpr (kIsOptional<T>) {
        Describe<typename T::value_type>(rules);
        return;
    } else {
        w_.StartObject();
        if constexpr (kIsVector<T>) {
            w_.Key("type");
            w_.String("array");
            w_.Key("items");
            // The reader asks the field's choices of each item, so the items show them.
            FieldRules itemRules;
            itemRules.choices = rules.choices;
            Describe<typename T::value_type>(itemRules);
            Bounds(rules, "minItems", "maxItems", true);
        } else if constexpr (kIsNullable<T>) {
            DescribeScalar<typename decltype(T{}.value)::value_type>(rules);
            w_.Key("nullable");
            w_.Bool(true);
        } else if constexpr (!std::is_same_v<T, RawJson>) {
            DescribeScalar<T>(rules);
        }
        Common(rules);
        if (fallback != nullptr) {
            w_.Key("default");
            WriteValue(w_, *fallback);
        }
        w_.EndObject();
    }
}

template <class T>
void SchemaWriter::DescribeScalar(const FieldRules& rules) {
    w_.Key("type");
    if constexpr (std::is_same_v<T, bool>) {
        w_.String("boolean");
    } else if constexpr (std::is_integral_v<T>) {
        w_.String("integer");
        w_.Key("format");
        w_.String(sizeof(T) < 4 || (sizeof(T) == 4 && std::is_signed_v<T>) ? "int32" : "int64");
        FieldRules bounded = rules;
        if (std::is_unsigned_v<T> && !bounded.minimum) {
            bounded.minimum = 0;
        }
        Bounds(bounded, "minimum", "maximum", true);
    } else if constexpr (std::is_floating_point_v<T>) {
        w_.String("number");
        Bounds(rules, "minimum", "maximum", false);
    } else {
        static_assert(std::is_same_v<T, std::string>, "no schema for this type of field");
        w_.String("string");
        if (!rules.choices.empty()) {
            w_.Key("enum");
            w_.StartArray();
            for (const char* choice : rules.choices) {
                w_.String(choice);
            }
            w_.EndArray();
        }
    }
}

template <DescribedRecord T>
void SchemaWriter::DescribeRecord() {
    w_.StartObject();
    w_.Key("type");
    w_.String("object");
    if constexpr (requires { RecordMap<T>::kDescription; }) {
        w_.Key("description");
        w_.String(RecordMap<T>::kDescription);
    }
    w_.Key("additionalProperties");
    w_.Bool(false);
    w_.Key("properties");
    w_.StartObject();
    RecordSchema io(*this);
    T record{};
    RecordMap<T>::Map(io, record);
    w_.EndObject();
    if (!io.RequiredFields().empty()) {
        w_.Key("required");
        w_.StartArray();
        for (const char* name : io.RequiredFields()) {
            w_.String(name);
        }
        w_.EndArray();
    }
    w_.EndObject();
}

template <DescribedRecord T>
void SchemaWriter::Refer() {
    const std::string name = RecordMap<T>::kName;
    ReferTo(name);
    const auto known = [&](const auto& entry) { return entry.first == name; };
    if (std::find_if(components_.begin(), components_.end(), known) != components_.end()) {
        return;
    }
    const std::size_t slot = components_.size();
    components_.emplace_back(name, "");  // claimed first, so that a record within itself ends
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    SchemaWriter(w, components_).DescribeRecord<T>();
    components_[slot].second.assign(buffer.GetString(), buffer.GetSize());
}

// The schema of T as JSON text; named records met are added to `components`.
template <class T>
std::string SchemaOf(SchemaEntries& components, const FieldRules& rules = {}) {
    rapidjson::StringBuffer buffer;
    SchemaWriter::JsonWriter w(buffer);
    SchemaWriter(w, components).Describe<T>(rules);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// The component of the named record T and of every named record within it.
template <DescribedRecord T>
SchemaEntries SchemaComponents() {
    static_assert(
        requires { RecordMap<T>::kName; }, "a component needs the record's kName");
    SchemaEntries components;
    SchemaOf<T>(components);
    return components;
}

}  // namespace Kolm::Host
