// Writing described records (record_map.h) with any RapidJSON writer, compact or pretty. Fields
// come out in the order the record's Map lists them; a std::optional field that holds nothing
// and a field marked omitDefault that holds its default are left out.
#pragma once

#include <rapidjson/rapidjson.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "host/documents/record_map.h"
#include "host/documents/record_reader.h"

namespace Kolm::Host {

template <class Writer>
void WriteValue(Writer& w, const std::string& text) {
    w.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

template <class Writer, class T>
void WriteValue(Writer& w, const T& value);

// The io a record's Map is run with while writing it.
template <class Writer>
class RecordWriter {
  public:
    explicit RecordWriter(Writer& w) : w_(w) {}

    template <class T>
    void Required(const char* name, T& value, const FieldRules& = {}) {
        Field(name, value);
    }
    template <class T>
    void Optional(const char* name, T& value, const FieldRules& = {}) {
        if constexpr (kIsOptional<T>) {
            if (!value) {
                return;
            }
        }
        Field(name, value);
    }
    template <class T>
    void Optional(const char* name,
                  T& value,
                  const std::type_identity_t<T>& fallback,
                  const FieldRules& rules = {}) {
        if (!rules.omitDefault || !(value == fallback)) {
            Field(name, value);
        }
    }

  private:
    template <class T>
    void Field(const char* name, const T& value) {
        w_.Key(name);
        WriteValue(w_, value);
    }

    Writer& w_;
};

template <class Writer, class T>
void WriteValue(Writer& w, const T& value) {
    if constexpr (DescribedRecord<T>) {
        w.StartObject();
        RecordWriter<Writer> io(w);
        RecordMap<T>::Map(io, const_cast<T&>(value));
        w.EndObject();
    } else if constexpr (MappedValue<T>) {
        ValueMap<T>::Write(w, value);
    } else if constexpr (kIsVector<T>) {
        w.StartArray();
        for (const auto& item : value) {
            WriteValue(w, item);
        }
        w.EndArray();
    } else if constexpr (kIsOptional<T>) {
        WriteValue(w, *value);
    } else if constexpr (kIsNullable<T>) {
        if (value.value) {
            WriteValue(w, *value.value);
        } else {
            w.Null();
        }
    } else if constexpr (std::is_same_v<T, RawJson>) {
        if (value.json.empty()) {
            w.Null();  // never read from a document, so never given: null keeps the text JSON
        } else {
            w.RawValue(value.json.data(), value.json.size(), rapidjson::kObjectType);
        }
    } else if constexpr (std::is_same_v<T, bool>) {
        w.Bool(value);
    } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
        w.Uint64(value);
    } else if constexpr (std::is_integral_v<T>) {
        w.Int64(value);
    } else {
        static_assert(std::is_same_v<T, double>, "no writer for this type of field");
        w.Double(value);
    }
}

}  // namespace Kolm::Host
