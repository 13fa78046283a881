// Fault latencies as a call waits them out: removing the rule or stopping the host ends the
// wait at once, and nothing else does.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "host/faults/fault_rules.h"

namespace Kolm::Host {
namespace {

// Only a wait that is never released runs into this.
constexpr std::chrono::seconds kHang{60};

class FaultWaits : public ::testing::Test {
  protected:
    void TearDown() override {
        rules.EndWaits();  // a failed test must not leave a wait of minutes behind it
        waits.clear();
    }

    // Adds the rule and applies it to a call of its path.
    FaultEffect Applied(const std::string& json, const std::string& path) {
        FaultRuleParse parsed = ParseFaultRule(json);
        EXPECT_TRUE(parsed.rule.has_value()) << json << ": " << parsed.error;
        const FaultRuleAdd added = rules.Add(parsed.rule.value_or(FaultRule{}));
        EXPECT_TRUE(added.rule.has_value()) << added.error;
        ids.push_back(added.rule ? added.rule->id : std::string());
        std::optional<FaultEffect> effect = rules.Apply("clubs", "PUT", path);
        EXPECT_TRUE(effect.has_value()) << json;
        return effect.value_or(FaultEffect{});
    }
    // Waits the effect out on a thread of its own; the index of that wait.
    std::size_t StartWait(const FaultEffect& effect) {
        waits.push_back(
            std::async(std::launch::async, [this, effect] { return rules.WaitOut(effect); }));
        // Gives the wait a moment to block, so that the removal below wakes it rather than
        // finding the rule gone before it starts (both must end the wait).
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return waits.size() - 1;
    }
    // How the wait ended; nullopt when it did not end within kHang.
    std::optional<FaultWait> Ended(std::size_t wait) {
        if (waits[wait].wait_for(kHang) != std::future_status::ready) {
            return std::nullopt;
        }
        return waits[wait].get();
    }

    FaultRules rules;
    std::vector<std::string> ids;
    std::vector<std::future<FaultWait>> waits;
};

constexpr const char* kSlowMotd =
    R"({"service":"clubs","path":"/v1/clubs/*/motd","latencyMs":120000,"status":503})";
constexpr const char* kSlowName =
    R"({"service":"clubs","path":"/v1/clubs/*/name","latencyMs":120000})";

TEST_F(FaultWaits, RemovingTheRuleEndsAWaitUnderWayAsWithdrawn) {
    const std::size_t wait = StartWait(Applied(kSlowMotd, "/v1/clubs/club-1/motd"));
    ASSERT_TRUE(rules.Remove(ids[0]));
    EXPECT_EQ(Ended(wait), FaultWait::Withdrawn);
}

TEST_F(FaultWaits, AnEffectOfARuleRemovedBeforeItsWaitIsNotDelayed) {
    const FaultEffect effect = Applied(kSlowMotd, "/v1/clubs/club-1/motd");
    ASSERT_TRUE(rules.Remove(ids[0]));
    EXPECT_EQ(Ended(StartWait(effect)), FaultWait::Withdrawn);
}

TEST_F(FaultWaits, ClearingTheRulesEndsTheWaitsOfEveryRule) {
    const std::size_t motd = StartWait(Applied(kSlowMotd, "/v1/clubs/club-1/motd"));
    const std::size_t name = StartWait(Applied(kSlowName, "/v1/clubs/club-1/name"));
    rules.Clear();
    EXPECT_EQ(Ended(motd), FaultWait::Withdrawn);
    EXPECT_EQ(Ended(name), FaultWait::Withdrawn);
}

TEST_F(FaultWaits, RemovingAnotherRuleLeavesTheWaitToItsEnd) {
    const std::size_t wait = StartWait(Applied(
        R"({"service":"clubs","path":"/v1/clubs/*/motd","latencyMs":300})", "/v1/clubs/c/motd"));
    Applied(kSlowName, "/v1/clubs/c/name");
    ASSERT_TRUE(rules.Remove(ids[1]));
    EXPECT_EQ(Ended(wait), FaultWait::Elapsed);
}

TEST_F(FaultWaits, ARuleUsedUpByItsTimesStillDelaysTheCallsItGave) {
    const FaultEffect effect =
        Applied(R"({"service":"clubs","path":"/v1/clubs/*/motd","latencyMs":200,"times":1})",
                "/v1/clubs/club-1/motd");
    EXPECT_EQ(rules.ListJson(), "[]");
    EXPECT_EQ(Ended(StartWait(effect)), FaultWait::Elapsed);
}

TEST_F(FaultWaits, EndingTheWaitsCutsEveryLatencyShortAndKeepsTheRules) {
    const FaultEffect effect = Applied(kSlowMotd, "/v1/clubs/club-1/motd");
    const std::size_t first = StartWait(effect);
    rules.EndWaits();
    EXPECT_EQ(Ended(first), FaultWait::Stopping);
    EXPECT_EQ(Ended(StartWait(effect)), FaultWait::Stopping);
    EXPECT_EQ(rules.List().size(), 1u);
}

}  // namespace
}  // namespace Kolm::Host
