#include "formats/yaml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/yaml_library.h"
#include "platform/platform.h"
#include "tests/formats/describe_value.h"

namespace Kolm {
namespace {

std::string Describe(std::string_view text) {
    return Testing::Describe(ParseYaml(text));
}

// --- Scalars ---

TEST(YamlRead, PlainScalarsResolveByWordListsAndNumbers) {
    EXPECT_EQ(Describe("a: yes\nb: 'yes'\nc: 007\nd: ~\ne: Off\nf: \"\"\ng:\nh: NULL\n"),
              R"({a: true, b: "yes", c: u7, d: null, e: false, f: "", g: null, h: null})");
    EXPECT_EQ(Describe("[1.5, -2, 3.0, 0x1A, inf, nan, YES, yEs, 1e3, -0.5, 12abc]"),
              R"([f1.5, s-2, u3, u26, "inf", "nan", true, "yEs", u1000, f-0.5, "12abc"])");
}

TEST(YamlRead, BlockScalarsResolveLikePlainOnes) {
    EXPECT_EQ(Describe("a: |-\n  123\nb: >-\n  yes\nc: |\n  text\nd: '123'\n"),
              "{a: u123, b: true, c: \"text\n\", d: \"123\"}");
}

TEST(YamlRead, IntegralNumbersBeyondSixtyFourBitsStayFloats) {
    EXPECT_EQ(Describe("[18446744073709551615.0, 1e20, -1e19, -9223372036854775808]"),
              "[f1.8446744073709552e+19, f1e+20, f-1e+19, s-9223372036854775808]");
}

TEST(YamlRead, DecimalIntegersAreReadExactly) {
    EXPECT_EQ(Describe("[9007199254740993, -9007199254740993, 18446744073709551615, -0, "
                       "-9223372036854775808, -9223372036854775809]"),
              "[u9007199254740993, s-9007199254740993, u18446744073709551615, u0, "
              "s-9223372036854775808, f-9.2233720368547758e+18]");
}

TEST(YamlRead, KeysAreTextsAsWritten) {
    EXPECT_EQ(Describe("1: a\ntrue: b\n~: c\n\"q\": d\n"),
              R"({1: "a", q: "d", true: "b", ~: "c"})");
}

TEST(YamlRead, BlockScalarsKeepTheirText) {
    EXPECT_EQ(Describe("text: |\n  line one\n  line two\n"), "{text: \"line one\nline two\n\"}");
}

TEST(YamlRead, TagsSelectTheConversion) {
    EXPECT_EQ(Describe("[!!str 12, !!int 0x10, !!int -8, !!float 2, !!bool on, !!bool maybe]"),
              R"(["12", u16, s-8, f2, true, null])");
}

TEST(YamlRead, TaggedScalarsReportConversionFailures) {
    EXPECT_EQ(Describe("!!int abc"),
              "error: Value abc for 'yaml' of type uint64_t is in an incorrect format");
    EXPECT_EQ(Describe("!!int -1x"),
              "error: Value -1x for 'yaml' of type int64_t is in an incorrect format");
    EXPECT_EQ(Describe("!!int 18446744073709551616"),
              "error: Value 18446744073709551616 for 'yaml' of type uint64_t is out of range");
    EXPECT_EQ(Describe("!!int -9223372036854775809"),
              "error: Value -9223372036854775809 for 'yaml' of type int64_t is out of range");
    EXPECT_EQ(Describe("!!float 1e999"),
              "error: Value 1e999 for 'yaml' of type double is out of range");
    EXPECT_EQ(Describe("!!float 1.5kg"),
              "error: Value 1.5kg for 'yaml' of type double is in an incorrect format");
    EXPECT_EQ(Describe("!!timestamp 2001-12-14"),
              "error: Unsupported YAML tag 'tag:yaml.org,2002:timestamp'.");
}

// --- Documents and structure ---

TEST(YamlRead, EmptyTextIsAnEmptyValue) {
    BindingResult result = ParseYaml("");
    EXPECT_TRUE(result.Succeeded());
    EXPECT_TRUE(result.value.IsEmpty());
    BindingResult none = ParseYaml(std::string_view());
    EXPECT_TRUE(none.Succeeded());
    EXPECT_TRUE(none.value.IsEmpty());
}

TEST(YamlRead, NestedBlockAndFlowCollections) {
    EXPECT_EQ(
        Describe("club:\n  tags: [a, b]\n  members:\n    - {id: 1, owner: true}\n    - id: 2\n"),
        R"({club: {members: [{id: u1, owner: true}, {id: u2}], tags: ["a", "b"]}})");
}

TEST(YamlRead, RepeatedKeyKeepsTheLastValue) {
    EXPECT_EQ(Describe("{a: 1, b: 2, a: 3}"), "{a: u3, b: u2}");
    EXPECT_EQ(Describe("a: [1, 2]\nb: {x: 1}\na: [3]\nb: {y: 2}\n"), "{a: [u3], b: {y: u2}}");
    EXPECT_EQ(Describe("{a: 1, a: ~, b: [1], b: !!bool maybe}"), "{a: null, b: null}");
}

TEST(YamlRead, SecondDocumentIsRefused) {
    EXPECT_EQ(Describe("a: 1\n---\nb: 2\n"), "error: Multi-document YAML is not supported.");
}

TEST(YamlRead, ContainersAndTaggedScalarsAreNoKeys) {
    EXPECT_EQ(Describe("? [a]\n: 1\n"), "error: Unexpected start of sequence. At line: 1 col: 3");
    EXPECT_EQ(Describe("? {a: 1}\n: 1\n"), "error: Unexpected start of mapping. At line: 1 col: 3");
    EXPECT_EQ(Describe("x: 1\n!!int 2: b\n"),
              "error: Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1");
    EXPECT_EQ(Describe("!!str 2: b"), R"({2: "b"})");
}

TEST(YamlRead, ParserErrorsCarryLibyamlsProblemAndPosition) {
    EXPECT_EQ(Describe("a: [1, 2\nb: 3\n"),
              "error: YAML parser error: did not find expected ',' or ']'. At line: 1 col: 1");
    EXPECT_EQ(
        Describe("a: b: c"),
        "error: YAML parser error: mapping values are not allowed in this context. At line: 0 "
        "col: 4");
}

// --- Anchors and aliases ---

TEST(YamlRead, AliasesCopyTheAnchoredValue) {
    BindingResult result = ParseYaml("base: &m {x: 1, y: [a]}\ncopy: *m\nn: &n 5\nm: *n\n");
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    EXPECT_EQ(Testing::Describe(result),
              R"({base: {x: u1, y: ["a"]}, copy: {x: u1, y: ["a"]}, m: u5, n: u5})");
    EXPECT_TRUE(result.value.Find("base") == result.value.Find("copy"));
}

TEST(YamlRead, AnchoredKeyIsUsableAsAStringValue) {
    EXPECT_EQ(Describe("&k 12: a\nb: *k\n"), R"({12: "a", b: "12"})");
}

TEST(YamlRead, AliasOfAnOpenContainerIsCyclic) {
    EXPECT_EQ(Describe("a: &m\n  b: *m\n"),
              "error: Cannot deserialize cyclic aliases. Alias \"m\". At line: 2 col: 6");
    EXPECT_EQ(Describe("&top [1, [2, {k: [*top]}]]"),
              "error: Cannot deserialize cyclic aliases. Alias \"top\". At line: 1 col: 19");
    EXPECT_EQ(Describe("&s [&inner [*s]]"),
              "error: Cannot deserialize cyclic aliases. Alias \"s\". At line: 1 col: 13");
    // Once closed, the same anchor may be used inside a sibling.
    EXPECT_EQ(Describe("[&a [1], [*a]]"), "[[u1], [[u1]]]");
}

TEST(YamlRead, UndefinedAndDuplicateAnchorsAreRefused) {
    EXPECT_EQ(Describe("a: *nope\n"),
              "error: Undefined alias encountered: \"nope\". At line: 1 col: 4");
    EXPECT_EQ(Describe("a: &x 1\nb: &x 2\n"),
              "error: Duplicate occurrence of anchor \"x\". At line: 2 col: 4");
}

TEST(YamlRead, AliasInKeyPositionIsRefused) {
    EXPECT_EQ(Describe("a: &k x\n*k : 1\n"),
              "error: Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1");
}

// A list of `count` - 1 integers under the anchor a: `count` values each time it is aliased.
std::string AnchoredList(std::size_t count) {
    std::string text = "a: &a [";
    for (std::size_t i = 1; i < count; ++i) {
        text += i > 1 ? ",0" : "0";
    }
    return text + "]\n";
}

TEST(YamlRead, AliasExpansionUpToTheLimitIsAccepted) {
    std::string text = AnchoredList(10000) + "b: [";
    for (int i = 0; i < 100; ++i) {
        text += i > 0 ? ",*a" : "*a";
    }
    text += "]\n";
    BindingResult result = ParseYaml(text);
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    EXPECT_EQ(result.value.Find("b").Size(), 100u);
    EXPECT_EQ(result.value.Find("b").At(99).Size(), 9999u);
}

TEST(YamlRead, AliasExpansionPastTheLimitIsRefused) {
    std::string text = AnchoredList(10000) + "s: &s 1\nb: [";
    for (int i = 0; i < 100; ++i) {
        text += i > 0 ? ",*a" : "*a";
    }
    text += "]\nc: *s\n";
    EXPECT_EQ(Describe(text),
              "error: Aliases expand to more than 1000000 values. Alias \"s\". At line: 4 col: 4");
}

TEST(YamlRead, ExponentialAliasesAreStoppedEarly) {
    std::string text = "l0: &l0 [x, x, x, x, x, x, x, x, x, x]\n";
    for (int level = 1; level < 12; ++level) {
        const std::string previous = "*l" + std::to_string(level - 1);
        text += "l" + std::to_string(level) + ": &l" + std::to_string(level) + " [";
        for (int i = 0; i < 10; ++i) {
            text += (i > 0 ? ", " : "") + previous;
        }
        text += "]\n";
    }
    const std::string result = Describe(text);
    EXPECT_EQ(result.rfind("error: Aliases expand to more than 1000000 values. Alias \"l", 0), 0u)
        << result;
}

// 511 anchored sequences nested in each other, each holding `scalars` scalars before the next.
std::string NestedAnchors(int scalars) {
    std::string text;
    for (int level = 0; level < 511; ++level) {
        text += "&a" + std::to_string(level) + " [";
        for (int i = 0; i < scalars; ++i) {
            text += "0, ";
        }
    }
    return text + std::string(511, ']');
}

TEST(YamlRead, AnchorsWithoutAliasesAreNeverRefusedForTheirSize) {
    // Copied per anchor, these would be 41 * 511 * 512 / 2 = 5363456 values from 21462.
    BindingResult nested = ParseYaml(NestedAnchors(40));
    ASSERT_TRUE(nested.Succeeded()) << nested.ErrorText();
    EXPECT_EQ(nested.value.Size(), 41u);

    std::string wide = "&a [&b [0";
    for (int i = 1; i < 2000001; ++i) {
        wide += ",0";
    }
    BindingResult result = ParseYaml(wide + "]]");
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    EXPECT_EQ(result.value.At(0).Size(), 2000001u);
}

TEST(YamlRead, AliasesOfNestedAnchorsCopyWhatTheAnchorsHeld) {
    BindingResult result = ParseYaml("n: " + NestedAnchors(1) + "\ninner: *a510\nouter: *a0\n");
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    EXPECT_EQ(Testing::Describe(result.value.Find("inner")), "[u0]");
    EXPECT_TRUE(result.value.Find("outer") == result.value.Find("n"));
    // An anchored element of a list that grows after it.
    EXPECT_EQ(Describe("[&x {k: [1]}, 2, 3, 4, 5, 6, 7, 8, 9, *x, *x]"),
              "[{k: [u1]}, u2, u3, u4, u5, u6, u7, u8, u9, {k: [u1]}, {k: [u1]}]");
}

TEST(YamlRead, AnAnchoredValueOutlivesTheRepeatedKeyThatReplacesIt) {
    EXPECT_EQ(Describe("a: &x [1]\na: 2\nb: *x\n"), "{a: u2, b: [u1]}");
    EXPECT_EQ(Describe("a: {b: &x [1], c: &y 5}\na: 3\nc: *x\nd: *y\n"), "{a: u3, c: [u1], d: u5}");
    EXPECT_EQ(Describe("a: &x [1, 2]\na: *x\n"), "{a: [u1, u2]}");
    EXPECT_EQ(Describe("- a: &x {k: v}\n  a: [*x, *x]\n"), "[{a: [{k: \"v\"}, {k: \"v\"}]}]");
}

// --- Nesting ---

std::string NestedFlow(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

TEST(YamlRead, AcceptsNestingUpToTheLimit) {
    BindingResult result = ParseYaml(NestedFlow(512));
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    EXPECT_TRUE(result.value.IsCollection());
}

TEST(YamlRead, RefusesNestingPastTheLimit) {
    EXPECT_EQ(Describe(NestedFlow(513)),
              "error: Nesting is deeper than 512 levels. At line: 1 col: 513");
    EXPECT_EQ(Describe(std::string(1000000, '[')),
              "error: Nesting is deeper than 512 levels. At line: 1 col: 513");
    std::string block;
    for (int i = 0; i < 1000000; ++i) {
        block += "- ";
    }
    EXPECT_EQ(Describe(block), "error: Nesting is deeper than 512 levels. At line: 1 col: 1025");
}

TEST(YamlRead, AliasCannotCarryNestingPastTheLimit) {
    const std::string anchored = "a: &a " + NestedFlow(300) + "\n";
    EXPECT_TRUE(
        ParseYaml(anchored + "b: " + std::string(211, '[') + "*a" + std::string(211, ']') + "\n")
            .Succeeded());
    EXPECT_EQ(
        Describe(anchored + "b: " + std::string(212, '[') + "*a" + std::string(212, ']') + "\n"),
        "error: Nesting is deeper than 512 levels. At line: 2 col: 216");
}

// --- The library ---

TEST(YamlLibraryLoading, MissingLibraryFailsWithItsName) {
    YamlLibrary missing("libyaml-that-does-not-exist.so.0");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(Testing::Describe(ParseYaml("a: 1", missing)),
              "error: YAML is not available: the library \"libyaml-that-does-not-exist.so.0\" "
              "could not be loaded.");
}

// A system library that is always there and has no YAML functions.
#if defined(_WIN32)
#define ZC_NOT_YAML_LIBRARY "kernel32.dll"
#else
#define ZC_NOT_YAML_LIBRARY "libm.so.6"
#endif

TEST(YamlLibraryLoading, LibraryWithoutTheParserFunctionsIsRefused) {
    YamlLibrary notYaml(ZC_NOT_YAML_LIBRARY);
    EXPECT_FALSE(notYaml.IsLoaded());
    EXPECT_EQ(Testing::Describe(ParseYaml("a: 1", notYaml)),
              "error: YAML is not available: the library \"" ZC_NOT_YAML_LIBRARY
              "\" has no function \"yaml_parser_initialize\".");
}

// ZC_BESIDE_FOLDER holds ZC_BESIDE_LIBRARY, a library that no library search finds (and that
// has no YAML functions, which makes the error tell which file was opened).
TEST(YamlLibraryLoading, LibraryInThePreferredFolderComesFirst) {
    // Searched first: Windows hands out a module already loaded by its name alone.
    YamlLibrary searched(ZC_BESIDE_LIBRARY);
    EXPECT_EQ(searched.LoadError(),
              "YAML is not available: the library \"" ZC_BESIDE_LIBRARY "\" could not be loaded.");
    YamlLibrary beside(ZC_BESIDE_LIBRARY, ZC_BESIDE_FOLDER);
    EXPECT_EQ(beside.LoadError(),
              "YAML is not available: the library \"" ZC_BESIDE_FOLDER ZC_BESIDE_LIBRARY
              "\" has no function \"yaml_parser_initialize\".");
}

TEST(YamlLibraryLoading, SystemSearchServesWhenThePreferredFolderLacksTheLibrary) {
    YamlLibrary system(ZC_NOT_YAML_LIBRARY, ZC_BESIDE_FOLDER);
    EXPECT_EQ(system.LoadError(), "YAML is not available: the library \"" ZC_NOT_YAML_LIBRARY
                                  "\" has no function \"yaml_parser_initialize\".");
}

TEST(YamlLibraryLoading, LibraryFoundNowhereNamesWhereItWasLookedFor) {
    YamlLibrary missing("libyaml-that-does-not-exist.so.0", ZC_BESIDE_FOLDER);
    EXPECT_EQ(Testing::Describe(ParseYaml("a: 1", missing)),
              "error: YAML is not available: the library \"libyaml-that-does-not-exist.so.0\" "
              "could not be loaded. It was looked for in \"" ZC_BESIDE_FOLDER
              "\" and on the system's library search path.");
}

TEST(YamlLibraryLoading, FoldersAreTriedInOrderBeforeTheSystemSearch) {
    const std::string nowhere = std::string(ZC_BESIDE_FOLDER) + "nowhere/";
    YamlLibrary second(ZC_BESIDE_LIBRARY, std::vector<std::string>{nowhere, ZC_BESIDE_FOLDER});
    EXPECT_EQ(second.LoadError(),
              "YAML is not available: the library \"" ZC_BESIDE_FOLDER ZC_BESIDE_LIBRARY
              "\" has no function \"yaml_parser_initialize\".");
    YamlLibrary missing("libyaml-that-does-not-exist.so.0",
                        std::vector<std::string>{nowhere, ZC_BESIDE_FOLDER});
    EXPECT_EQ(missing.LoadError(),
              "YAML is not available: the library \"libyaml-that-does-not-exist.so.0\" could not "
              "be loaded. It was looked for in \"" +
                  nowhere +
                  "\", \"" ZC_BESIDE_FOLDER "\" and on the system's library search path.");
}

// A program that links this code and loads the plugin from elsewhere names the plugin's folder.
TEST(YamlLibraryLoading, PreferredFolderIsSearchedBeforeThisModulesFolder) {
    const std::string own = Platform::ThisModuleFolder();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(YamlLibrary::SearchFolders(), std::vector<std::string>{own});
    YamlLibrary::PreferFolder(ZC_BESIDE_FOLDER);
    EXPECT_EQ(YamlLibrary::SearchFolders(), (std::vector<std::string>{ZC_BESIDE_FOLDER, own}));
    YamlLibrary::PreferFolder(own);
    EXPECT_EQ(YamlLibrary::SearchFolders(), std::vector<std::string>{own});
    YamlLibrary::PreferFolder({});
    EXPECT_EQ(YamlLibrary::SearchFolders(), std::vector<std::string>{own});
}

// When and how often the process-wide binding is made is pinned down in yaml_threads_test.cpp,
// which runs in a process of its own.
TEST(YamlLibraryLoading, ProcessWideLibraryIsAvailable) {
    EXPECT_TRUE(YamlLibrary::Instance().IsLoaded()) << YamlLibrary::Instance().LoadError();
}

}  // namespace
}  // namespace Kolm
