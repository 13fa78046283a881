#include "formats/message_pack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/formats/describe_value.h"

namespace Kolm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Testing::Describe;

struct Parsed {
    std::string description;
    std::size_t consumed;
};

Parsed Parse(const Bytes& bytes) {
    std::size_t consumed = 12345;
    BindingResult result = ParseMessagePack(bytes.data(), bytes.size(), &consumed);
    return {Describe(result), consumed};
}

std::string Read(const Bytes& bytes) {
    return Parse(bytes).description;
}

// --- Token classes ---

TEST(MessagePackRead, ZeroBytesAreAnEmptyValue) {
    const Parsed parsed = Parse({});
    EXPECT_EQ(parsed.description, "null");
    EXPECT_EQ(parsed.consumed, 0u);
}

TEST(MessagePackRead, IntegersKeepSignednessOfTheirFamily) {
    EXPECT_EQ(Read({0x93, 0x00, 0x7F, 0xFF}), "[s0, s127, s-1]");
    EXPECT_EQ(Read({0x92, 0xE0, 0xCC, 0xFF}), "[s-32, u255]");
    EXPECT_EQ(Read({0x94, 0xCD, 0x12, 0x34, 0xCE, 0x89, 0xAB, 0xCD, 0xEF, 0xCF,
                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xD0, 0xFF}),
              "[u4660, u2309737967, u18446744073709551614, s-1]");
    EXPECT_EQ(Read({0x93, 0xD1, 0x80, 0x00, 0xD2, 0xFF, 0xFF, 0xFF, 0xFE, 0xD3, 0x80, 0x00, 0x00,
                    0x00, 0x00, 0x00, 0x00, 0x00}),
              "[s-32768, s-2, s-9223372036854775808]");
}

TEST(MessagePackRead, FloatsAreBigEndianAndWidenedExactly) {
    EXPECT_EQ(Read({0x92, 0xCA, 0x3F, 0xC0, 0x00, 0x00, 0xCB, 0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44,
                    0x2D, 0x18}),
              "[f1.5, f-3.1415926535897931]");
    EXPECT_EQ(Read({0xCA, 0x3D, 0xCC, 0xCC, 0xCD}), "f0.10000000149011612");
}

TEST(MessagePackRead, NilAndBooleans) {
    EXPECT_EQ(Read({0x93, 0xC0, 0xC2, 0xC3}), "[null, false, true]");
}

TEST(MessagePackRead, StringsAndBinariesInEveryLengthWidth) {
    EXPECT_EQ(Read({0x94, 0xA2, 'h', 'i', 0xD9, 0x01, 'a', 0xDA, 0x00, 0x02, 'b', 'c', 0xDB, 0x00,
                    0x00, 0x00, 0x01, 'd'}),
              R"(["hi", "a", "bc", "d"])");
    EXPECT_EQ(
        Read({0x93, 0xC4, 0x02, 'h', 'i', 0xC5, 0x00, 0x00, 0xC6, 0x00, 0x00, 0x00, 0x01, 0xFF}),
        "[b'aGk=', b'', b'/w==']");
    BindingResult withZero = ParseMessagePack(
        "\xA3"
        "a\0b",
        4);
    EXPECT_EQ(withZero.value.GetString(), std::string_view("a\0b", 3));
}

TEST(MessagePackRead, ContainersOfEveryCountWidth) {
    EXPECT_EQ(Read({0x90}), "[]");
    EXPECT_EQ(Read({0x80}), "{}");
    EXPECT_EQ(Read({0xDC, 0x00, 0x02, 0x01, 0x02}), "[s1, s2]");
    EXPECT_EQ(Read({0xDD, 0x00, 0x00, 0x00, 0x01, 0x90}), "[[]]");
    EXPECT_EQ(Read({0xDE, 0x00, 0x01, 0xA1, 'k', 0x80}), "{k: {}}");
    EXPECT_EQ(Read({0xDF, 0x00, 0x00, 0x00, 0x02, 0xA1, 'b', 0x01, 0xA1, 'a', 0x91, 0xC3}),
              "{a: [true], b: s1}");
}

TEST(MessagePackRead, RepeatedMapKeyKeepsTheLastValue) {
    EXPECT_EQ(Read({0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02}), "{a: s2}");
    EXPECT_EQ(Read({0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'a', 0x91, 0x03}), "{a: [s3]}");
    EXPECT_EQ(Read({0x82, 0xA1, 'a', 0x81, 0xA1, 'x', 0x01, 0xA1, 'a', 0x80}), "{a: {}}");
    EXPECT_EQ(Read({0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0xC0}), "{a: null}");
}

