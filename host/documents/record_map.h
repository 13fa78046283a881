// RecordMap: the one description of a record that the host reads from JSON, writes as JSON and
// describes in its OpenAPI document. A record is described by a specialization whose Map lists
// its fields once, in the order they are written; the reader, the writer and the schema builder
// each run the same Map with their own `io`:
//
//   template <> struct RecordMap<ClubEntry> {
//       static constexpr const char* kName = "WorldClubEntry";  // a schema component of its own
//       template <class Io> static void Map(Io& io, ClubEntry& entry) {
//           io.Required("accountId", entry.accountId);
//           io.Optional("role", entry.role, Rules().Describe("OWNER, OFFICER or MEMBER"));
//           io.Optional("since", entry.since, int64_t{0});  // absent: 0, shown as the default
//       }
//   };
//
// Optional members of the specialization:
//   kName         the record's schema component; without it the record's schema is inline
//   kDescription  the record's description in the schema
//   kNoun         what the record is called in error messages ("a fault rule", "a step")
//   Finish(T&)    completes and checks the record once its fields are read (defaults that
//                 follow from other fields, rules across fields); returns a
//                 FieldProblem when the record breaks a rule
//
// Map is also given the record when writing (through a const_cast: the writer only reads it)
// and a default-made record when describing it, so it must do nothing but list fields. A type
// that is not a record of named fields (a map of namespaces, say) gets a ValueMap instead.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Kolm::Host {

// What a field's C++ type does not say about it. All of it is optional.
struct FieldRules {
    const char* description = nullptr;
    // Bounds of a number, or of an array's length.
    std::optional<double> minimum;
    std::optional<double> maximum;
    // The unit of a whole number, named in its rule ("a whole number of milliseconds from 0").
    const char* unit = nullptr;
    // The rule in words, for a field whose type and bounds do not say it ("must be an HTTP
    // status from 100 to 599"); it is the error for a value that breaks it.
    const char* rule = nullptr;
    // The only texts a text field may hold.
    std::span<const char* const> choices;
    // A further test of a text, with `rule` saying what it asks.
    bool (*accepts)(std::string_view) = nullptr;
    // Left out when written while it holds its default, so that older documents read and write
    // as they always have.
    bool omitDefault = false;
    // Given by the host: shown in the schema as read-only, and ignored when read.
    bool readOnly = false;

    // Each returns a copy with one more rule: Rules().Describe("...").Range(100, 599).
    constexpr FieldRules Describe(const char* text) const {
        return With(&FieldRules::description, text);
    }
    constexpr FieldRules Min(double low) const { return With(&FieldRules::minimum, low); }
    constexpr FieldRules Max(double high) const { return With(&FieldRules::maximum, high); }
    constexpr FieldRules Range(double low, double high) const { return Min(low).Max(high); }
    constexpr FieldRules Unit(const char* name) const { return With(&FieldRules::unit, name); }
    constexpr FieldRules Rule(const char* words) const { return With(&FieldRules::rule, words); }
    constexpr FieldRules Choices(std::span<const char* const> texts) const {
        return With(&FieldRules::choices, texts);
    }
    constexpr FieldRules Accepts(bool (*test)(std::string_view)) const {
        return With(&FieldRules::accepts, test);
    }
    constexpr FieldRules OmitDefault() const { return With(&FieldRules::omitDefault, true); }
    constexpr FieldRules ReadOnly() const { return With(&FieldRules::readOnly, true); }

  private:
    template <class M, class V>
    constexpr FieldRules With(M FieldRules::*member, V value) const {
        FieldRules copy = *this;
        copy.*member = value;
        return copy;
    }
};

constexpr FieldRules Rules() {
    return {};
}

// What is wrong with a record as a whole, found by its Finish; `field` names the field the
// problem is about, or is empty for the record itself.
struct FieldProblem {
    std::string field;
    std::string what;
};

// A JSON value of any kind kept as compact JSON text, written back as it is.
struct RawJson {
    std::string json;
    bool operator==(const RawJson&) const = default;
};

// A value that may be JSON null. A field that may also be absent is a std::optional of it.
template <class T>
struct Nullable {
    std::optional<T> value;
    bool operator==(const Nullable&) const = default;
};

template <class T>
struct RecordMap;

// For types that are not records of named fields: a specialization provides
//   static void Read(const rapidjson::Value&, T&, const Where&, DocumentReader&);
//   template <class Writer> static void Write(Writer&, const T&);
//   static void Describe(SchemaWriter&);
template <class T>
struct ValueMap;

// The io that only collects the field names, in order; every io has the same two calls.
class FieldNameList {
  public:
    template <class T>
    void Required(const char* name, T&, const FieldRules& = {}) {
        names_.push_back(name);
    }
    template <class T>
    void Optional(const char* name, T&, const FieldRules& = {}) {
        names_.push_back(name);
    }
    template <class T>
    void Optional(const char* name, T&, const std::type_identity_t<T>&, const FieldRules& = {}) {
        names_.push_back(name);
    }
    std::size_t Size() const { return names_.size(); }
    std::vector<const char*> Take() { return std::move(names_); }

  private:
    std::vector<const char*> names_;
};

template <class T>
concept DescribedRecord = requires(FieldNameList& io, T& record) {
    RecordMap<T>::Map(io, record);
};

template <class T>
concept MappedValue = requires {
    sizeof(ValueMap<T>);
};

// The record's field names in the order its Map lists them, found once. A record has at most
// 64, so that a reader can mark those it met in one word.
template <DescribedRecord T>
const std::vector<const char*>& FieldNames() {
    static const std::vector<const char*> names = [] {
        FieldNameList io;
        T record{};
        RecordMap<T>::Map(io, record);
        if (io.Size() > 64) {
            std::abort();  // a description error, met by the first test that reads the record
        }
        return io.Take();
    }();
    return names;
}

// What a record is called in error messages.
template <DescribedRecord T>
constexpr const char* RecordNoun(const char* otherwise) {
    if constexpr (requires { RecordMap<T>::kNoun; }) {
        return RecordMap<T>::kNoun;
    } else {
        return otherwise;
    }
}

}  // namespace Kolm::Host
