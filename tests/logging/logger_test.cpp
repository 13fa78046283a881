#include "logging/logger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "logging/plugin_log_target.h"
#include "platform/platform.h"

namespace Kolm {
namespace {

void Collect(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

// Each test gets a fresh logger with its defaults and sees the console targets' lines.
class LoggerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Logger::Current(), nullptr);
        logger_ = &Logger::AddReference();
        logger_->StdErrTarget().RedirectOutput(Collect, &stdErr_);
        logger_->StdOutTarget().RedirectOutput(Collect, &stdOut_);
        logger_->DebuggerConsoleTarget().RedirectOutput(Collect, &debugger_);
    }
    void TearDown() override { Logger::ReleaseReference(); }

    std::string ConsolePrefix() const {
        char thread[32];
        std::snprintf(
            thread, sizeof(thread), "%p",
            reinterpret_cast<void*>(static_cast<std::uintptr_t>(Platform::CurrentThreadId())));
        return logger_->ExecutableName() + "(" + thread + "): ";
    }

    Logger* logger_ = nullptr;
    std::vector<std::string> stdErr_;
    std::vector<std::string> stdOut_;
    std::vector<std::string> debugger_;
};

TEST_F(LoggerTest, DefaultsSendWarningsOfGroupDbgToStdErrAndTheDebuggerConsole) {
    Log(kLogWarn, kLogGroupDbg, "disk %s is %d%% full", "C:", 97);
    const std::string expected = ConsolePrefix() + "  WARN| disk C: is 97% full\n";
    EXPECT_EQ(stdErr_, std::vector<std::string>{expected});
    EXPECT_EQ(debugger_, std::vector<std::string>{expected});
    EXPECT_TRUE(stdOut_.empty());
    EXPECT_EQ(logger_->WarningCount(), 1u);
}

TEST_F(LoggerTest, DefaultsDropOkayLinesAndSuppressedGroups) {
    Log(kLogOkay, kLogGroupDbg, "quiet");
    Log(kLogError, kLogGroupXtr, "extra");
    Log(kLogError, kLogGroupXtr | kLogGroupDbg, "extra and debug");
    EXPECT_TRUE(stdErr_.empty());
    EXPECT_TRUE(debugger_.empty());
    EXPECT_EQ(logger_->ErrorCount(), 0u);
}

TEST_F(LoggerTest, ConsoleTargetsFilterByTheirGroups) {
    Log(kLogError, kLogGroupGen, "general");  // excluded by stderr, not included by debugger
    EXPECT_TRUE(stdErr_.empty());
    EXPECT_TRUE(debugger_.empty());
    Log(kLogError, kLogGroupNone, "no group");  // a line without groups passes group filters
    EXPECT_EQ(stdErr_.size(), 1u);
    EXPECT_EQ(debugger_.size(), 1u);

    logger_->AttachTarget(logger_->StdOutTarget(), kLogWarn, kLogGroupGen, kLogGroupDbg, "#M");
    Log(kLogError, kLogGroupGen, "to stdout");
    EXPECT_EQ(stdOut_, std::vector<std::string>{"to stdout\n"});
}

TEST_F(LoggerTest, DisabledLoggerAndMinimumLevelDropLines) {
    logger_->Disable();
    Log(kLogAlways, kLogGroupDbg, "while disabled");
    logger_->Enable();
    logger_->SetMinimumLevel(kLogAlways);
    Log(kLogError, kLogGroupDbg, "below minimum");
    Log(kLogAlways, kLogGroupDbg, "shown");
    EXPECT_EQ(stdErr_, std::vector<std::string>{ConsolePrefix() + "ALWAYS| shown\n"});
}

TEST_F(LoggerTest, MessageEndingInLineFeedGetsNoSecondOne) {
    Log(kLogWarn, kLogGroupDbg, "ends here\n");
    EXPECT_EQ(stdErr_, std::vector<std::string>{ConsolePrefix() + "  WARN| ends here\n"});
}

TEST_F(LoggerTest, OverlongLineIsCutAndStillEndsInALineFeed) {
    const std::string huge(6000, 'x');
    Log(kLogWarn, kLogGroupDbg, "%s", huge.c_str());
    ASSERT_EQ(stdErr_.size(), 1u);
    EXPECT_EQ(stdErr_[0].size(), 4095u);
    EXPECT_EQ(stdErr_[0].back(), '\n');
    EXPECT_EQ(stdErr_[0].find(ConsolePrefix() + "  WARN| xxx"), 0u);
}

