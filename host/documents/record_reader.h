// Reading described records (record_map.h) out of parsed JSON. The reader refuses what is not
// in the description: members it does not list, members given twice, values of the wrong type
// or outside their bounds, and records whose Finish finds them wrong. The first problem met is
// kept, with where it is; after it nothing more is read.
//
// Two ways of naming where: documents (worlds, scenarios) give the path,
// "clubs[1].active[0].role: must be a text"; request bodies quote the field,
// "\"status\" must be an HTTP status from 100 to 599".
#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/documents/record_map.h"

namespace Kolm::Host {

enum class FieldNaming { Path, Quoted };

// Where a value sits in the document: a chain of links from the value up to the document,
// each living on the stack of the read that is in it, and spelled out only for a problem.
class Where {
  public:
    // The document itself.
    Where() = default;

    Where Field(std::string_view name) const { return Where(this, name, 0); }
    Where Item(std::size_t index) const { return Where(this, {}, index); }

    // "clubs[1].active[0].role"; "" for the document.
    std::string Text() const;

  private:
    Where(const Where* parent, std::string_view name, std::size_t index)
        : parent_(parent), name_(name), index_(index) {}

    const Where* parent_ = nullptr;
    std::string_view name_;  // empty: an item of an array, at index_
    std::size_t index_ = 0;
};

// The state of one read: how problems are named and the first problem met.
class DocumentReader {
  public:
    // `subject` names the document itself in a problem about it as a whole ("the world").
    DocumentReader(FieldNaming naming, std::string subject)
        : naming_(naming), subject_(std::move(subject)) {}

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    // Keeps the first problem: `what` about the value at `where`.
    void Fail(const Where& where, const std::string& what);
    // A required field that is absent; `rule` is the field's rule, for quoted naming.
    void Missing(const Where& where, const std::string& rule);

    // Reads `json` into `value`, which keeps its value where `json` leaves a field out.
    template <class T>
    void Read(const rapidjson::Value& json,
              T& value,
              const Where& where,
              const FieldRules& rules = {});

    template <DescribedRecord T>
    void ReadRecord(const rapidjson::Value& json, T& record, const Where& where);

  private:
    // Whether every member of `object` is one of `names` and none is given twice.
    template <DescribedRecord T>
    bool CheckMembers(const rapidjson::Value& object, const Where& where);

    template <class T>
    void ReadInteger(const rapidjson::Value& json,
                     T& value,
                     const Where& where,
                     const FieldRules& rules);
    void ReadText(const rapidjson::Value& json,
                  std::string& value,
                  const Where& where,
                  const FieldRules& rules);
    void ReadNumber(const rapidjson::Value& json,
                    double& value,
                    const Where& where,
                    const FieldRules& rules);
    template <class T>
    void ReadArray(const rapidjson::Value& json,
                   std::vector<T>& values,
                   const Where& where,
                   const FieldRules& rules);

    FieldNaming naming_;
    std::string subject_;
    std::string error_;
};

// The rule of a field in words, as its errors and its missing message say it.
std::string IntegerRule(const FieldRules& rules, bool isUnsigned);
std::string TextRule(const FieldRules& rules);
std::string NumberRule(const FieldRules& rules);
std::string ArrayRule(const FieldRules& rules);
std::string CompactJson(const rapidjson::Value& json);

// The io that gives every field of a record its default, for a record the document leaves out
// whole: its fields then hold what they would hold had it been given empty.
class DefaultFields {
  public:
    template <class T>
    void Required(const char*, T&, const FieldRules& = {}) {}
    template <class T>
    void Optional(const char*, T& value, const FieldRules& = {}) {
        if constexpr (DescribedRecord<T>) {
            RecordMap<T>::Map(*this, value);
        }
    }
    template <class T>
    void Optional(const char*,
                  T& value,
                  const std::type_identity_t<T>& fallback,
                  const FieldRules& = {}) {
        value = fallback;
    }
};

// The io a record's Map is run with while reading one JSON object.
class RecordReader {
  public:
    RecordReader(DocumentReader& document, const rapidjson::Value& object, const Where& where)
        : document_(document), object_(object), where_(where) {}

