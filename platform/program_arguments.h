// A console program's command line and output text in UTF-8, the encoding the project keeps
// every path and message in. Host programs only, like stop_requests.h.
#pragma once

#include <string>
#include <vector>

namespace Kolm::Platform {

// The program's arguments (argv[0] first) in UTF-8. POSIX systems pass them through as given;
// Windows hands main its arguments in the ANSI code page, so they are taken from the wide
// command line instead.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 text written to standard output and standard error as such
// (Windows; elsewhere the terminal's own setting applies).
void UseUtf8Console();

}  // namespace Kolm::Platform
