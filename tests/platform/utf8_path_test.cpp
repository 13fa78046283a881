// Paths kept in UTF-8 reach the file system under their own name, on Windows too, where a
// narrow path would go through the ANSI code page (which has no letters for most of these).
#include "platform/utf8_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/platform.h"

namespace Kolm::Platform {
namespace {

std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(Utf8Path, AFileNamedInUtf8IsWrittenReadAndListedUnderThatName) {
    const std::string name = "w\xC3\xB6rld-\xC3\xB1-\xE2\x82\xAC-\xE6\x97\xA5\xE6\x9C\xAC.json";
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("zc-utf8-path-" + std::to_string(CurrentThreadId()));
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    const std::string path = Utf8Text(folder) + "/" + name;

    std::ofstream(Utf8Path(path), std::ios::binary) << "{\"a\":1}";
    std::ifstream in(Utf8Path(path), std::ios::binary);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "{\"a\":1}");
    std::vector<std::string> listed;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(folder)) {
        listed.push_back(Utf8Text(entry.path().filename()));
    }
    EXPECT_EQ(listed, std::vector<std::string>{name});
    in.close();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace Kolm::Platform
