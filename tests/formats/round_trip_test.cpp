// Values read by each reader, written as JSON and read again, come back equal.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/json.h"
#include "formats/message_pack.h"
#include "formats/yaml.h"
#include "tests/formats/describe_value.h"

namespace Kolm {
namespace {

constexpr const char* kMembership = R"({
  "clubs": [
    {"clubKey": "k1", "name": "Night Owls", "tag": "OWL", "motd": "Hi \"all\"\n\u00e9",
     "members": [{"summonerId": 18446744073709551615, "role": "OWNER", "joined": -1.25e-7},
                 {"summonerId": 2, "role": "MEMBER", "icon": null, "flags": [true, false, {}]}]},
    {"clubKey": "k2", "name": "", "members": [], "score": 1e300, "delta": -9223372036854775808}
  ],
  "preferences": {"primaryClubKey": "k1", "shareClubAffiliation": false, "ratio": 2.0}
})";

void ExpectJsonRoundTrip(const BindingProperty& value, std::string_view separator) {
    const std::string text = WriteJson(value, nullptr, separator);
    BindingResult again = ParseJson(text);
    ASSERT_TRUE(again.Succeeded()) << again.ErrorText() << "\n" << text;
    EXPECT_EQ(Testing::Describe(again.value), Testing::Describe(value));
    EXPECT_TRUE(again.value == value);
    EXPECT_EQ(WriteJson(again.value, nullptr, separator), text);
}

TEST(FormatRoundTrip, NestedJsonDocumentSurvivesCompactAndPrettyWriting) {
    BindingResult parsed = ParseJson(kMembership);
    ASSERT_TRUE(parsed.Succeeded()) << parsed.ErrorText();
    ExpectJsonRoundTrip(parsed.value, "");
    ExpectJsonRoundTrip(parsed.value, "\n");
    ExpectJsonRoundTrip(parsed.value, "\r\n");
}

TEST(FormatRoundTrip, MessagePackDocumentSurvivesJson) {
    const std::vector<std::uint8_t> bytes = {
        0x83, 0xA4, 'n', 'a',  'm',  'e',  0xA3, 'O',  'w',  'l',               //
        0xA2, 'i',  'd', 0xCF, 0,    0,    0,    1,    0,    0,    0,    0,     //
        0xA4, 'l',  'i', 's',  't',  0x93, 0xD0, 0x85, 0xCB, 0x3F, 0xF8, 0, 0,  //
        0,    0,    0,   0,    0x81, 0xA1, 'x',  0x92, 0xC0, 0xC3};
    BindingResult parsed = ParseMessagePack(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed.Succeeded()) << parsed.ErrorText();
    EXPECT_EQ(Testing::Describe(parsed),
              R"({id: u4294967296, list: [s-123, f1.5, {x: [null, true]}], name: "Owl"})");
    ExpectJsonRoundTrip(parsed.value, "");
}

TEST(FormatRoundTrip, YamlDocumentSurvivesJson) {
    BindingResult parsed = ParseYaml(
        "clubs:\n"
        "  - &owl {clubKey: k1, members: [{id: 1, role: OWNER}, {id: -2, ratio: 0.5}]}\n"
        "  - *owl\n"
        "preferences:\n"
        "  primary: k1\n"
        "  share: no\n"
        "  note: \"tab\\there\"\n");
    ASSERT_TRUE(parsed.Succeeded()) << parsed.ErrorText();
    ExpectJsonRoundTrip(parsed.value, "");
    ExpectJsonRoundTrip(parsed.value, "\n");
}

}  // namespace
}  // namespace Kolm
