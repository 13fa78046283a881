// ParseYaml: a converter from libyaml's parse events to a BindingProperty tree.
#include "formats/yaml.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/value_builder.h"
#include "formats/yaml_library.h"
#include "logging/message_format.h"

namespace Kolm {

namespace {

constexpr const char* kStrTag = "tag:yaml.org,2002:str";
constexpr const char* kIntTag = "tag:yaml.org,2002:int";
constexpr const char* kFloatTag = "tag:yaml.org,2002:float";
constexpr const char* kBoolTag = "tag:yaml.org,2002:bool";

enum class PlainWord { Other, Null, True, False };

PlainWord ClassifyWord(std::string_view text) {
    static constexpr std::string_view kNull[] = {"", "~", "null", "Null", "NULL"};
    static constexpr std::string_view kTrue[] = {"true", "True", "TRUE", "y",  "Y", "yes",
                                                 "Yes",  "YES",  "on",   "On", "ON"};
    static constexpr std::string_view kFalse[] = {"false", "False", "FALSE", "n",   "N",  "no",
                                                  "No",    "NO",    "off",   "Off", "OFF"};
    if (text.size() > 5) {
        return PlainWord::Other;
    }
    for (std::string_view word : kNull) {
        if (text == word)
            return PlainWord::Null;
    }
    for (std::string_view word : kTrue) {
        if (text == word)
            return PlainWord::True;
    }
    for (std::string_view word : kFalse) {
        if (text == word)
            return PlainWord::False;
    }
    return PlainWord::Other;
}

bool TagIs(const yaml_char_t* tag, const char* name) {
    return std::string_view(reinterpret_cast<const char*>(tag)) == name;
}

enum class DecimalInteger { NotDecimal, Stored, TooLarge };

// Reads a text of only decimal digits, with an optional "-", exactly when it fits 64 bits.
// strtod would round integers beyond 2^53 (large ids) to a neighbouring value.
DecimalInteger StoreExactInteger(std::string_view text, BindingProperty& target) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty()) {
        return DecimalInteger::NotDecimal;
    }
    std::uint64_t value = 0;
    bool tooLarge = false;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return DecimalInteger::NotDecimal;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        tooLarge = tooLarge || value > (UINT64_MAX - digit) / 10;
        value = value * 10 + digit;
    }
    if (tooLarge || (negative && value > static_cast<std::uint64_t>(INT64_MAX) + 1)) {
        return DecimalInteger::TooLarge;
    }
    if (!negative || value == 0) {
        target = value;  // "-0" too, as strtod's -0.0 would give
    } else {
        target = static_cast<std::int64_t>(0 - value);
    }
    return DecimalInteger::Stored;
}

// Resolves a plain scalar as a number when strtod reads all of it. Integral values become
// integers only when they fit; NaN, infinities and integral values beyond 64 bits are not
// integers.
bool StoreNumber(std::string_view view, BindingProperty& target) {
    const char first = view.empty() ? '\0' : view[0];
    const bool mayBeNumber = (first >= '0' && first <= '9') || first == '-' || first == '+' ||
                             first == '.' || first == 'i' || first == 'I' || first == 'n' ||
                             first == 'N';
    if (!mayBeNumber) {
        return false;  // strtod reads nothing else
    }
    const DecimalInteger integer = StoreExactInteger(view, target);
    if (integer == DecimalInteger::Stored) {
        return true;
    }
    const char* text = view.data();  // libyaml's scalars are zero-terminated
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || end != text + view.size() || std::isinf(value) || std::isnan(value)) {
        return false;
    }
    if (integer == DecimalInteger::TooLarge) {
        target = value;
        return true;
    }
    if (value != std::trunc(value)) {
        target = value;
    } else if (value < 0) {
        if (value >= -9223372036854775808.0) {
            target = static_cast<std::int64_t>(value);
        } else {
            target = value;
        }
    } else if (value < 18446744073709551616.0) {
        target = static_cast<std::uint64_t>(value);
    } else {
        target = value;
    }
    return true;
}

class YamlConverter {
  public:
    YamlConverter(const YamlLibrary& library, BindingResult& result)
        : library(library), result(result), builder(result.value) {}

    void Run(std::string_view text);

