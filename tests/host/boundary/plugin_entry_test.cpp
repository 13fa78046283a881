// The built plugin library as the host sees it: opened from disk and driven through its one
// export.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/boundary/plugin_library.h"
#include "host/testing/test_host.h"

#if !defined(_WIN32)
#include <elf.h>
#endif

namespace Kolm::Host {
namespace {

class PluginEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        library_ = PluginLibrary::Open(ZC_PLUGIN_LIBRARY_PATH, &error);
        ASSERT_NE(library_, nullptr) << error;
    }
    std::unique_ptr<PluginLibrary> library_;
};

TEST_F(PluginEntryTest, LoadsAsZunClubsAndStartsAndStops) {
    TestHost host(library_->Entry());
    ASSERT_TRUE(host.Load(18, 3, 0));
    EXPECT_EQ(host.ShortName(), "zun-clubs");
    const PluginLoadRecord record = host.LoadRecord();  // packed: compare copies
    EXPECT_EQ(std::uint32_t{record.versionMajor}, 18u);
    EXPECT_EQ(std::uint32_t{record.versionMinor}, 0u);
    EXPECT_EQ(std::uint32_t{record.versionPatch}, 0u);
    EXPECT_TRUE(host.Init());
    host.Shutdown();
    EXPECT_TRUE(host.Host().ActiveSubscriptions().empty());
}

TEST_F(PluginEntryTest, RefusesAnIncompatibleHostAndLeavesTheRecordAlone) {
    TestHost host(library_->Entry());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(host.Load(19, 0, 0));
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(" ERROR| Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: "
                          "zun-clubs which supports plugin API 18.0.0 is not compatible with "
                          "core's plugin API 19.0.0\n"),
              std::string::npos)
        << errors;
    const PluginLoadRecord record = host.LoadRecord();
    EXPECT_TRUE(record.callbacks == nullptr);
    EXPECT_TRUE(record.instance == nullptr);
    EXPECT_TRUE(record.shortName == nullptr);
}

TEST_F(PluginEntryTest, SurvivesTheCallOrdersOfAPluginValidator) {
    library_->Entry()(nullptr);  // no load record

    TestHost neverStarted(library_->Entry());
    ASSERT_TRUE(neverStarted.Load());
    neverStarted.Shutdown();

    TestHost twice(library_->Entry());
    ASSERT_TRUE(twice.Load());
    EXPECT_TRUE(twice.Init());
    EXPECT_FALSE(twice.Init());
    const PluginLoadRecord& record = twice.LoadRecord();
    record.callbacks->GetMemoryStats(record.instance, nullptr);
    const PluginMemoryStatsRecord stats = twice.MemoryStats();
    EXPECT_GT(std::uint32_t{stats.words[6]}, 0u);  // allocations: at least the plugin itself
    EXPECT_EQ(std::uint32_t{stats.words[12]}, 0u);
    EXPECT_EQ(std::uint32_t{stats.words[13]}, 0u);
    twice.Shutdown();

    for (int round = 0; round < 3; ++round) {
        TestHost host(library_->Entry(), 40 + round);
        ASSERT_TRUE(host.Load());
        ASSERT_TRUE(host.Init());
        host.Shutdown();
    }
}

TEST(PluginLibraryTest, ReportsLibrariesThatCannotBeUsed) {
    std::string error;
    EXPECT_EQ(PluginLibrary::Open("/nonexistent/libzun-clubs.so", &error), nullptr);
    EXPECT_FALSE(error.empty());
#if !defined(_WIN32)
    error.clear();
    EXPECT_EQ(PluginLibrary::Open("libm.so.6", &error), nullptr);
    EXPECT_EQ(error, "libm.so.6 has no export load_zun_clubs");
#endif
}

#if !defined(_WIN32)
// The names of the defined global symbols in the library's dynamic symbol table.
std::set<std::string> ExportedSymbols(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return {};
    }
    std::vector<unsigned char> image;
    unsigned char chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0;) {
        image.insert(image.end(), chunk, chunk + got);
    }
    std::fclose(file);
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr) || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0 ||
        image[EI_CLASS] != ELFCLASS64) {
        return names;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof(header));
    auto section = [&](std::size_t index) {
        Elf64_Shdr entry;
        std::memcpy(&entry, image.data() + header.e_shoff + index * header.e_shentsize,
                    sizeof(entry));
        return entry;
    };
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) {
            continue;
        }
        const Elf64_Shdr strings = section(symbols.sh_link);
        for (std::size_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.sh_size;
             offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, image.data() + symbols.sh_offset + offset, sizeof(symbol));
            const unsigned binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) {
                continue;
            }
            names.insert(
                reinterpret_cast<const char*>(image.data() + strings.sh_offset + symbol.st_name));
        }
    }
    return names;
}

TEST(PluginLibraryTest, ExportsOnlyTheEntry) {
    EXPECT_EQ(ExportedSymbols(ZC_PLUGIN_LIBRARY_PATH), std::set<std::string>{"load_zun_clubs"});
}
#endif

}  // namespace
}  // namespace Kolm::Host
