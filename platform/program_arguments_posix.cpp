#include "platform/program_arguments.h"

namespace Kolm::Platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8Console() {}

}  // namespace Kolm::Platform
