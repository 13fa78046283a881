#include "logging/assertion_report.h"

#include "logging/logger.h"

namespace Kolm {
namespace {

bool Present(const char* text) {
    return text != nullptr && text[0] != '\0';
}

}  // namespace

std::string BuildAssertionReport(const char* expression,
                                 const char* file,
                                 std::uint32_t line,
                                 const char* function,
                                 const char* description) {
    std::string report = "Assertion failed!\n\n";
    if (Present(file)) {
        report += "File: ";
        report += file;
        report += "\n";
    }
    if (line != 0) {
        report += "Line: " + std::to_string(line) + "\n\n";
    }
    if (Present(function)) {
        report += "Function: ";
        report += function;
        report += "\n\n";
    }
    if (Present(expression)) {
        report += "Expression: ";
        report += expression;
    }
    if (Present(description)) {
        report += "\n\nDescription: ";
        report += description;
    }
    return report;
}

void ReportAssertion(const char* expression,
                     const char* file,
                     std::uint32_t line,
                     const char* function,
                     const char* description) {
    const std::string report = BuildAssertionReport(expression, file, line, function, description);
    Log(kLogError, kLogGroupDbg, "%s", report.c_str());
}

}  // namespace Kolm
