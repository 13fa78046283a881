// Assertion reports: the fixed multi-line text logged when a check fails.
#pragma once

#include <cstdint>
#include <string>

namespace Kolm {

// The report text. Any text may be null or empty and is then left out, as is a line of 0.
std::string BuildAssertionReport(const char* expression,
                                 const char* file,
                                 std::uint32_t line,
                                 const char* function,
                                 const char* description);

// Logs the report at level ERROR, group DBG. It does not stop anything: what follows a failed
// check is the caller's decision.
void ReportAssertion(const char* expression,
                     const char* file,
                     std::uint32_t line,
                     const char* function,
                     const char* description);

}  // namespace Kolm
