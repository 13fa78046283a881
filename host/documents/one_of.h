// Alternatives: a group of a record's optional fields of which exactly one is given (a
// scenario's step has one time, atMs or afterMs, and one action). The group is named by its
// fields; whether each is given comes from the record's own Map, so a record's Finish says
// only which fields are alternatives:
//
//   static std::optional<FieldProblem> Finish(Step& step) {
//       static constexpr const char* kTimes[] = {"atMs", "afterMs"};
//       return ExactlyOneOf(step, kTimes, "time");
//   }
//
// A record that gives none is told "needs one time: atMs or afterMs" (or the words the caller
// gives instead), one that gives two "gives both atMs and afterMs; a step has one time", with
// the record's kNoun.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "host/documents/record_map.h"
#include "host/documents/record_reader.h"

namespace Kolm::Host {

// The io that finds which of `names` a record gives: an optional field that holds a value.
class GivenFields {
  public:
    explicit GivenFields(std::span<const char* const> names) : names_(names) {}

    template <class T>
    void Required(const char*, T&, const FieldRules& = {}) {}
    template <class T>
    void Optional(const char* name, T& value, const FieldRules& = {}) {
        if constexpr (kIsOptional<T>) {
            Meet(name, value.has_value());
        }
    }
    template <class T>
    void Optional(const char*, T&, const std::type_identity_t<T>&, const FieldRules& = {}) {}

    // Bit i: names[i] is given.
    uint64_t Given() const { return given_; }
    // Whether every name is an optional field of the record, met while the Map ran.
    bool AllMet() const { return met_ + 1 == uint64_t{1} << names_.size(); }

  private:
    void Meet(std::string_view name, bool given) {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (name == names_[i]) {
                met_ |= uint64_t{1} << i;
                given_ |= given ? uint64_t{1} << i : 0;
            }
        }
    }

    std::span<const char* const> names_;
    uint64_t met_ = 0;
    uint64_t given_ = 0;
};

// Bit i: `record` gives names[i].
template <DescribedRecord T>
uint64_t GivenMask(T& record, std::span<const char* const> names) {
    if (names.size() >= 64) {
        std::abort();  // a description error, met by the first test that reads the record
    }
    GivenFields io(names);
    RecordMap<T>::Map(io, record);
    if (!io.AllMet()) {
        std::abort();  // an alternative that is not an optional field of the record
    }
    return io.Given();
}

// The index in `names` of the one alternative `record` gives; nothing when it gives none or
// more than one.
template <DescribedRecord T>
std::optional<std::size_t> GivenAlternative(T& record, std::span<const char* const> names) {
    const uint64_t given = GivenMask(record, names);
    if (!std::has_single_bit(given)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::countr_zero(given));
}

// The problem of a group that does not hold exactly one given alternative; `kind` is what one
// alternative is ("action"), `owner` what the record is called ("a step"), `needs` what a
// record that gives none is told, or null for "needs one <kind>: a, b or c".
std::optional<FieldProblem> AlternativesProblem(std::span<const char* const> names,
                                                uint64_t given,
                                                const char* kind,
                                                const char* owner,
                                                const char* needs);

// Checks that `record` gives exactly one of the optional fields `names`.
template <DescribedRecord T>
std::optional<FieldProblem> ExactlyOneOf(T& record,
                                         std::span<const char* const> names,
                                         const char* kind,
                                         const char* needs = nullptr) {
    return AlternativesProblem(names, GivenMask(record, names), kind, RecordNoun<T>("a record"),
                               needs);
}

}  // namespace Kolm::Host
