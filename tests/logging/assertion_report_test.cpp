#include "logging/assertion_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/logger.h"

namespace Kolm {
namespace {

TEST(AssertionReportTest, ExpressionOnly) {
    EXPECT_EQ(BuildAssertionReport("x > 0", nullptr, 0, "", nullptr),
              "Assertion failed!\n\nExpression: x > 0");
}

TEST(AssertionReportTest, LineWithoutFileIsFollowedByABlankLine) {
    EXPECT_EQ(BuildAssertionReport("", "", 12, nullptr, ""), "Assertion failed!\n\nLine: 12\n\n");
}

TEST(AssertionReportTest, AllPartsInTheirOrder) {
    EXPECT_EQ(BuildAssertionReport("ALE-EECF0606", "plugin.cpp", 40, "Load", "too old"),
              "Assertion failed!\n\nFile: plugin.cpp\nLine: 40\n\nFunction: Load\n\n"
              "Expression: ALE-EECF0606\n\nDescription: too old");
}

TEST(AssertionReportTest, DescriptionWithoutExpression) {
    EXPECT_EQ(BuildAssertionReport(nullptr, nullptr, 0, nullptr, "why"),
              "Assertion failed!\n\n\n\nDescription: why");
}

void Collect(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

TEST(AssertionReportTest, ReportIsLoggedAsAnErrorOfGroupDbg) {
    Logger& logger = Logger::AddReference();
    std::vector<std::string> lines;
    logger.StdErrTarget().SetLineFormat("#L|#M");
    logger.StdErrTarget().RedirectOutput(Collect, &lines);
    logger.DetachTarget(logger.DebuggerConsoleTarget());
    ReportAssertion("a == b", nullptr, 0, nullptr, "differ");
    EXPECT_EQ(lines,
              std::vector<std::string>{
                  " ERROR|Assertion failed!\n\nExpression: a == b\n\nDescription: differ\n"});
    EXPECT_EQ(logger.ErrorCount(), 1u);
    Logger::ReleaseReference();
}

}  // namespace
}  // namespace Kolm
