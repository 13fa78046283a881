// File paths in UTF-8, as the project keeps every path, made into std::filesystem::path. On
// Windows a path built from a narrow string is read in the ANSI code page, which mangles every
// character outside it; one built from UTF-8 code units reaches the system's wide calls intact.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace Kolm::Platform {

inline std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace Kolm::Platform