TEST(MessagePackRead, MapsOfFewerOrOtherKeysHoldOnlyTheirOwn) {
    // After two maps of the same keys a third one of fewer or other keys holds only its own.
    EXPECT_EQ(Read({0x93, 0x82, 0xA1, 'a', 0x01, 0xA1, 'b', 0x02, 0x82, 0xA1, 'a', 0x03, 0xA1, 'b',
                    0x04, 0x81, 0xA1, 'a', 0x05}),
              "[{a: s1, b: s2}, {a: s3, b: s4}, {a: s5}]");
    EXPECT_EQ(Read({0x93, 0x82, 0xA1, 'a', 0x01, 0xA1, 'b', 0x02, 0x82, 0xA1, 'a', 0x03, 0xA1, 'b',
                    0x04, 0x81, 0xA1, 'b', 0x05}),
              "[{a: s1, b: s2}, {a: s3, b: s4}, {b: s5}]");
}

TEST(MessagePackRead, StopsAfterTheRootValue) {
    const Parsed parsed = Parse({0x01, 0x02});
    EXPECT_EQ(parsed.description, "s1");
    EXPECT_EQ(parsed.consumed, 1u);
    const Parsed map = Parse({0x81, 0xA1, 'a', 0x90, 0xC1, 0xC1});
    EXPECT_EQ(map.description, "{a: []}");
    EXPECT_EQ(map.consumed, 4u);
}

TEST(MessagePackRead, ContainersCutShortAreTruncatedAtTheirFirstItem) {
    const Parsed parsed = Parse({0x92, 0x01});
    EXPECT_EQ(parsed.description,
              "error: Invalid MessagePack data. Array of 2 items at position 1 is truncated.");
    EXPECT_EQ(parsed.consumed, 2u);
    EXPECT_EQ(Read({0x91}),
              "error: Invalid MessagePack data. Array of 1 items at position 1 is truncated.");
    // A map missing a value, or whole entries.
    EXPECT_EQ(Read({0x82, 0xA1, 'a', 0x01, 0xA1, 'b'}),
              "error: Invalid MessagePack data. Map of 2 entries at position 1 is truncated.");
    EXPECT_EQ(Read({0xDE, 0x00, 0x03, 0xA1, 'a', 0x01}),
              "error: Invalid MessagePack data. Map of 3 entries at position 3 is truncated.");
    // The innermost container that is short is named; complete inner ones are not.
    EXPECT_EQ(Read({0x92, 0x91, 0x01, 0x92, 0x02}),
              "error: Invalid MessagePack data. Array of 2 items at position 4 is truncated.");
    EXPECT_EQ(Read({0x93, 0x01, 0x91, 0x02}),
              "error: Invalid MessagePack data. Array of 3 items at position 1 is truncated.");
}

TEST(MessagePackRead, LooksLikeMessagePackOnlyForContainers) {
    const std::uint8_t bytes[] = {0x80, 0x9F, 0xDC, 0xDF, 0x7F, 0xA0, 0xDB, 0xE0, '{'};
    const bool expected[] = {true, true, true, true, false, false, false, false, false};
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        EXPECT_EQ(LooksLikeMessagePack(&bytes[i], 1), expected[i]) << int(bytes[i]);
    }
    EXPECT_FALSE(LooksLikeMessagePack(bytes, 0));
}

// --- Malformed input ---

TEST(MessagePackRead, MapKeysMustBeStrings) {
    const Parsed parsed = Parse({0x81, 0x01, 0x02});
    EXPECT_EQ(parsed.description,
              "error: Invalid MessagePack data at position 2. Map keys must be strings.");
    EXPECT_EQ(parsed.consumed, 2u);
    EXPECT_EQ(Read({0x81, 0xC4, 0x00, 0x02}),
              "error: Invalid MessagePack data at position 2. Map keys must be strings.");
}

TEST(MessagePackRead, UnusedAndExtensionBytesAreInvalid) {
    for (std::uint8_t byte : {0xC1, 0xC7, 0xC8, 0xC9, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8}) {
        EXPECT_EQ(Read({byte, 0x00, 0x00, 0x00}), "error: Invalid MessagePack data at position 1.")
            << int(byte);
    }
    const Parsed nested = Parse({0x92, 0x01, 0xC1});
    EXPECT_EQ(nested.description, "error: Invalid MessagePack data at position 3.");
    EXPECT_EQ(nested.consumed, 3u);
}