  private:
    static constexpr std::size_t kNone = SIZE_MAX;

    // An anchored value. A scalar is kept as a copy; a container is copied only when an alias
    // first needs it, until then `place` says where it lives, so a document without aliases copies
    // nothing. `complete` is false while the anchored container is still open, which is what makes
    // an alias of it cyclic.
    struct Anchor {
        BindingProperty value;
        std::size_t valueCount = 0;  // values in `value`, itself included
        std::size_t depth = 0;       // nesting levels of containers in `value`
        bool complete = false;
        std::size_t place = kNone;  // index into `places` while not copied yet
    };
    // Where a container lives: one step (key or index) inside the place of its parent container,
    // or, without a parent, a base: the document, or a value detached from it.
    struct Place {
        std::size_t parent = kNone;
        std::size_t base = kNone;  // without a parent: kNone for the document, else `detached`
        bool inStructure = false;
        std::string key;
        std::size_t index = 0;
    };
    // One open container beside the builder's frame for it.
    struct OpenContainer {
        OpenContainer(BindingProperty* container, const std::string* anchor)
            : container(container), anchor(anchor) {}

        BindingProperty* container;
        const std::string* anchor;  // its anchor's name; null when unanchored
        std::size_t place = kNone;  // made when an anchored container inside it completes
        std::string key;            // the key selected last, in a Structure
        // Places of entries holding anchored containers, by key. A repeated key replaces its
        // entry's value, so such an entry is detached (copied aside) first.
        std::unordered_map<std::string, std::size_t> placedEntries;
    };

    void Handle(const yaml_event_t& event);
    void DocumentStart();
    void Scalar(const yaml_event_t& event);
    void ScalarKey(const yaml_event_t& event);
    void ScalarValue(const yaml_event_t& event, BindingProperty& target);
    void TaggedScalar(const char* tag, std::string_view text, BindingProperty& target);
    void ContainerStart(const yaml_event_t& event, bool isSequence);
    void ContainerEnd();
    void Alias(const yaml_event_t& event);

    // Adds an anchor; false (and the duplicate message) when the name is taken.
    bool AddAnchor(const yaml_char_t* name, const yaml_mark_t& mark, Anchor** anchor);
    // Keeps a copy of an anchored scalar or key.
    static void Complete(Anchor& anchor, const BindingProperty& value);
    // The place of the document's root.
    std::size_t DocumentPlace();
    // The place of open container `open[index]`, made (with those of its parents) on first need.
    std::size_t PlaceOfOpen(std::size_t index);
    // A place for the current child of open container `open[parent]`: its last element or the
    // entry of its last key.
    std::size_t PlaceChild(std::size_t parent);
    // Copies an anchored container from its place, on the first alias that needs it.
    void Materialise(Anchor& anchor);
    // Before the entry of a repeated key is replaced: keeps the anchored containers in it.
    void DetachEntry(OpenContainer& structure, std::string_view key);
    void FailAt(const char* templateText, const yaml_mark_t& mark);
    void FailNamedAt(const char* templateText, const yaml_char_t* name, const yaml_mark_t& mark);

    const YamlLibrary& library;
    BindingResult& result;
    ValueBuilder builder;
    std::unordered_map<std::string, Anchor> anchors;
    std::vector<OpenContainer> open;
    std::vector<Place> places;
    std::deque<BindingProperty> detached;
    std::size_t aliasExpansion = 0;
};

void CountValues(const BindingProperty& value,
                 std::size_t level,
                 std::size_t& count,
                 std::size_t& depth) {
    ++count;
    if (value.IsCollection()) {
        depth = std::max(depth, level + 1);
        for (const BindingProperty& element : value.Elements()) {
            CountValues(element, level + 1, count, depth);
        }
    } else if (value.IsStructure()) {
        depth = std::max(depth, level + 1);
        for (const BindingEntry& entry : value.Entries()) {
            CountValues(entry.Value(), level + 1, count, depth);
        }
    }
}

