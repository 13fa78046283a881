#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/logger.h"

namespace Kolm {
namespace {

struct Lines {
    std::mutex mutex;
    std::vector<std::string> lines;
};

void Collect(const char* line, void* context) {
    auto* lines = static_cast<Lines*>(context);
    std::lock_guard guard(lines->mutex);
    lines->lines.push_back(line);
}

TEST(LoggerThreadTest, LinesFromManyThreadsArriveWholeAndInOrderPerThread) {
    Logger& logger = Logger::AddReference();
    Lines lines;
    logger.StdErrTarget().SetLineFormat("#M");
    logger.StdErrTarget().RedirectOutput(Collect, &lines);
    logger.DetachTarget(logger.DebuggerConsoleTarget());
    Lines stdOutLines;
    logger.StdOutTarget().RedirectOutput(Collect, &stdOutLines);

    constexpr int kThreads = 4;
    constexpr int kLinesPerThread = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLinesPerThread; ++i) {
                Log(kLogWarn, kLogGroupDbg, "thread %d line %04d %s", t, i,
                    std::string(200, static_cast<char>('a' + t)).c_str());
            }
        });
    }
    // Attaching and detaching meanwhile must not tear lines either.
    for (int i = 0; i < 50; ++i) {
        logger.AttachTarget(logger.StdOutTarget(), kLogWarn, 0, 0, "#M");
        logger.DetachTarget(logger.StdOutTarget());
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    ASSERT_EQ(lines.lines.size(), static_cast<std::size_t>(kThreads * kLinesPerThread));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines.lines) {
        int thread = -1;
        int number = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &thread, &number), 2) << line;
        ASSERT_TRUE(thread >= 0 && thread < kThreads);
        EXPECT_EQ(number, next[thread]++);
        EXPECT_EQ(line.substr(line.size() - 201),
                  std::string(200, static_cast<char>('a' + thread)) + "\n");
    }
    EXPECT_EQ(logger.WarningCount(), static_cast<std::uint32_t>(kThreads * kLinesPerThread));
    Logger::ReleaseReference();
}

}  // namespace
}  // namespace Kolm
