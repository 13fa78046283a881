// Builds a BindingProperty tree from fuzz bytes (a small instruction stream), then assigns it to a
// native record of every field type, converts the record back, sends the tree through the host
// value form and copies it: nothing may crash or leak, and copies and host round trips of trees
// without enum values must compare equal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_conversion.h"
#include "binding/binding_type_registry.h"

namespace {

enum class Shade : std::int16_t { Dark = -1, Light = 1 };

struct Inner {
    std::int32_t number = 0;
    std::string text;
};

struct Record {
    bool flag = false;
    std::int8_t small = 0;
    std::uint32_t count = 0;
    std::int64_t big = 0;
    std::uint64_t huge = 0;
    float ratio = 0;
    double score = 0;
    std::string name;
    Kolm::BindingProperty object;
    Kolm::BindingBlob bytes;
    Shade shade = Shade::Dark;
    Inner inner;
    std::vector<bool> flags;
    std::vector<std::string> names;
    std::vector<Inner> inners;
    std::vector<std::vector<Shade>> shades;
    std::unordered_map<std::string, std::int32_t> counts;
    std::unordered_map<std::string, Inner> byName;
    std::optional<double> maybe;
};

const Kolm::BindingTypeRegistry& Registry() {
    static Kolm::BindingTypeRegistry* registry = [] {
        auto* made = new Kolm::BindingTypeRegistry();
        made->RegisterBuiltins();
        made->RegisterEnum<Shade>("Shade")
            .AddValue("DARK", Shade::Dark)
            .AddValue("LIGHT", Shade::Light);
        made->RegisterStruct<Inner>("Inner")
            .AddField("number", &Inner::number, "", Kolm::FieldRequired)
            .AddField("text", &Inner::text, "", Kolm::FieldOmitEmpty);
        made->RegisterStruct<Record>("Record")
            .AddField("flag", &Record::flag)
            .AddField("small", &Record::small)
            .AddField("count", &Record::count)
            .AddField("big", &Record::big)
            .AddField("huge", &Record::huge)
            .AddField("ratio", &Record::ratio)
            .AddField("score", &Record::score)
            .AddField("name", &Record::name)
            .AddField("object", &Record::object)
            .AddField("bytes", &Record::bytes)
            .AddField("shade", &Record::shade)
            .AddField("inner", &Record::inner)
            .AddField("flags", &Record::flags)
            .AddField("names", &Record::names)
            .AddField("inners", &Record::inners)
            .AddField("shades", &Record::shades)
            .AddField("counts", &Record::counts)
            .AddField("byName", &Record::byName)
            .AddField("maybe", &Record::maybe);
        return made;
    }();
    return *registry;
}

const char* const kKeys[] = {"flag",  "small",  "count",  "big",    "huge",   "ratio",
                             "score", "name",   "object", "bytes",  "shade",  "inner",
                             "flags", "names",  "inners", "shades", "counts", "byName",
                             "maybe", "number", "text",   "",       "x"};
const char* const kTexts[] = {"",     "1",     "-1",   "0x10", "1e999", "true", "TRUE",
                              "DARK", "LIGHT", "aGk=", "aGk-", " 7",    "7 ",   "nan"};

class Builder {
  public:
    Builder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    void Fill(Kolm::BindingProperty& value, int depth, bool& hasEnum) {
        const std::uint8_t op = Next();
        switch (op % 12) {
            case 0:
                value.Clear();
                break;
            case 1:
                value = (Next() & 1) != 0;
                break;
            case 2:
                value = static_cast<std::int64_t>(Next64());
                break;
            case 3:
                value = Next64();
                break;
            case 4: {
                const std::uint64_t bits = Next64();
                double number;
                std::memcpy(&number, &bits, sizeof(number));
                value = number;
                break;
            }
            case 5:
                value = kTexts[Next() % (sizeof(kTexts) / sizeof(kTexts[0]))];
                break;
            case 6:
                value = Kolm::BindingBlob(Next() % 9, Next());
                break;
            case 7:
                value = Kolm::BindingEnumRecord{static_cast<std::int8_t>(Next()),
                                                &Kolm::StaticType::Info<Shade>()};
                hasEnum = true;
                break;
            case 8:
            case 9: {
                value.MakeCollection();
                const int count = depth < 6 ? Next() % 5 : 0;
                for (int i = 0; i < count; ++i) {
                    Fill(value.Append(), depth + 1, hasEnum);
                }
                break;
            }
            default: {
                value.MakeStructure();
                const int count = depth < 6 ? Next() % 6 : 0;
                for (int i = 0; i < count; ++i) {
                    Fill(value[kKeys[Next() % (sizeof(kKeys) / sizeof(kKeys[0]))]], depth + 1,
                         hasEnum);
                }
                break;
            }
        }
    }

  private:
    std::uint8_t Next() { return position_ < size_ ? data_[position_++] : 0; }
    std::uint64_t Next64() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = (bits << 8) | Next();
        }
        return bits;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Kolm::BindingTypeRegistry& registry = Registry();
    Kolm::BindingProperty tree;
    bool hasEnum = false;
    Builder(data, size).Fill(tree, 0, hasEnum);

    Record record;
    const Kolm::BindingResult assigned = Kolm::FromBinding(tree, record, "<value>", registry);
    if (!assigned.success && assigned.ErrorText().empty()) {
        std::abort();
    }
    const Kolm::BindingResult back = Kolm::ToBinding(record, registry);
    if (!back.success && back.ErrorText().empty()) {
        std::abort();
    }

    const Kolm::BindingProperty copy = tree;
    if (!(copy == tree)) {
        std::abort();
    }
    HostValue flat{};
    if (Kolm::ToHostValue(tree, flat, &registry)) {
        const Kolm::BindingResult again = Kolm::FromHostValue(flat, "<value>");
        // Enum values travel as names or numbers, so only trees without them come back equal.
        if (!again.success || (!hasEnum && !(again.value == tree))) {
            std::abort();
        }
    }
    Kolm::ReleaseHostValue(flat);
    return 0;
}