TEST_F(LoggerTest, FindsAttachedTargetsByName) {
    EXPECT_EQ(logger_->FindTarget("StdErrLogTarget"), &logger_->StdErrTarget());
    EXPECT_EQ(logger_->FindTarget("DebuggerConsoleLogTarget"), &logger_->DebuggerConsoleTarget());
    EXPECT_EQ(logger_->FindTarget("StdOutLogTarget"), nullptr);  // not attached by default
    EXPECT_FALSE(logger_->StdOutTarget().IsAttached());
}

TEST_F(LoggerTest, LastReferenceDestroysTheLoggerAndAFreshOneHasDefaults) {
    logger_->SetMinimumLevel(kLogOkay);
    Logger& again = Logger::AddReference();
    EXPECT_EQ(&again, logger_);
    Logger::ReleaseReference();
    EXPECT_EQ(Logger::Current(), logger_);  // one reference still held by the fixture
    Logger::ReleaseReference();
    EXPECT_EQ(Logger::Current(), nullptr);
    logger_ = &Logger::AddReference();  // balanced by TearDown
    EXPECT_EQ(logger_->MinimumLevel(), kLogWarn);
    EXPECT_EQ(logger_->SuppressedGroups(), static_cast<std::uint64_t>(kLogGroupXtr));
}

struct HostLog {
    std::vector<std::pair<std::int32_t, std::string>> lines;
};
HostLog* gHostLog = nullptr;

void RecordWriteLog(const HostApi*, std::int32_t level, const char* line) {
    gHostLog->lines.emplace_back(level, line);
}

TEST_F(LoggerTest, PluginLogTargetReplacesTheConsolesAndForwardsRawMessages) {
    HostLog hostLog;
    gHostLog = &hostLog;
    HostApi api{};
    api.WriteLog = RecordWriteLog;

    std::unique_ptr<PluginLogTarget> target = InstallPluginLogTarget(&api);
    ASSERT_NE(target, nullptr);
    EXPECT_FALSE(logger_->StdErrTarget().IsAttached());
    EXPECT_FALSE(logger_->DebuggerConsoleTarget().IsAttached());
    EXPECT_EQ(logger_->MinimumLevel(), kLogOkay);
    EXPECT_EQ(target->MinimumLevel(), kLogOkay);
    EXPECT_EQ(target->LineFormat(), "#D| #L| #G| #M");
    EXPECT_EQ(logger_->FindTarget("PluginLogTarget"), target.get());

    Log(kLogOkay, kLogGroupGen, "enabled: %s", "yes");
    Log(kLogError, kLogGroupXtr, "suppressed");
    EXPECT_EQ(hostLog.lines.size(), 1u);
    EXPECT_EQ(hostLog.lines[0],
              std::make_pair(std::int32_t{kLogOkay}, std::string("enabled: yes")));
    EXPECT_TRUE(stdErr_.empty());

    EXPECT_EQ(InstallPluginLogTarget(&api), nullptr);  // a second one is never installed
    target.reset();
    EXPECT_EQ(logger_->FindTarget("PluginLogTarget"), nullptr);
    gHostLog = nullptr;
}

TEST_F(LoggerTest, TargetFunctionTableReachesTheSettings) {
    LogTarget& target = logger_->StdErrTarget();
    const LogTargetFunctions& table = target.Functions();
    EXPECT_EQ(table.version(&target), 1u);
    table.setGroups(&target, kLogGroupDbg | kLogGroupNet, kLogGroupNet);
    EXPECT_EQ(table.getIncludedGroups(&target), static_cast<std::uint64_t>(kLogGroupDbg));
    EXPECT_EQ(table.getExcludedGroups(&target), static_cast<std::uint64_t>(kLogGroupNet));
    table.setMinimumLevel(&target, kLogError);
    EXPECT_EQ(table.getMinimumLevel(&target), kLogError);
    EXPECT_STREQ(table.getLineFormat(&target), "#E(#T): #L| #M");
    EXPECT_EQ(table.isAttached(&target), 1);
    table.detach(&target);
    EXPECT_EQ(table.isAttached(&target), 0);
    Log(kLogError, kLogGroupDbg, "after detach");
    EXPECT_TRUE(stdErr_.empty());
    EXPECT_EQ(debugger_.size(), 1u);
}

}  // namespace
}  // namespace Kolm
