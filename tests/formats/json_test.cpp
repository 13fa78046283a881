#include "formats/json.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding_arena.h"
#include "binding/binding_type_registry.h"
#include "tests/formats/describe_value.h"

namespace Kolm {
namespace {

using Testing::Describe;

// --- Reading ---

TEST(JsonRead, NumbersKeepTheirJsonShape) {
    EXPECT_EQ(Describe(ParseJson("[1, -1, 1.5, 1e2, null]")), "[u1, s-1, f1.5, f100, null]");
    EXPECT_EQ(Describe(ParseJson("[-0, 0, 0.0]")), "[s0, u0, f0]");
}

TEST(JsonRead, IntegersBeyondSixtyFourBitsBecomeFloats) {
    EXPECT_EQ(Describe(ParseJson("[18446744073709551615, 18446744073709551616]")),
              "[u18446744073709551615, f1.8446744073709552e+19]");
    EXPECT_EQ(Describe(ParseJson("[-9223372036854775808, -9223372036854775809]")),
              "[s-9223372036854775808, f-9.2233720368547758e+18]");
}

TEST(JsonRead, ObjectsBecomeStructuresInKeyOrderWithLastMemberWinning) {
    EXPECT_EQ(Describe(ParseJson(R"({"b": true, "a": [false, {}], "B": "x", "b": 2})")),
              R"({B: "x", a: [false, {}], b: u2})");
}

TEST(JsonRead, RepeatedMemberReplacesAnEarlierContainerWhole) {
    EXPECT_EQ(Describe(ParseJson(R"({"a": [1, 2], "a": [3], "b": {"x": 1}, "b": {"y": 2}})")),
              "{a: [u3], b: {y: u2}}");
    EXPECT_EQ(Describe(ParseJson(R"({"a": [1], "a": null, "b": 1, "b": null})")),
              "{a: null, b: null}");
}

TEST(JsonRead, StructuresOfAListKeepTheirOwnKeysWhateverTheirNeighboursHad) {
    EXPECT_EQ(Describe(ParseJson(R"([{"a": 1, "b": 2}, {"b": 3, "a": 4}, {"a": 5, "c": 6},
                                     {"c": 7}, {"a": 8, "a": 9}, {"": 0, "a": 1}, {"ab": 2}])")),
              "[{a: u1, b: u2}, {a: u4, b: u3}, {a: u5, c: u6}, {c: u7}, {a: u9}, "
              "{: u0, a: u1}, {ab: u2}]");
    EXPECT_EQ(Describe(ParseJson(R"({"x": {"k": 1, "l": 2}, "y": {"l": 3, "k": 4}})")),
              "{x: {k: u1, l: u2}, y: {k: u4, l: u3}}");
}

TEST(JsonRead, LargeDocumentInternsEachDistinctTextOnce) {
    // More keys per structure than the reader remembers by position, in changing orders.
    std::string text = "[";
    for (int element = 0; element < 300; ++element) {
        text += element == 0 ? "{" : ",{";
        for (int key = 0; key < 80; ++key) {
            const int shuffled = element % 2 == 0 ? key : 79 - key;
            text += (key == 0 ? "\"key" : ",\"key") + std::to_string(shuffled) + "\":\"v" +
                    std::to_string((element * 80 + shuffled) % 1000) + "\"";
        }
        text += "}";
    }
    text += "]";
    BindingResult result = ParseJson(text);
    ASSERT_TRUE(result.Succeeded());
    EXPECT_EQ(1080u, result.value.Arena()->InternedTextCount());
    ASSERT_EQ(300u, result.value.Size());
    for (std::size_t element : {0u, 1u, 299u}) {
        const BindingProperty& structure = result.value.At(element);
        ASSERT_EQ(80u, structure.Size());
        EXPECT_EQ("key0", structure.Entries()[0].Key());
        EXPECT_EQ("key9", structure.Entries()[79].Key());
        EXPECT_EQ("v" + std::to_string((element * 80 + 79) % 1000),
                  structure.Find("key79").GetString());
    }
}

// A document of many distinct strings, dense with short escapes, whose only \u0000 comes last:
// the table sized ahead while reading keeps every text, and the zero is still found.
TEST(JsonRead, ManyDistinctEscapedStringsKeepEveryTextAndALateZero) {
    std::string text = "[";
    for (int i = 0; i < 20000; ++i) {
        text += "\"line\\n" + std::to_string(i) + "\\\"q\",";
    }
    text += "\"end\\u0000cut\"]";
    BindingResult result = ParseJson(text);
    ASSERT_TRUE(result.Succeeded());
    ASSERT_EQ(20001u, result.value.Size());
    EXPECT_EQ(20001u, result.value.Arena()->InternedTextCount());
    EXPECT_EQ("line\n0\"q", result.value.At(0).GetString());
    EXPECT_EQ("line\n19999\"q", result.value.At(19999).GetString());
    EXPECT_EQ("end", result.value.At(20000).GetString());
}

// Dense escapes send the search for \u0000 from hopping to reading sixteen bytes at a time, with
// a tail after the last whole step: the escape is found at every offset against those steps,
// and \u escapes of other characters (a solidus before a "u" too) cut nothing.
TEST(JsonRead, ZeroEscapeIsFoundAtEveryOffsetAfterDenseEscapes) {
    std::string dense;
    for (int i = 0; i < 40; ++i) {
        dense += "\"\\n\\u0041\\\\u12\",";
    }
    for (std::size_t pad = 0; pad < 24; ++pad) {
        const std::string padding(pad, 'x');
        BindingResult cut = ParseJson("[" + dense + "\"" + padding + "a\\u0000b\"]");
        ASSERT_TRUE(cut.Succeeded()) << pad;
        EXPECT_EQ(padding + "a", cut.value.At(40).GetString()) << pad;
        EXPECT_EQ("\nA\\u12", cut.value.At(0).GetString()) << pad;

        BindingResult whole = ParseJson("[" + dense + "\"" + padding + "a\\u0001b\"]");
        ASSERT_TRUE(whole.Succeeded()) << pad;
        EXPECT_EQ(padding + "a\001b", whole.value.At(40).GetString()) << pad;
    }
}

TEST(JsonRead, NullMemberExistsAsEmpty) {
    BindingResult result = ParseJson(R"({"a": null})");
    ASSERT_TRUE(result.Succeeded());
    EXPECT_TRUE(result.value.Contains("a"));
    EXPECT_EQ(Describe(result), "{a: null}");
}

TEST(JsonRead, StringsStopAtTheirFirstZeroCharacter) {
    EXPECT_EQ(Describe(ParseJson(R"(["ab\u0000cd", "\u00e9\n"])")), "[\"ab\", \"\xC3\xA9\n\"]");
    // Keys too, and escapes that decode to other characters do not cut.
    EXPECT_EQ(
        Describe(ParseJson(R"({"k\u0000x": "v\u0000", "k2": "a\u0041\u0000", "k3": "b\u00e9"})")),
        "{k: \"v\", k2: \"aA\", k3: \"b\xC3\xA9\"}");
}

TEST(JsonRead, WhiteSpaceOnlyIsAnEmptyValueWithoutError) {
    for (const char* text : {"", "   ", " \t\r\n"}) {
        BindingResult result = ParseJson(text);
        EXPECT_TRUE(result.Succeeded()) << text;
        EXPECT_TRUE(result.value.IsEmpty()) << text;
    }
}

TEST(JsonRead, TextEndsAtTheFirstZeroByteOrTheViewsEnd) {
    EXPECT_EQ(Describe(ParseJson(std::string_view("[1]\0[2]", 7))), "[u1]");
    EXPECT_EQ(Describe(ParseJson("[1]\0[2]")), "[u1]");
    EXPECT_EQ(Describe(ParseJson(std::string_view("[1, 2]", 3))),
              "error: Error: Invalid value. at offset 3.");
    EXPECT_EQ(Describe(ParseJson(std::string_view("{\"k\": 7}garbage", 8))), "{k: u7}");
}

TEST(JsonRead, ErrorsCarryRapidJsonTextAndOffset) {
    EXPECT_EQ(Describe(ParseJson("nul")), "error: Error: Invalid value. at offset 3.");
    EXPECT_EQ(Describe(ParseJson("[1] 2")),
              "error: Error: The document root must not be followed by other values. at offset 4.");
    EXPECT_EQ(Describe(ParseJson(R"({"a" 1})")),
              "error: Error: Missing a colon after a name of object member. at offset 5.");
    EXPECT_EQ(Describe(ParseJson(R"(["abc)")),
              "error: Error: Missing a closing quotation mark in string. at offset 5.");
}

TEST(JsonRead, FailureDiscardsPartialContent) {
    BindingResult result = ParseJson(R"({"a": [1, 2, )");
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.value.Size(), 1u);  // only the "error" entry
    EXPECT_TRUE(result.value.Find("error").IsString());
}

std::string NestedArrays(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(JsonRead, AcceptsNestingUpToTheLimit) {
    BindingResult result = ParseJson(NestedArrays(512));
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    const BindingProperty* level = &result.value;
    std::size_t depth = 0;
    while (level->IsCollection()) {
        ++depth;
        level = &level->At(0);
    }
    EXPECT_EQ(depth, 512u);
}

TEST(JsonRead, RefusesNestingPastTheLimit) {
    EXPECT_EQ(Describe(ParseJson(NestedArrays(513))),
              "error: Error: Nesting is deeper than 512 levels. at offset 513.");
    std::string objects;
    for (int i = 0; i < 513; ++i) {
        objects += "{\"a\":";
    }
    EXPECT_EQ(Describe(ParseJson(objects)),
              "error: Error: Nesting is deeper than 512 levels. at offset 2561.");
}

TEST(JsonRead, RefusesAMillionLevelsWithoutExhaustingTheStack) {
    EXPECT_EQ(Describe(ParseJson(std::string(1000000, '['))),
              "error: Error: Nesting is deeper than 512 levels. at offset 513.");
}

// A value that kept such text would be written out as JSON that strict readers refuse.
TEST(JsonRead, RefusesTextThatIsNotUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"{\"name\":\"Bad \xFF\xFE name\"}", "Error: Invalid encoding in string. at offset 13."},
        // An overlong "/", an encoded surrogate, a code point above U+10FFFF, a Latin-1 key.
        {"[\"\xC0\xAF\"]", "Error: Invalid encoding in string. at offset 2."},
        {"[\"\xED\xA0\x80\"]", "Error: Invalid encoding in string. at offset 2."},
        {"[\"\xF4\x90\x80\x80\"]", "Error: Invalid encoding in string. at offset 2."},
        {"{\"\xE9t\xE9\":1}", "Error: Invalid encoding in string. at offset 2."},
        // Escapes of one half of a surrogate pair.
        {R"(["\uDFAA"])", "Error: The surrogate pair in string is invalid. at offset 9."},
        {R"({"a":"x\udc00y"})", "Error: The surrogate pair in string is invalid. at offset 15."},
        {R"({"\uDC00":1})", "Error: The surrogate pair in string is invalid. at offset 9."},
        {R"(["\uD800"])", "Error: The surrogate pair in string is invalid. at offset 2."},
        {R"(["\uD800\u0041"])", "Error: The surrogate pair in string is invalid. at offset 2."},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(Describe(ParseJson(text)), "error: " + message) << text;
        EXPECT_EQ(Describe(ParseJson(text.c_str())), "error: " + message) << text;
    }
}

TEST(JsonRead, KeepsUtf8AndSurrogatePairs) {
    EXPECT_EQ(Describe(ParseJson("[\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\", "
                                 R"("\uD83D\uDE00", "\\uDC00", "\u00e9\uDBFF\uDFFF"])")),
              "[\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\", \"\xF0\x9F\x98\x80\", \"\\uDC00\", "
              "\"\xC3\xA9\xF4\x8F\xBF\xBF\"]");
}

// Zeros with exponents past the fast path's reach stay zero, with their sign (the reader's
// full-precision mode would read "0e80" near 1e266).
TEST(JsonRead, ZeroSignificandsWithLargeExponentsReadAsZero) {
    const BindingResult read = ParseJson("[0e80, -0.000e100, 0E-400, 0.0e+30, 1e80, 2.5e-3]");
    ASSERT_TRUE(read.Succeeded());
    const std::span<const BindingProperty> elements = read.value.Elements();
    ASSERT_EQ(elements.size(), 6u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(elements[i].GetFloat(), 0.0) << "element " << i;
    }
    EXPECT_TRUE(std::signbit(elements[1].GetFloat()));
    EXPECT_EQ(elements[4].GetFloat(), 1e80);
    EXPECT_EQ(elements[5].GetFloat(), 2.5e-3);
}

// Doubles written in their shortest form read back as the same bits: random ones across the
// whole range (about a third of them used to come back a unit or so in the last place off), and
// the edges of the range.
TEST(JsonRead, DoublesWrittenShortestReadBackBitEqual) {
    std::mt19937_64 random(20261208);
    BindingProperty written;
    for (int i = 0; i < 20000; ++i) {
        double value;
        do {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } while (!std::isfinite(value));
        written.Append() = value;
    }
    for (double edge : {std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                        std::numeric_limits<double>::denorm_min(), -0.1, 0.3, 2.5e-3, 1e23}) {
        written.Append() = edge;
    }
    const BindingResult read = ParseJson(WriteJson(written));
    ASSERT_TRUE(read.Succeeded());
    ASSERT_EQ(read.value.Size(), written.Size());
    int different = 0;
    for (std::size_t i = 0; i < written.Size(); ++i) {
        const double back = read.value.At(i).GetFloat();
        if (std::bit_cast<std::uint64_t>(back) !=
            std::bit_cast<std::uint64_t>(written.At(i).GetFloat())) {
            ++different;
        }
    }
    EXPECT_EQ(different, 0);
}

// Past the exact reading's reach the reader's own value stands: below the smallest double is
// zero, and whole numbers beyond 64 bits are the nearest double.
TEST(JsonRead, DoublesBeyondTheRangeKeepTheReadersValue) {
    const BindingResult read = ParseJson("[1e-400, -2e-999, 18446744073709551617, 1.5]");
    ASSERT_TRUE(read.Succeeded());
    EXPECT_EQ(read.value.At(0).GetFloat(), 0.0);
    EXPECT_EQ(read.value.At(1).GetFloat(), 0.0);
    EXPECT_EQ(read.value.At(2).GetFloat(), 18446744073709551616.0);
    EXPECT_EQ(read.value.At(3).GetFloat(), 1.5);
    EXPECT_FALSE(ParseJson("[1e400]").Succeeded());
}

// --- Writing ---

TEST(JsonWrite, CompactFormHasNoBlanksAndKeysInByteOrder) {
    BindingResult parsed = ParseJson(R"({"b": 1, "a": 2, "ab": [true, null], "B": {}})");
    ASSERT_TRUE(parsed.Succeeded());
    EXPECT_EQ(WriteJson(parsed.value), R"({"B":{},"a":2,"ab":[true,null],"b":1})");
}

TEST(JsonWrite, NumbersKeepTheirKind) {
    BindingProperty value;
    value.Append() = 3.0;
    value.Append() = std::int64_t{3};
    value.Append() = std::int64_t{-3};
    value.Append() = std::numeric_limits<std::uint64_t>::max();
    value.Append() = 0.1;
    value.Append() = -2.5e-300;
    EXPECT_EQ(WriteJson(value), "[3.0,3,-3,18446744073709551615,0.1,-2.5e-300]");
}

TEST(JsonWrite, NonFiniteFloatsWriteAsNull) {
    BindingProperty value;
    value.Append() = std::nan("");
    value.Append() = std::numeric_limits<double>::infinity();
    value.Append() = -std::numeric_limits<double>::infinity();
    value.Append() = 1.5;
    EXPECT_EQ(WriteJson(value), "[null,null,null,1.5]");
    BindingProperty member;
    member["x"] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(WriteJson(member), R"({"x":null})");
}

TEST(JsonWrite, EmptyRootIsTheEmptyTextButEmptyMembersAreNull) {
    EXPECT_EQ(WriteJson(BindingProperty()), "");
    BindingProperty value;
    value["a"];
    EXPECT_EQ(WriteJson(value), R"({"a":null})");
}

TEST(JsonWrite, StringsAreEscapedAndBlobsAreBase64) {
    BindingProperty value;
    value.Append() = std::string_view("q\"b\\s/\b\t\n\f\r\x01\x1F\xC3\xA9");
    value.Append() = BindingBlob{'h', 'i'};
    value.Append() = BindingBlob{};
    EXPECT_EQ(WriteJson(value),
              "[\"q\\\"b\\\\s/\\b\\t\\n\\f\\r\\u0001\\u001F\xC3\xA9\",\"aGk=\",\"\"]");
}

TEST(JsonWrite, PrettyFormIndentsFourSpacesWithTheGivenLineEnds) {
    BindingResult parsed = ParseJson(R"({"b": {}, "a": [1, "x"]})");
    ASSERT_TRUE(parsed.Succeeded());
    EXPECT_EQ(WriteJson(parsed.value, nullptr, "\n"),
              "{\n    \"a\": [\n        1,\n        \"x\"\n    ],\n    \"b\": {}\n}");
    EXPECT_EQ(WriteJson(parsed.value, nullptr, "\r\n"),
              "{\r\n    \"a\": [\r\n        1,\r\n        \"x\"\r\n    ],\r\n    \"b\": {}\r\n}");
}

enum class Tint : std::int32_t { Red = 1, Green = 2, AlsoGreen = 2, Blue = 3 };

TEST(JsonWrite, EnumsWriteByNameWhenTheRegistryKnowsThem) {
    BindingTypeRegistry registry;
    registry.RegisterEnum<Tint>("Tint")
        .AddValue("RED", Tint::Red)
        .AddValue("GREEN", Tint::Green)
        .AddValue("ALSO_GREEN", Tint::AlsoGreen);
    BindingProperty value;
    value.Append() = BindingEnumRecord{1, &StaticType::Info<Tint>()};
    value.Append() = BindingEnumRecord{2, &StaticType::Info<Tint>()};
    value.Append() = BindingEnumRecord{3, &StaticType::Info<Tint>()};
    value.Append() = BindingEnumRecord{-4, nullptr};
    EXPECT_EQ(WriteJson(value, &registry), R"(["RED","ALSO_GREEN",3,-4])");
    EXPECT_EQ(WriteJson(value), "[1,2,3,-4]");
}

// --- Native records ---

struct Badge {
    std::string title;
    std::uint8_t level = 0;
    std::vector<std::int32_t> points;
};

struct Unregistered {
    int x = 0;
};

class JsonTextTest : public ::testing::Test {
  protected:
    JsonTextTest() {
        registry.RegisterStruct<Badge>("Badge")
            .AddField("title", &Badge::title)
            .AddField("level", &Badge::level)
            .AddField("points", &Badge::points);
    }
    BindingTypeRegistry registry;
};

TEST_F(JsonTextTest, ToJsonTextWritesTheConvertedRecord) {
    Badge badge{"gold", 3, {1, -2}};
    JsonText text = ToJsonText(badge, &registry);
    EXPECT_TRUE(text.success);
    EXPECT_EQ(text.text, R"({"level":3,"points":[1,-2],"title":"gold"})");
    EXPECT_EQ(text.error, "");
}

TEST_F(JsonTextTest, ToJsonTextNamesTheTypeItCannotConvert) {
    JsonText text = ToJsonText(Unregistered{}, &registry);
    EXPECT_FALSE(text.success);
    EXPECT_EQ(text.error, std::string("Failed to convert type \"") +
                              StaticType::Name<Unregistered>() +
                              "\" to BindingProperty for serialization");
}

TEST_F(JsonTextTest, FromJsonTextAssignsTheParsedRecord) {
    Badge badge;
    EXPECT_TRUE(
        FromJsonText(badge, R"({"title": "silver", "level": 2, "points": [7]})", &registry));
    EXPECT_EQ(badge.title, "silver");
    EXPECT_EQ(badge.level, 2);
    EXPECT_EQ(badge.points, std::vector<std::int32_t>{7});
}

TEST_F(JsonTextTest, FromJsonTextReportsTheStepThatFailed) {
    Badge badge;
    BindingResult outcome;
    EXPECT_FALSE(FromJsonText(badge, "{", &registry, &outcome));
    EXPECT_EQ(outcome.ErrorText(), "Error: Missing a name for object member. at offset 1.");
    EXPECT_FALSE(FromJsonText(badge, R"({"level": 300})", &registry, &outcome));
    EXPECT_EQ(outcome.ErrorText(), "Value 300 for 'level' of type uint8 is out of range");
    EXPECT_FALSE(FromJsonText(badge, "[]", &registry, &outcome));
    EXPECT_EQ(
        outcome.ErrorText(),
        "Couldn't assign value to '<value>' of type Badge because the input not a structure.");
}

}  // namespace
}  // namespace Kolm