void YamlConverter::Run(std::string_view text) {
    builder.ReserveTextsFor(text.size());
    yaml_parser_t parser;
    if (library.parserInitialize(&parser) == 0) {
        result.Fail("YAML parser error: out of memory. At line: 0 col: 0");
        return;
    }
    library.parserSetEncoding(&parser, YAML_UTF8_ENCODING);
    // libyaml refuses a null input even when it is empty.
    const char* input = text.data() != nullptr ? text.data() : "";
    library.parserSetInputString(&parser, reinterpret_cast<const unsigned char*>(input),
                                 text.size());
    yaml_event_t event;
    bool parserFailed = false;
    while (result.Succeeded()) {
        if (library.parserParse(&parser, &event) == 0) {
            parserFailed = true;
            break;
        }
        const bool streamEnd = event.type == YAML_STREAM_END_EVENT;
        Handle(event);
        library.eventDelete(&event);
        if (streamEnd) {
            break;
        }
    }
    if (parserFailed && result.Succeeded()) {
        result.Fail(Format("YAML parser error: %1. At line: %2 col: %3",
                           parser.problem != nullptr ? parser.problem : "unknown problem",
                           static_cast<std::uint64_t>(parser.problem_mark.line),
                           static_cast<std::uint64_t>(parser.problem_mark.column)));
    }
    library.parserDelete(&parser);
}

void YamlConverter::Handle(const yaml_event_t& event) {
    switch (event.type) {
        case YAML_DOCUMENT_START_EVENT:
            DocumentStart();
            return;
        case YAML_SCALAR_EVENT:
            Scalar(event);
            return;
        case YAML_SEQUENCE_START_EVENT:
            ContainerStart(event, true);
            return;
        case YAML_MAPPING_START_EVENT:
            ContainerStart(event, false);
            return;
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
            ContainerEnd();
            return;
        case YAML_ALIAS_EVENT:
            Alias(event);
            return;
        default:  // stream start and end, document end
            return;
    }
}

void YamlConverter::DocumentStart() {
    if (!result.value.IsEmpty()) {
        result.Fail("Multi-document YAML is not supported.");
    }
}

void YamlConverter::Scalar(const yaml_event_t& event) {
    if (builder.ExpectsKey()) {
        ScalarKey(event);
        return;
    }
    BindingProperty& target = builder.Target();
    ScalarValue(event, target);
    if (result.Succeeded() && event.data.scalar.anchor != nullptr) {
        Anchor* anchor = nullptr;
        if (AddAnchor(event.data.scalar.anchor, event.start_mark, &anchor)) {
            Complete(*anchor, target);
        }
    }
}

void YamlConverter::ScalarKey(const yaml_event_t& event) {
    const auto& scalar = event.data.scalar;
    if (scalar.tag != nullptr && !TagIs(scalar.tag, kStrTag)) {
        FailAt("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2",
               event.start_mark);
        return;
    }
    const std::string_view key(reinterpret_cast<const char*>(scalar.value), scalar.length);
    OpenContainer& structure = open.back();
    if (!structure.placedEntries.empty()) {
        DetachEntry(structure, key);
    }
    structure.key.assign(key);
    builder.SetKey(key);
    if (scalar.anchor != nullptr) {
        Anchor* anchor = nullptr;
        if (AddAnchor(scalar.anchor, event.start_mark, &anchor)) {
            Complete(*anchor, BindingProperty(key));
        }
    }
}

void YamlConverter::ScalarValue(const yaml_event_t& event, BindingProperty& target) {
    const auto& scalar = event.data.scalar;
    const char* text = reinterpret_cast<const char*>(scalar.value);
    const std::string_view view(text, scalar.length);
    if (scalar.tag != nullptr) {
        TaggedScalar(reinterpret_cast<const char*>(scalar.tag), view, target);
        return;
    }
    if (scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE ||
        scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE) {
        target = view;
        return;
    }
    switch (ClassifyWord(view)) {
        case PlainWord::Null:
            target.Clear();  // Empty, also over a repeated key's earlier value
            return;
        case PlainWord::True:
            target = true;
            return;
        case PlainWord::False:
            target = false;
            return;
        case PlainWord::Other:
            break;
    }
    if (!StoreNumber(view, target)) {
        target = view;
    }
}

