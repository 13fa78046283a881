// The readers' shared builder inserts keys by the remembered layout of the structure before at
// the same depth; these tests drive it with layouts that repeat, diverge and repeat keys, and
// compare with the same tree built key by key through the subscript.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "binding/binding_arena.h"
#include "formats/json.h"
#include "platform/framework_allocator.h"
#include "tests/formats/describe_value.h"

namespace Kolm {
namespace {

// A random object of keys drawn from a small pool, so neighbouring objects often share their
// first keys and then diverge, end early or go on; keys may repeat within an object (the last
// value wins). With `sameShape` most objects have six keys in the same order, as records do.
void RandomObject(std::mt19937& random, int depth, bool sameShape, std::string& json,
                  BindingProperty& expected) {
    static const char* kKeys[] = {"id", "name", "a", "ab", "b", "B", "role", "zz", "", "id2"};
    expected.MakeStructure();
    json += '{';
    const int count = sameShape && random() % 8 != 0 ? 6 : static_cast<int>(random() % 7);
    for (int i = 0; i < count; ++i) {
        // Mostly the same order as the object before, sometimes another key.
        const char* key = random() % (sameShape ? 16 : 4) != 0 ? kKeys[i] : kKeys[random() % 10];
        json += std::string(i > 0 ? "," : "") + "\"" + key + "\":";
        BindingProperty& entry = expected[key];
        if (depth < 3 && random() % 3 == 0) {
            entry.Clear();
            RandomObject(random, depth + 1, sameShape, json, entry);
        } else {
            const unsigned number = random() % 100;
            json += std::to_string(number);
            entry = number;
        }
    }
    json += '}';
}

TEST(ValueBuilderKeys, ObjectsOfRepeatedDivergingAndDuplicateKeysMatchKeyByKeyBuilding) {
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        const bool sameShape = round % 2 == 1;
        std::string json = "[";
        BindingProperty expected;
        expected.MakeCollection();
        for (int i = 0; i < 20; ++i) {
            json += i > 0 ? "," : "";
            RandomObject(random, 0, sameShape, json, expected.Append());
        }
        json += ']';
        BindingResult parsed = ParseJson(json);
        ASSERT_TRUE(parsed.Succeeded()) << parsed.ErrorText();
        ASSERT_EQ(Testing::Describe(parsed.value), Testing::Describe(expected)) << json;
        // No entry may be left without its key's reference, nor a key with one too many.
        parsed.value.Clear();
        ASSERT_EQ(parsed.value.Arena()->InternedTextCount(), 0u) << json;
    }
}

TEST(ValueBuilderKeys, EqualKeysShareOneTextAndNoReferenceOutlivesTheirEntries) {
    BindingResult parsed = ParseJson(R"([{"x": 1, "y": {"x": 2}}, {"x": 3, "y": {"x": 4}}])");
    ASSERT_TRUE(parsed.Succeeded()) << parsed.ErrorText();
    const auto& first = parsed.value.At(0).Entries();
    const auto& second = parsed.value.At(1).Entries();
    EXPECT_EQ(first[0].KeyText(), second[0].KeyText());
    EXPECT_EQ(first[0].KeyText(), parsed.value.At(1).Find("y").Entries()[0].KeyText());
    // Two keys, each held by its four entries only: the reader keeps no reference of its own.
    EXPECT_EQ(parsed.value.Arena()->InternedTextCount(), 2u);
    EXPECT_EQ(first[0].KeyText()->references, 4u);
    parsed.value.Clear();
    EXPECT_EQ(parsed.value.Arena()->InternedTextCount(), 0u);
}

TEST(ValueBuilderKeys, AnObjectOfManyKeysIsNotCopiedAtEveryKey) {
    std::string json = "{";
    for (int i = 0; i < 20000; ++i) {
        json += (i > 0 ? ",\"k" : "\"k") + std::to_string(i) + "\":0";
    }
    json += "}";
    const PluginMemoryStats& stats = MemoryStats();
    const std::uint64_t before = stats.bytesAllocated.load();
    BindingResult parsed = ParseJson(json);
    ASSERT_TRUE(parsed.Succeeded()) << parsed.ErrorText();
    EXPECT_EQ(parsed.value.Size(), 20000u);
    // The entries are 640 KB; growing them one entry at a time would hand out 6.4 GB in all.
    EXPECT_LT(stats.bytesAllocated.load() - before, std::uint64_t{16} << 20);
}

}  // namespace
}  // namespace Kolm
