// Records of every kind of field the description knows, for the tests of the reader, the
// writer and the schema.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/documents/record_map.h"

namespace Kolm::Host::Testing {

struct SampleItem {
    uint64_t id = 0;
    std::string label;
    bool operator==(const SampleItem&) const = default;
};

struct SampleLimits {
    int32_t most = 0;
    std::string unit;
    bool operator==(const SampleLimits&) const = default;
};

struct Sample {
    std::string id;
    std::string name;
    uint32_t waitMs = 0;
    int64_t at = 0;
    bool frozen = false;
    double share = 0;
    std::string kind;
    std::string path;
    std::vector<SampleItem> items;
    std::optional<std::string> note;
    std::optional<Nullable<uint64_t>> owner;
    std::optional<RawJson> extra;
    SampleLimits limits;
    bool operator==(const Sample&) const = default;
};

inline constexpr const char* kSampleKinds[] = {"plain", "fancy"};

inline bool StartsWithSlash(std::string_view text) {
    return !text.empty() && text.front() == '/';
}

}  // namespace Kolm::Host::Testing

namespace Kolm::Host {

template <>
struct RecordMap<Testing::SampleItem> {
    static constexpr const char* kName = "SampleItem";
    template <class Io>
    static void Map(Io& io, Testing::SampleItem& item) {
        io.Required("id", item.id);
        io.Optional("label", item.label);
    }
    // Labels are unique to an id of their own: "dup" is refused, to test the record's rule.
    static std::optional<FieldProblem> Finish(Testing::SampleItem& item) {
        if (item.label == "dup") {
            return FieldProblem{"label", "must not be \"dup\""};
        }
        if (item.id == 99) {
            return FieldProblem{"", "an item may not have id 99"};
        }
        return std::nullopt;
    }
};

template <>
struct RecordMap<Testing::SampleLimits> {
    template <class Io>
    static void Map(Io& io, Testing::SampleLimits& limits) {
        io.Optional("most", limits.most, 10);
        io.Optional("unit", limits.unit, "each");
    }
};

template <>
struct RecordMap<Testing::Sample> {
    static constexpr const char* kName = "Sample";
    static constexpr const char* kDescription = "A record of every kind of field";
    static constexpr const char* kNoun = "a sample";
    template <class Io>
    static void Map(Io& io, Testing::Sample& sample) {
        io.Optional("id", sample.id, Rules().ReadOnly());
        io.Required("name", sample.name, Rules().Describe("what it is called"));
        io.Optional("waitMs", sample.waitMs, Rules().Range(0, 60000).Unit("milliseconds"));
        io.Optional("at", sample.at);
        io.Optional("frozen", sample.frozen, false, Rules().OmitDefault());
        io.Optional("share", sample.share, 1.0, Rules().Range(0, 1));
        io.Optional("kind", sample.kind, "plain", Rules().Choices(Testing::kSampleKinds));
        io.Optional("path", sample.path,
                    Rules().Accepts(Testing::StartsWithSlash).Rule("must start with \"/\""));
        io.Optional("items", sample.items, Rules().Max(3));
        io.Optional("note", sample.note);
        io.Optional("owner", sample.owner);
        io.Optional("extra", sample.extra);
        io.Optional("limits", sample.limits);
    }
};

}  // namespace Kolm::Host