// `view` is libyaml's scalar, which is zero-terminated after its length.
void YamlConverter::TaggedScalar(const char* tag, std::string_view view, BindingProperty& target) {
    const std::string_view tagText(tag);
    const char* text = view.data();
    auto outOfRange = [&](const char* type) {
        result.Fail(Format("Value %1 for '%2' of type %3 is out of range", text, "yaml", type));
    };
    auto badFormat = [&](const char* type) {
        result.Fail(
            Format("Value %1 for '%2' of type %3 is in an incorrect format", text, "yaml", type));
    };
    if (tagText == kStrTag) {
        target = view;
        return;
    }
    char* end = nullptr;
    errno = 0;
    if (tagText == kIntTag) {
        const char* first = text;
        while (*first == ' ' || (*first >= '\t' && *first <= '\r')) {
            ++first;
        }
        if (*text == '-') {
            const long long value = std::strtoll(text, &end, 0);
            if (*end != '\0') {
                badFormat("int64_t");
            } else if (errno == ERANGE) {
                outOfRange("int64_t");
            } else {
                target = static_cast<std::int64_t>(value);
            }
            return;
        }
        const unsigned long long value = std::strtoull(text, &end, 0);
        if (*end != '\0') {
            badFormat("uint64_t");
        } else if (errno == ERANGE || *first == '-') {  // strtoull would wrap " -1" around
            outOfRange("uint64_t");
        } else {
            target = static_cast<std::uint64_t>(value);
        }
        return;
    }
    if (tagText == kFloatTag) {
        const double value = std::strtod(text, &end);
        if (*end != '\0') {
            badFormat("double");
        } else if (std::isinf(value)) {
            outOfRange("double");
        } else {
            target = value;
        }
        return;
    }
    if (tagText == kBoolTag) {
        const PlainWord word = ClassifyWord(view);
        if (word == PlainWord::True || word == PlainWord::False) {
            target = word == PlainWord::True;
        } else {
            target.Clear();
        }
        return;
    }
    result.Fail(Format("Unsupported YAML tag '%1'.", tag));
}

void YamlConverter::ContainerStart(const yaml_event_t& event, bool isSequence) {
    if (builder.ExpectsKey()) {
        FailAt(isSequence ? "Unexpected start of sequence. At line: %1 col: %2"
                          : "Unexpected start of mapping. At line: %1 col: %2",
               event.start_mark);
        return;
    }
    BindingProperty& target = builder.Target();
    const yaml_char_t* anchorName =
        isSequence ? event.data.sequence_start.anchor : event.data.mapping_start.anchor;
    const std::string* openAnchor = nullptr;
    if (anchorName != nullptr) {
        Anchor* anchor = nullptr;
        if (!AddAnchor(anchorName, event.start_mark, &anchor)) {
            return;
        }
        openAnchor = &anchors.find(reinterpret_cast<const char*>(anchorName))->first;
    }
    const bool opened = isSequence ? builder.OpenCollection(target) : builder.OpenStructure(target);
    if (!opened) {
        FailAt((std::string(ValueBuilder::kNestingTooDeepText) + ". At line: %1 col: %2").c_str(),
               event.start_mark);
        return;
    }
    open.emplace_back(&target, openAnchor);
}

void YamlConverter::ContainerEnd() {
    builder.Close();
    const std::string* anchorName = open.back().anchor;
    const std::size_t place = open.back().place;
    open.pop_back();
    if (anchorName != nullptr) {
        Anchor& anchor = anchors.find(*anchorName)->second;
        anchor.place = place != kNone ? place
                       : open.empty() ? DocumentPlace()
                                      : PlaceChild(open.size() - 1);
        anchor.complete = true;
    }
}

void YamlConverter::Alias(const yaml_event_t& event) {
    const yaml_char_t* name = event.data.alias.anchor;
    if (builder.ExpectsKey()) {
        FailAt("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2",
               event.start_mark);
        return;
    }
    const auto found = anchors.find(reinterpret_cast<const char*>(name));
    if (found != anchors.end() && !found->second.complete) {
        FailNamedAt("Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3", name,
                    event.start_mark);
        return;
    }
    if (found == anchors.end()) {
        FailNamedAt("Undefined alias encountered: \"%1\". At line: %2 col: %3", name,
                    event.start_mark);
        return;
    }
    Anchor& anchor = found->second;
    if (anchor.place != kNone) {
        Materialise(anchor);
    }
    if (builder.Depth() + anchor.depth > ValueBuilder::kMaxNestingDepth) {
        FailAt((std::string(ValueBuilder::kNestingTooDeepText) + ". At line: %1 col: %2").c_str(),
               event.start_mark);
        return;
    }
    aliasExpansion += anchor.valueCount;
    if (aliasExpansion > kMaxAliasExpansion) {
        FailNamedAt("Aliases expand to more than 1000000 values. Alias \"%1\". At line: %2 col: %3",
                    name, event.start_mark);
        return;
    }
    builder.Target() = anchor.value;
}