TEST(MessagePackRead, TruncatedPayloadsNameTheirWidthAndPosition) {
    const char* k8 =
        "error: Invalid MessagePack data. 8-bit integer value at position 1 is truncated.";
    const char* k16 =
        "error: Invalid MessagePack data. 16-bit integer value at position 1 is truncated.";
    const char* k32 =
        "error: Invalid MessagePack data. 32-bit integer value at position 1 is truncated.";
    const char* k64 =
        "error: Invalid MessagePack data. 64-bit integer value at position 1 is truncated.";
    EXPECT_EQ(Read({0xCC}), k8);
    EXPECT_EQ(Read({0xD0}), k8);
    EXPECT_EQ(Read({0xD9}), k8);
    EXPECT_EQ(Read({0xC4}), k8);
    EXPECT_EQ(Read({0xCD, 0x01}), k16);
    EXPECT_EQ(Read({0xDA, 0x01}), k16);
    EXPECT_EQ(Read({0xDC, 0x01}), k16);
    EXPECT_EQ(Read({0xDE}), k16);
    EXPECT_EQ(Read({0xCE, 0x01, 0x02, 0x03}), k32);
    EXPECT_EQ(Read({0xCA, 0x01}), k32);
    EXPECT_EQ(Read({0xDF, 0x00, 0x00}), k32);
    EXPECT_EQ(Read({0xC6}), k32);
    EXPECT_EQ(Read({0xCF, 1, 2, 3, 4, 5, 6, 7}), k64);
    EXPECT_EQ(Read({0xCB, 1, 2, 3}), k64);
    EXPECT_EQ(Read({0xD3}), k64);
}

TEST(MessagePackRead, TruncatedStringsAndBytesNameTheirSize) {
    EXPECT_EQ(Read({0x91, 0xA3, 'a', 'b'}),
              "error: Invalid MessagePack data. String of size 3 at position 2 is truncated.");
    EXPECT_EQ(Read({0x81, 0xDA, 0x01, 0x00, 'k'}),
              "error: Invalid MessagePack data. String of size 256 at position 4 is truncated.");
    EXPECT_EQ(Read({0xC5, 0x00, 0x05, 1, 2}),
              "error: Invalid MessagePack data. Raw bytes of size 5 at position 3 are truncated.");
}

TEST(MessagePackRead, HugeDeclaredLengthsFailWithoutAllocating) {
    EXPECT_EQ(Read({0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}),
              "error: Invalid MessagePack data. String of size 4294967295 at position 5 is "
              "truncated.");
    EXPECT_EQ(Read({0xC6, 0xFF, 0xFF, 0xFF, 0xFF}),
              "error: Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are "
              "truncated.");
    // A count the bytes cannot back reserves nothing beyond them.
    const Parsed array = Parse({0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x07});
    EXPECT_EQ(array.description,
              "error: Invalid MessagePack data. Array of 4294967295 items at position 5 is "
              "truncated.");
    EXPECT_EQ(array.consumed, 6u);
    EXPECT_EQ(Read({0xDD, 0xFF, 0xFF, 0xFF, 0xFF}),
              "error: Invalid MessagePack data. Array of 4294967295 items at position 5 is "
              "truncated.");
}

TEST(MessagePackRead, MapCountWhoseItemCountOverflowsIsInvalid) {
    EXPECT_EQ(Read({0xDF, 0x80, 0x00, 0x00, 0x00, 0xA1, 'a', 0x01}),
              "error: Invalid MessagePack data at position 1.");
    EXPECT_EQ(Read({0xDF, 0x7F, 0xFF, 0xFF, 0xFF, 0xA1, 'a', 0x01}),
              "error: Invalid MessagePack data. Map of 2147483647 entries at position 5 is "
              "truncated.");
}

Bytes NestedArrays(std::size_t depth) {
    Bytes bytes(depth, 0x91);
    bytes.push_back(0xC3);
    return bytes;
}

TEST(MessagePackRead, AcceptsNestingUpToTheLimit) {
    const Bytes bytes = NestedArrays(512);
    BindingResult result = ParseMessagePack(bytes.data(), bytes.size());
    ASSERT_TRUE(result.Succeeded()) << result.ErrorText();
    const BindingProperty* level = &result.value;
    for (int i = 0; i < 512; ++i) {
        ASSERT_TRUE(level->IsCollection());
        level = &level->At(0);
    }
    EXPECT_TRUE(level->GetBool());
}

TEST(MessagePackRead, RefusesNestingPastTheLimit) {
    EXPECT_EQ(
        Read(NestedArrays(513)),
        "error: Invalid MessagePack data at position 513. Nesting is deeper than 512 levels.");
    Bytes maps;
    for (int i = 0; i < 1000000; ++i) {
        maps.insert(maps.end(), {0x81, 0xA0});
    }
    const Parsed parsed = Parse(maps);
    EXPECT_EQ(parsed.description,
              "error: Invalid MessagePack data at position 1025. Nesting is deeper than 512 "
              "levels.");
    EXPECT_EQ(parsed.consumed, 1025u);
}

}  // namespace
}  // namespace Kolm
