#include "logging/message_format.h"

#include <gtest/gtest.h>

#include <string>

namespace Kolm {
namespace {

struct Version {
    std::string ToString() const { return "18.2.0"; }
};

TEST(MessageFormatTest, RepeatsPositionalArgumentsInTheirNaturalForm) {
    EXPECT_EQ(Format("%1 %2 %1", "a", "b"), "a b a");
    EXPECT_EQ(Format("%1.%2.%3", 18u, 0, -3), "18.0.-3");
    EXPECT_EQ(Format("[%1]", 'x'), "[x]");
    EXPECT_EQ(Format("KolmClient/%1 (%2)", Version{}, std::string("zun-clubs")),
              "KolmClient/18.2.0 (zun-clubs)");
}

TEST(MessageFormatTest, DoublePercentIsOnePercent) {
    EXPECT_EQ(Format("%%1", "a"), "%1");
    EXPECT_EQ(Format("100%%"), "100%");
}

TEST(MessageFormatTest, AppliesPrintfSpecificationsToNumberedArguments) {
    EXPECT_EQ(Format("%2$05d|%1$-4s|", "ab", 42), "00042|ab  |");
    EXPECT_EQ(Format("%1$.3f %1$x", 2.5), "2.500 2");
    EXPECT_EQ(Format("%1$x %1$#X", 255), "ff 0XFF");
    EXPECT_EQ(Format("%1$lld %1$hhu", 7), "7 7");
    EXPECT_EQ(Format("%1$*2$d|", 5, 4), "   5|");
    EXPECT_EQ(Format("%1$.*2$s", "abcdef", 3), "abc");
}

TEST(MessageFormatTest, SequentialSpecificationsTakeTheNextArgument) {
    EXPECT_EQ(Format("%s=%d", "key", 3), "key=3");
    EXPECT_EQ(Format("[%*d]", 4, 7), "[   7]");
    EXPECT_EQ(Format("[%-*d]", 3, 7), "[7  ]");
}

TEST(MessageFormatTest, MismatchedConversionFallsBackToTheNaturalForm) {
    EXPECT_EQ(Format("%1$d", "text"), "text");
    EXPECT_EQ(Format("%1$5d|", "ab"), "   ab|");
    EXPECT_EQ(Format("%1$s", 12), "12");
}

TEST(MessageFormatTest, StopsAtAnIndexAboveTheArgumentCount) {
    EXPECT_EQ(Format("a %1 b %2 c", "x"), "a x b ");
    EXPECT_EQ(Format("%3$s tail", "x"), "");
    EXPECT_EQ(Format("%s and %s", "one"), "one and ");
    EXPECT_EQ(Format("no arguments %1"), "no arguments ");
}

TEST(MessageFormatTest, StopsAtAnOverlongOrInvalidSpecification) {
    const std::string longFlags(70, '-');
    EXPECT_EQ(Format(("x %1$" + longFlags + "d y").c_str(), 1), "x ");
    EXPECT_EQ(Format("before %1$q after", 1), "before ");
    EXPECT_EQ(Format("never %n written", 1), "never ");
    EXPECT_EQ(Format("trailing %"), "trailing ");
}

TEST(MessageFormatTest, CutsOutputToTheBufferAndTerminatesIt) {
    char buffer[6];
    const FormatArgument text("abcdefgh");
    const FormatArgument* arguments[] = {&text};
    EXPECT_EQ(FormatInto(buffer, sizeof(buffer), "%1", arguments), 5u);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(FormatInto(buffer, sizeof(buffer), "%1$20s", arguments), 5u);
    EXPECT_STREQ(buffer, "     ");
    EXPECT_EQ(FormatInto(buffer, 1, "%1", arguments), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(MessageFormatTest, LimitsMessagesToTheMessageBuffer) {
    const std::string huge(10000, 'z');
    EXPECT_EQ(Format("%1", huge).size(), kMessageBufferSize - 1);
    EXPECT_EQ(Format("%1$9999999d", 1).size(), kMessageBufferSize - 1);
}

}  // namespace
}  // namespace Kolm
