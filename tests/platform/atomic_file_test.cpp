// Files written whole or not at all: the target holds the old text or the new, and no
// temporary file stays behind, whether the writing succeeds, its producer gives up midway, or
// the folder cannot take the file.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/utf8_path.h"

namespace Kolm::Platform {
namespace {

std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class AtomicFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("zc-atomic-file-" + std::to_string(CurrentThreadId()));
        std::filesystem::remove_all(folder_);
        ASSERT_TRUE(std::filesystem::create_directories(folder_));
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return Utf8Text(folder_) + "/" + name; }
    static std::string Read(const std::string& path) {
        std::ifstream file(Utf8Path(path), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            names.push_back(Utf8Text(entry.path().filename()));
        }
        return names;
    }

    std::filesystem::path folder_;
};

TEST_F(AtomicFile, ANewFileAndAReplacedOneHoldTheWholeTextAndNothingElseIsLeft) {
    const std::string name = "w\xC3\xB6rld-\xE6\x97\xA5.json";
    const std::string path = PathOf(name);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "{\"first\":1}", &error)) << error;
    EXPECT_EQ(Read(path), "{\"first\":1}");
    ASSERT_TRUE(WriteFileAtomically(
        path,
        [](const AtomicFileAppend& append) {
            return append("{\"second\":") && append("2") && append("}");
        },
        &error))
        << error;
    EXPECT_EQ(Read(path), "{\"second\":2}");
    EXPECT_EQ(Listed(), std::vector<std::string>{name});
}

TEST_F(AtomicFile, AProducerThatGivesUpMidwayLeavesTheOldFileWhole) {
    const std::string path = PathOf("world.json");
    const std::string old(100000, 'o');
    ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(
        path,
        [](const AtomicFileAppend& append) {
            // Half of the new text is on the disk when the producer fails.
            return append(std::string(60000, 'n')) && false;
        },
        &error));
    EXPECT_EQ(error, "the text for " + path + " could not be made whole");
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(Listed(), std::vector<std::string>{"world.json"});
}

TEST_F(AtomicFile, AFolderThatDoesNotExistIsReportedAndNothingIsWritten) {
    const std::string path = PathOf("missing/world.json");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "text", &error));
    EXPECT_EQ(error.rfind("cannot create ", 0), 0u) << error;
    EXPECT_NE(error.find(PathOf("missing/world.json")), std::string::npos) << error;
    EXPECT_TRUE(Listed().empty());
}

TEST_F(AtomicFile, ATargetThatIsAFolderIsNotReplacedAndTheTemporaryFileIsRemoved) {
    const std::string path = PathOf("taken");
    std::filesystem::create_directories(Utf8Path(path + "/inside"));
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "text", &error));
    EXPECT_EQ(error.rfind("cannot replace " + path, 0), 0u) << error;
    EXPECT_TRUE(std::filesystem::is_directory(Utf8Path(path + "/inside")));
    EXPECT_EQ(Listed(), std::vector<std::string>{"taken"});
}

}  // namespace
}  // namespace Kolm::Platform