bool YamlConverter::AddAnchor(const yaml_char_t* name, const yaml_mark_t& mark, Anchor** anchor) {
    const auto [entry, inserted] = anchors.try_emplace(reinterpret_cast<const char*>(name));
    if (!inserted) {
        FailNamedAt("Duplicate occurrence of anchor \"%1\". At line: %2 col: %3", name, mark);
        return false;
    }
    *anchor = &entry->second;
    return true;
}

void YamlConverter::Complete(Anchor& anchor, const BindingProperty& value) {
    anchor.value = value;
    anchor.valueCount = 1;
    anchor.complete = true;
}

std::size_t YamlConverter::DocumentPlace() {
    places.push_back({});
    return places.size() - 1;
}

std::size_t YamlConverter::PlaceOfOpen(std::size_t index) {
    if (open[index].place == kNone) {
        open[index].place = index == 0 ? DocumentPlace() : PlaceChild(index - 1);
    }
    return open[index].place;
}

std::size_t YamlConverter::PlaceChild(std::size_t parent) {
    Place child;
    child.parent = PlaceOfOpen(parent);
    OpenContainer& container = open[parent];
    if (container.container->IsStructure()) {
        child.inStructure = true;
        child.key = container.key;
    } else {
        child.index = container.container->Size() - 1;
    }
    places.push_back(std::move(child));
    if (places.back().inStructure) {
        container.placedEntries[container.key] = places.size() - 1;
    }
    return places.size() - 1;
}

void YamlConverter::Materialise(Anchor& anchor) {
    std::vector<const Place*> steps;
    std::size_t at = anchor.place;
    while (places[at].parent != kNone) {
        steps.push_back(&places[at]);
        at = places[at].parent;
    }
    const BindingProperty* value =
        places[at].base == kNone ? &result.value : &detached[places[at].base];
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        value = (*step)->inStructure ? &value->Find((*step)->key) : &value->At((*step)->index);
    }
    anchor.value = *value;
    anchor.place = kNone;
    CountValues(anchor.value, 0, anchor.valueCount, anchor.depth);
}

void YamlConverter::DetachEntry(OpenContainer& structure, std::string_view key) {
    const auto found = structure.placedEntries.find(std::string(key));
    if (found == structure.placedEntries.end()) {
        return;
    }
    detached.emplace_back(structure.container->Find(key));
    Place& place = places[found->second];
    place.parent = kNone;
    place.base = detached.size() - 1;
    structure.placedEntries.erase(found);
}

void YamlConverter::FailAt(const char* templateText, const yaml_mark_t& mark) {
    result.Fail(Format(templateText, static_cast<std::uint64_t>(mark.line + 1),
                       static_cast<std::uint64_t>(mark.column + 1)));
}

void YamlConverter::FailNamedAt(const char* templateText,
                                const yaml_char_t* name,
                                const yaml_mark_t& mark) {
    result.Fail(Format(templateText, reinterpret_cast<const char*>(name),
                       static_cast<std::uint64_t>(mark.line + 1),
                       static_cast<std::uint64_t>(mark.column + 1)));
}

static_assert(kMaxAliasExpansion == 1000000, "the expansion message names the limit");

}  // namespace

BindingResult ParseYaml(std::string_view text) {
    return ParseYaml(text, YamlLibrary::Instance());
}

BindingResult ParseYaml(std::string_view text, const YamlLibrary& library) {
    BindingResult result;
    if (!library.IsLoaded()) {
        result.Fail(library.LoadError());
        return result;
    }
    YamlConverter converter(library, result);
    converter.Run(text);
    return result;
}

}  // namespace Kolm
