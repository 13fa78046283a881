#include <gtest/gtest.h>

#include <string>

#include "logging/console_log_target.h"

namespace Kolm {
namespace {

LogRecord Record(std::int32_t level, std::uint64_t groups, const char* message) {
    LogRecord record;
    record.time = {2026, 3, 7, 9, 5, 4, 21};
    record.level = level;
    record.groups = groups;
    record.message = message;
    return record;
}

std::string Line(const char* format, const LogRecord& record) {
    char buffer[4096];
    const std::size_t length = FormatLogLine(buffer, sizeof(buffer), format, record, "host.exe");
    return std::string(buffer, length);
}

TEST(LogLineTest, ExpandsTheCodesOfTheLineFormat) {
    const LogRecord record = Record(kLogError, kLogGroupDbg | kLogGroupGen, "boom");
    EXPECT_EQ(Line("#D| #L| #G| #M", record), "2026-03-07T09:05:04.021|  ERROR| DBG;GEN| boom\n");
    EXPECT_EQ(Line("#E: #M", record), "host.exe: boom\n");
    EXPECT_EQ(Line("##x#M#", record), "#xboom#\n");
}

TEST(LogLineTest, NamesGroupsLowestBitFirst) {
    EXPECT_EQ(LogGroupNames(3), "DBG;GEN");
    EXPECT_EQ(LogGroupNames(1u << 9), "???");
    EXPECT_EQ(LogGroupNames(0), "");
    EXPECT_EQ(LogGroupNames(kLogGroupTst | kLogGroupXtr | (1ull << 63)), "XTR;TST;???");
}

TEST(LogLineTest, NamesEveryLevelInSixCharacters) {
    EXPECT_EQ(Line("[#L]", Record(kLogOkay, 0, "")), "[  OKAY]\n");
    EXPECT_EQ(Line("[#L]", Record(kLogWarn, 0, "")), "[  WARN]\n");
    EXPECT_EQ(Line("[#L]", Record(kLogAlways, 0, "")), "[ALWAYS]\n");
    EXPECT_EQ(Line("[#L]", Record(7, 0, "")), "[??????]\n");
}

TEST(LogLineTest, SecondsSinceStartHaveTheirFixedWidth) {
    const std::string line = Line("#H", Record(kLogOkay, 0, ""));
    ASSERT_EQ(line.size(), 11u);
    EXPECT_EQ(line[6], '.');
    EXPECT_EQ(line.back(), '\n');
}

TEST(LogLineTest, FullBufferGivesItsLastCharacterToTheLineFeed) {
    char buffer[8];
    const LogRecord record = Record(kLogOkay, 0, "abcdefghij");
    EXPECT_EQ(FormatLogLine(buffer, sizeof(buffer), "#M", record, ""), 7u);
    EXPECT_STREQ(buffer, "abcdef\n");
    EXPECT_EQ(FormatLogLine(buffer, 1, "#M", record, ""), 0u);
    EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace Kolm
