#include "api/path_template.h"

#include <gtest/gtest.h>

#include "api/content_type.h"
#include "api/http_method.h"
#include "api/percent_decoding.h"

namespace Kolm {
namespace {

TEST(FunctionNameTest, JoinsMethodAndTemplateInUpperCamelCase) {
    EXPECT_EQ(FunctionNameFromMethodAndPath("GET", "/zun-clubs/v1/clubs/{clubKey}"),
              "GetZunClubsV1ClubsByClubKey");
    EXPECT_EQ(FunctionNameFromMethodAndPath("DELETE",
                                            "/zun-clubs/v1/clubs/{clubKey}/members/{summonerId}"),
              "DeleteZunClubsV1ClubsByClubKeyMembersBySummonerId");
    EXPECT_EQ(FunctionNameFromMethodAndPath("GET", "/zun-clubs/v1/clubs"), "GetZunClubsV1Clubs");
}

TEST(FunctionNameTest, ClosingBraceKeepsThePendingCapital) {
    // "}" is dropped without touching the flag: after "{b}" the flag was used by "b", after "{}"
    // it is still set.
    EXPECT_EQ(FunctionNameFromMethodAndPath("PATCH", "/a/{b}c!d_e.f+g"), "PatchAByBcDEFG");
    EXPECT_EQ(FunctionNameFromMethodAndPath("PATCH", "/a/{}c"), "PatchAByC");
    EXPECT_EQ(FunctionNameFromMethodAndPath("post", "/x"), "PostX");
}

TEST(StoredTemplateTest, DropsOneTrailingSlashFromLongerTemplates) {
    EXPECT_EQ(StoredPathTemplate("/zun-clubs/v1/clubs/"), "/zun-clubs/v1/clubs");
    EXPECT_EQ(StoredPathTemplate("/a//"), "/a/");
    EXPECT_EQ(StoredPathTemplate("/"), "/");
}

TEST(TranslateTemplateTest, EscapesExpressionCharactersOfLiterals) {
    TranslatedTemplate t = TranslatePathTemplate("/a.b/{x}");
    EXPECT_EQ(t.expression, "/a\\.b/([^/]*)");
    ASSERT_EQ(t.placeholders.size(), 1u);
    EXPECT_EQ(t.placeholders[0], (PathPlaceholder{PlaceholderKind::Plain, "x"}));
    EXPECT_EQ(TranslatePathTemplate("/^$*?()[]|\\{p}").expression,
              "/\\^\\$\\*\\?\\(\\)\\[\\]\\|\\\\([^/]*)");
}

TEST(TranslateTemplateTest, MarksReservedAndFragmentPlaceholders) {
    TranslatedTemplate t = TranslatePathTemplate("/x/{+rest}{#frag}{a+#}");
    EXPECT_EQ(t.expression, "/x/(.*)#(.*)([^/]*)");
    std::vector<PathPlaceholder> expected = {{PlaceholderKind::Reserved, "rest"},
                                             {PlaceholderKind::Fragment, "frag"},
                                             {PlaceholderKind::Plain, "a+#"}};
    EXPECT_EQ(t.placeholders, expected);
}

TEST(TranslateTemplateTest, UnclosedPlaceholderEmitsNoGroup) {
    TranslatedTemplate t = TranslatePathTemplate("/a/{b/c");
    EXPECT_EQ(t.expression, "/a/");
    EXPECT_TRUE(t.placeholders.empty());
}

TEST(TranslateTemplateTest, EmptyPlaceholderStillCaptures) {
    TranslatedTemplate t = TranslatePathTemplate("/a/{}");
    EXPECT_EQ(t.expression, "/a/([^/]*)");
    ASSERT_EQ(t.placeholders.size(), 1u);
    EXPECT_EQ(t.placeholders[0].name, "");
}

TEST(PercentDecodeTest, DecodesEscapesAndPlus) {
    EXPECT_EQ(PercentDecode("a%2Fb+c"), "a/b c");
    EXPECT_EQ(PercentDecode("%41%6a%7E"), "Aj~");
    EXPECT_EQ(PercentDecode("%00x"), std::string("\0x", 2));
}

TEST(PercentDecodeTest, ShortOrMalformedEscapesStayHarmless) {
    EXPECT_EQ(PercentDecode("ab%4"), "ab4");
    EXPECT_EQ(PercentDecode("ab%"), "ab");
    EXPECT_EQ(PercentDecode("%zz1"), "%zz1");
    EXPECT_EQ(PercentDecode("%4g"), "%4g");
}

TEST(HttpMethodTest, NamesCodesOneToSevenOnly) {
    EXPECT_EQ(HttpMethodName(1u), "DELETE");
    EXPECT_EQ(HttpMethodName(HttpMethod::Patch), "PATCH");
    EXPECT_EQ(HttpMethodName(7u), "PUT");
    EXPECT_EQ(HttpMethodName(8u), "");
    EXPECT_EQ(HttpMethodName(0u), "");
    EXPECT_EQ(HttpMethodName(9u), "");
    EXPECT_EQ(HostMethodCode(8), 8u);
    EXPECT_EQ(HostMethodCode(9), 0u);
}

TEST(ContentTypeTest, ComparesPrefixesCaseInsensitively) {
    EXPECT_EQ(BodyContentFormat("Application/JSON; charset=utf-8"), ContentFormat::Json);
    EXPECT_EQ(BodyContentFormat("application/vnd.api+json"), ContentFormat::Json);
    EXPECT_EQ(BodyContentFormat("APPLICATION/X-YAML"), ContentFormat::Yaml);
    EXPECT_EQ(BodyContentFormat("application/x-msgpack"), ContentFormat::MessagePack);
    EXPECT_EQ(BodyContentFormat("text/x-yaml"), std::nullopt);
    EXPECT_EQ(BodyContentFormat("text/plain"), std::nullopt);
    EXPECT_EQ(BodyContentFormat("application/js"), std::nullopt);
}

TEST(ContentTypeTest, ArgumentValuesHaveTheirOwnTypes) {
    EXPECT_EQ(ArgumentValueFormat("application/x-msgpack-ext"), ValueFormat::MessagePack);
    EXPECT_EQ(ArgumentValueFormat("Text/X-Yaml"), ValueFormat::Yaml);
    EXPECT_EQ(ArgumentValueFormat("application/x-yaml"), ValueFormat::Text);
    EXPECT_EQ(ArgumentValueFormat("application/octet-stream"), ValueFormat::Blob);
    EXPECT_EQ(ArgumentValueFormat(""), ValueFormat::Text);
}

TEST(ContentTypeTest, SniffsJsonAndYamlAfterBlanks) {
    EXPECT_TRUE(LooksLikeJsonText(" \n{\"a\":1}"));
    EXPECT_TRUE(LooksLikeJsonText("[1]"));
    EXPECT_FALSE(LooksLikeJsonText("x{"));
    EXPECT_TRUE(LooksLikeYamlText("  ---\na: 1"));
    EXPECT_FALSE(LooksLikeYamlText("--"));
    EXPECT_EQ(ResponseFormatCode(3), 3u);
    EXPECT_EQ(ResponseFormatCode(4), 0u);
}

}  // namespace
}  // namespace Kolm