    template <class T>
    void Required(const char* name, T& value, const FieldRules& rules = {}) {
        if (const rapidjson::Value* member = Find(name)) {
            Read(name, *member, value, rules);
        } else if (document_.Ok() && !rules.readOnly) {
            document_.Missing(where_.Field(name), RuleOf<T>(rules));
        }
    }
    template <class T>
    void Optional(const char* name, T& value, const FieldRules& rules = {}) {
        if (const rapidjson::Value* member = Find(name)) {
            Read(name, *member, value, rules);
        } else if constexpr (DescribedRecord<T>) {
            DefaultFields defaults;
            RecordMap<T>::Map(defaults, value);
        }
    }
    template <class T>
    void Optional(const char* name,
                  T& value,
                  const std::type_identity_t<T>& fallback,
                  const FieldRules& rules = {}) {
        if (const rapidjson::Value* member = Find(name)) {
            Read(name, *member, value, rules);
        } else {
            value = fallback;
        }
    }

  private:
    const rapidjson::Value* Find(const char* name) const {
        if (!document_.Ok()) {
            return nullptr;
        }
        const auto member = object_.FindMember(name);
        return member == object_.MemberEnd() ? nullptr : &member->value;
    }
    template <class T>
    void Read(const char* name, const rapidjson::Value& json, T& value, const FieldRules& rules) {
        if (!rules.readOnly) {
            document_.Read(json, value, where_.Field(name), rules);
        }
    }
    template <class T>
    static std::string RuleOf(const FieldRules& rules);

    DocumentReader& document_;
    const rapidjson::Value& object_;
    const Where& where_;
};

template <class T>
std::string RecordReader::RuleOf(const FieldRules& rules) {
    using V = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<V, bool>) {
        return rules.rule != nullptr ? rules.rule : "must be true or false";
    } else if constexpr (std::is_integral_v<V>) {
        return IntegerRule(rules, std::is_unsigned_v<V>);
    } else if constexpr (std::is_floating_point_v<V>) {
        return NumberRule(rules);
    } else if constexpr (std::is_same_v<V, std::string>) {
        return TextRule(rules);
    } else {
        return rules.rule != nullptr ? rules.rule : "";
    }
}

template <class T>
inline constexpr bool kIsVector = false;
template <class T>
inline constexpr bool kIsVector<std::vector<T>> = true;
template <class T>
inline constexpr bool kIsOptional = false;
template <class T>
inline constexpr bool kIsOptional<std::optional<T>> = true;
template <class T>
inline constexpr bool kIsNullable = false;
template <class T>
inline constexpr bool kIsNullable<Nullable<T>> = true;

template <class T>
void DocumentReader::Read(const rapidjson::Value& json,
                          T& value,
                          const Where& where,
                          const FieldRules& rules) {
    if (!Ok()) {
        return;
    }
    if constexpr (DescribedRecord<T>) {
        ReadRecord(json, value, where);
    } else if constexpr (MappedValue<T>) {
        ValueMap<T>::Read(json, value, where, *this);
    } else if constexpr (kIsVector<T>) {
        ReadArray(json, value, where, rules);
    } else if constexpr (kIsOptional<T>) {
        Read(json, value.emplace(), where, rules);
    } else if constexpr (kIsNullable<T>) {
        if (json.IsNull()) {
            value.value.reset();
        } else {
            Read(json, value.value.emplace(), where, rules);
        }
    } else if constexpr (std::is_same_v<T, RawJson>) {
        value.json = CompactJson(json);
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!json.IsBool()) {
            Fail(where, rules.rule != nullptr ? rules.rule : "must be true or false");
        } else {
            value = json.GetBool();
        }
    } else if constexpr (std::is_integral_v<T>) {
        ReadInteger(json, value, where, rules);
    } else if constexpr (std::is_same_v<T, double>) {
        ReadNumber(json, value, where, rules);
    } else {
        static_assert(std::is_same_v<T, std::string>, "no reader for this type of field");
        ReadText(json, value, where, rules);
    }
}

