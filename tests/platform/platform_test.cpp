#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/virtual_memory.h"

namespace Kolm::Platform {
namespace {

TEST(VirtualMemoryTest, ReservesCommitsAndReleasesPages) {
    const std::size_t page = MemoryPageSize();
    ASSERT_GT(page, 0u);
    char* base = static_cast<char*>(ReserveMemory(16 * page));
    ASSERT_NE(base, nullptr);
    ASSERT_TRUE(CommitMemory(base + page, 2 * page));
    EXPECT_EQ(base[page], 0);  // committed pages start zeroed
    std::memset(base + page, 0x5A, 2 * page);
    EXPECT_EQ(base[3 * page - 1], 0x5A);
    ReleaseMemory(base, 16 * page);
}

TEST(VirtualMemoryTest, RefusesNothingToReserveOrCommit) {
    EXPECT_EQ(ReserveMemory(0), nullptr);
    EXPECT_FALSE(CommitMemory(nullptr, MemoryPageSize()));
    ReleaseMemory(nullptr, 0);  // harmless
}

TEST(PlatformTest, ThreadIdsDifferBetweenThreads) {
    const std::uint32_t mine = CurrentThreadId();
    std::uint32_t other = mine;
    std::thread([&other] { other = CurrentThreadId(); }).join();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(other, mine);
    EXPECT_EQ(CurrentThreadId(), mine);
}

TEST(PlatformTest, PerformanceCounterAdvancesAtItsFrequency) {
    EXPECT_GT(PerformanceFrequency(), 0);
    const std::int64_t first = PerformanceCounter();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GT(PerformanceCounter(), first);
}

TEST(PlatformTest, LocalTimeFieldsAreInRange) {
    const LocalTime now = CurrentLocalTime();
    EXPECT_GE(now.year, 2020);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
    EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);
}

TEST(PlatformTest, ExecutableFileNameNamesThisTestProgram) {
    EXPECT_NE(ExecutableFileName().find("zc_platform_tests"), std::string::npos);
}

TEST(PlatformTest, ThisModuleFolderIsTheFolderOfTheProgramThatLinksTheCodeIn) {
    const std::string folder = ThisModuleFolder();
    const std::string program = ExecutableFileName();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\') << folder;
    EXPECT_EQ(program.substr(0, folder.size()), folder);
    EXPECT_EQ(program.find_first_of("/\\", folder.size()), std::string::npos) << program;
}

TEST(PlatformTest, DynamicLibrariesResolveSymbolsAndReportMissingOnes) {
    EXPECT_EQ(LoadDynamicLibrary("no-such-library-anywhere.so"), nullptr);
    EXPECT_EQ(LoadDynamicLibrary(nullptr), nullptr);
    EXPECT_EQ(FindDynamicSymbol(nullptr, "strlen"), nullptr);
#if defined(_WIN32)
    DynamicLibrary library = LoadDynamicLibrary("kernel32.dll");
    const char* symbol = "GetCurrentThreadId";
#else
    DynamicLibrary library = LoadDynamicLibrary("libc.so.6");
    const char* symbol = "strlen";
#endif
    ASSERT_NE(library, nullptr);
    EXPECT_NE(FindDynamicSymbol(library, symbol), nullptr);
    EXPECT_EQ(FindDynamicSymbol(library, "no_such_symbol_here"), nullptr);
    FreeDynamicLibrary(library);
}

}  // namespace
}  // namespace Kolm::Platform
