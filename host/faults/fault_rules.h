// FaultRules: the rules in force, asked once per call that an emulated service receives. The
// first rule (in the order added) that matches the call and wins its draw applies: it counts
// down its `times` (and leaves the list when they are used up) and is reported to the observer,
// which the host uses to write its log and publish the event. A rule with a `seed` draws from
// its own generator started at that seed, so a run of the same calls fails the same ones.
//
// The rules are bounded, since any client of the host can add them: at most kMaxRules in force,
// each at most kMaxRuleBytes as given (its fields as compact JSON, the body included). A rule past
// either limit is refused with a message that names the limit.
//
// A rule's latency is waited out with WaitOut, which removing the rule (Remove, Clear) or
// stopping the host (EndWaits) cuts short: a tester who deletes a slow rule gets the calls
// already held by it back at once, and a host that stops does not sit out the delays.
//
// Thread rules: every member may be called from any thread; the observer is called with no
// lock held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "host/faults/fault_rule.h"
#include "platform/mutex.h"

namespace Kolm::Host {

// Shared by a rule in force and the effects it gave, so that a wait under way learns that the
// rule was removed; `withdrawn` is guarded by the mutex of the FaultRules that made it.
struct FaultWithdrawal {
    bool withdrawn = false;
};

// What the service does instead of (or before) answering normally.
struct FaultEffect {
    uint32_t latencyMs = 0;
    std::optional<uint32_t> status;  // none and no transport failure: answer normally
    std::string bodyJson;
    bool transportFailure = false;
    std::shared_ptr<FaultWithdrawal> withdrawal;  // of the rule that gave it; null: none
    std::string ruleId;                           // of the rule that gave it
};

// How a wait for an effect's latency ended.
enum class FaultWait {
    Elapsed,    // the whole latency passed; the rest of the effect applies
    Withdrawn,  // the rule was removed meanwhile: the call goes on as if it had not applied
    Stopping,   // EndWaits: the delay is cut short, the rest of the effect still applies
};

// The outcome of adding rules: the rule as stored, or the HTTP status and message of a refusal.
struct FaultRuleAdd {
    std::optional<FaultRule> rule;  // none: refused
    uint32_t status = 0;            // 413: too large; 409: too many rules in force
    std::string error;
};

class FaultRules {
  public:
    static constexpr std::size_t kMaxRules = 256;
    static constexpr std::size_t kMaxRuleBytes = 64 * 1024;

    using Observer = std::function<void(const FaultRule& rule,
                                        std::string_view service,
                                        std::string_view method,
                                        std::string_view path)>;

    explicit FaultRules(Observer observer = {}) : observer_(std::move(observer)) {}

    // Stores the rule under the next id ("1", "2", ...) and returns it as stored, unless it is
    // past a limit.
    FaultRuleAdd Add(FaultRule rule);
    // Every rule of a JSON array, or none of them: "" when added, else what is wrong with which
    // (a limit included).
    std::string AddAll(std::string_view jsonArray);
    std::vector<FaultRule> List() const;
    // The rules as a JSON array.
    std::string ListJson() const;
    bool Remove(const std::string& id);
    void Clear();

    // The effect for this call, if a rule applies; `path` without the query.
    std::optional<FaultEffect> Apply(std::string_view service,
                                     std::string_view method,
                                     std::string_view path);
    // Blocks for the latency of an effect that Apply of these rules gave, less when its rule is
    // removed (or was already, even with no latency) or EndWaits is called. A rule that leaves the
    // list because its `times` are used up was not removed: the calls it gave still wait.
    FaultWait WaitOut(const FaultEffect& effect);
    // Ends every wait under way and makes later ones return at once; for a host that stops.
    void EndWaits();

  private:
    struct Entry {
        FaultRule rule;
        std::mt19937_64 random;
        uint64_t left = 0;  // with rule.times
        std::shared_ptr<FaultWithdrawal> withdrawal = std::make_shared<FaultWithdrawal>();
    };
    static bool Draw(Entry& entry);
    // Marks the entry's waits withdrawn (waiters are woken by the caller).
    void Withdraw(Entry& entry) ZC_REQUIRES(mutex_) { entry.withdrawal->withdrawn = true; }

    const Observer observer_;
    mutable Platform::Mutex mutex_;
    Platform::CondVar withdrawn_;  // notified with every withdrawal and by EndWaits
    // mutex_ also guards every FaultWithdrawal the entries share.
    std::vector<Entry> entries_ ZC_GUARDED_BY(mutex_);
    uint64_t nextId_ ZC_GUARDED_BY(mutex_) = 1;
    bool endWaits_ ZC_GUARDED_BY(mutex_) = false;
};

}  // namespace Kolm::Host