template <class T>
void DocumentReader::ReadInteger(const rapidjson::Value& json,
                                 T& value,
                                 const Where& where,
                                 const FieldRules& rules) {
    using Limits = std::numeric_limits<T>;
    bool fits = false;
    if constexpr (std::is_unsigned_v<T>) {
        fits = json.IsUint64() && json.GetUint64() <= Limits::max();
    } else {
        fits =
            json.IsInt64() && json.GetInt64() >= Limits::min() && json.GetInt64() <= Limits::max();
    }
    const auto read =
        fits ? static_cast<T>(std::is_unsigned_v<T> ? json.GetUint64()
                                                    : static_cast<uint64_t>(json.GetInt64()))
             : T{};
    if (!fits || (rules.minimum && static_cast<double>(read) < *rules.minimum) ||
        (rules.maximum && static_cast<double>(read) > *rules.maximum)) {
        Fail(where, IntegerRule(rules, std::is_unsigned_v<T>));
        return;
    }
    value = read;
}

template <class T>
void DocumentReader::ReadArray(const rapidjson::Value& json,
                               std::vector<T>& values,
                               const Where& where,
                               const FieldRules& rules) {
    if (!json.IsArray() || (rules.minimum && json.Size() < *rules.minimum) ||
        (rules.maximum && json.Size() > *rules.maximum)) {
        Fail(where, ArrayRule(rules));
        return;
    }
    values.clear();
    values.reserve(json.Size());
    FieldRules itemRules = rules;
    itemRules.minimum = itemRules.maximum = std::nullopt;
    itemRules.rule = nullptr;
    for (rapidjson::SizeType i = 0; i < json.Size() && Ok(); ++i) {
        Read(json[i], values.emplace_back(), where.Item(i), itemRules);
    }
}

template <DescribedRecord T>
bool DocumentReader::CheckMembers(const rapidjson::Value& object, const Where& where) {
    const std::vector<const char*>& names = FieldNames<T>();
    uint64_t seen = 0;  // bit i: names[i] was met
    for (const auto& member : object.GetObject()) {
        const std::string_view name(member.name.GetString(), member.name.GetStringLength());
        std::size_t index = 0;
        while (index < names.size() && name != names[index]) {
            ++index;
        }
        const Where at = where.Field(name);
        if (index == names.size()) {
            const char* noun =
                RecordNoun<T>(naming_ == FieldNaming::Path ? "this record" : "the body");
            if (naming_ == FieldNaming::Path) {
                Fail(at, std::string("is not a field of ") + noun);
            } else {
                std::string list;
                for (std::size_t i = 0; i < names.size(); ++i) {
                    list += std::string(i == 0                  ? ""
                                        : i + 1 == names.size() ? " and "
                                                                : ", ") +
                            "\"" + names[i] + "\"";
                }
                error_ = "unknown field \"" + at.Text() + "\"; " + noun + " takes " + list;
            }
            return false;
        }
        if ((seen >> index & 1) != 0) {
            Fail(at, "is given twice");
            return false;
        }
        seen |= uint64_t{1} << index;
    }
    return true;
}

template <DescribedRecord T>
void DocumentReader::ReadRecord(const rapidjson::Value& json, T& record, const Where& where) {
    if (!json.IsObject()) {
        Fail(where, "must be an object");
        return;
    }
    if (!CheckMembers<T>(json, where)) {
        return;
    }
    RecordReader io(*this, json, where);
    RecordMap<T>::Map(io, record);
    if constexpr (requires { RecordMap<T>::Finish(record); }) {
        if (Ok()) {
            if (std::optional<FieldProblem> problem = RecordMap<T>::Finish(record)) {
                Fail(problem->field.empty() ? where : where.Field(problem->field), problem->what);
            }
        }
    }
}

// Reads a whole document into `record`; "" when it is read, else what is wrong and where.
template <DescribedRecord T>
std::string ReadDocument(const rapidjson::Value& json,
                         T& record,
                         FieldNaming naming,
                         std::string subject) {
    DocumentReader reader(naming, std::move(subject));
    reader.ReadRecord(json, record, Where());
    return reader.Error();
}

}  // namespace Kolm::Host
