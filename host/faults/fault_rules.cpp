#include "host/faults/fault_rules.h"

#include <chrono>

#include "host/boundary/bounded_json.h"

namespace Kolm::Host {
namespace {

// The refusal of a rule larger than a rule may be; "" when it fits.
std::string TooLarge(const FaultRule& rule) {
    if (rule.fieldsJson.size() <= FaultRules::kMaxRuleBytes) {
        return {};
    }
    return "a fault rule may hold at most " + std::to_string(FaultRules::kMaxRuleBytes) +
           " bytes as compact JSON; this one holds " + std::to_string(rule.fieldsJson.size());
}

std::string TooMany() {
    return "at most " + std::to_string(FaultRules::kMaxRules) +
           " fault rules may be in force; remove some before adding more";
}

}  // namespace

FaultRuleAdd FaultRules::Add(FaultRule rule) {
    if (std::string error = TooLarge(rule); !error.empty()) {
        return {std::nullopt, 413, std::move(error)};
    }
    const Platform::MutexLock lock(mutex_);
    if (entries_.size() >= kMaxRules) {
        return {std::nullopt, 409, TooMany()};
    }
    rule.id = std::to_string(nextId_++);
    Entry entry{rule, std::mt19937_64(rule.seed ? *rule.seed : std::random_device{}()),
                rule.times.value_or(0)};
    entries_.push_back(std::move(entry));
    return {std::move(rule), 0, {}};
}

std::string FaultRules::AddAll(std::string_view jsonArray) {
    rapidjson::Document document;
    const BoundedJson read = ParseBoundedJson(jsonArray, document);
    if (!read.refusal.empty()) {
        return "the list of fault rules " + read.refusal;
    }
    if (!read || !document.IsArray()) {
        return "the fault rules must be a JSON array of rules";
    }
    std::vector<FaultRule> rules;
    for (rapidjson::SizeType i = 0; i < document.Size(); ++i) {
        FaultRuleParse parsed = ReadFaultRule(document[i]);
        if (!parsed.rule) {
            return "rule " + std::to_string(i + 1) + ": " + parsed.error;
        }
        if (std::string error = TooLarge(*parsed.rule); !error.empty()) {
            return "rule " + std::to_string(i + 1) + ": " + error;
        }
        rules.push_back(std::move(*parsed.rule));
    }
    const Platform::MutexLock lock(mutex_);
    if (entries_.size() + rules.size() > kMaxRules) {
        return TooMany();
    }
    for (FaultRule& rule : rules) {
        rule.id = std::to_string(nextId_++);
        const uint64_t seed = rule.seed ? *rule.seed : std::random_device{}();
        const uint64_t times = rule.times.value_or(0);
        entries_.push_back(Entry{std::move(rule), std::mt19937_64(seed), times});
    }
    return {};
}

std::vector<FaultRule> FaultRules::List() const {
    const Platform::MutexLock lock(mutex_);
    std::vector<FaultRule> rules;
    for (const Entry& entry : entries_) {
        rules.push_back(entry.rule);
    }
    return rules;
}

std::string FaultRules::ListJson() const {
    std::string json = "[";
    for (const FaultRule& rule : List()) {
        json += (json.size() > 1 ? "," : "") + rule.ToJson();
    }
    return json + "]";
}

bool FaultRules::Remove(const std::string& id) {
    const Platform::MutexLock lock(mutex_);
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        if (entry->rule.id == id) {
            Withdraw(*entry);
            entries_.erase(entry);
            withdrawn_.NotifyAll();
            return true;
        }
    }
    return false;
}

void FaultRules::Clear() {
    const Platform::MutexLock lock(mutex_);
    for (Entry& entry : entries_) {
        Withdraw(entry);
    }
    entries_.clear();
    withdrawn_.NotifyAll();
}

FaultWait FaultRules::WaitOut(const FaultEffect& effect) {
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(effect.latencyMs);
    const Platform::MutexLock lock(mutex_);
    const auto withdrawn = [&] { return effect.withdrawal && effect.withdrawal->withdrawn; };
    withdrawn_.WaitUntil(mutex_, until,
                         [&]() ZC_REQUIRES(mutex_) { return endWaits_ || withdrawn(); });
    if (withdrawn()) {
        return FaultWait::Withdrawn;
    }
    return endWaits_ ? FaultWait::Stopping : FaultWait::Elapsed;
}

void FaultRules::EndWaits() {
    const Platform::MutexLock lock(mutex_);
    endWaits_ = true;
    withdrawn_.NotifyAll();
}

bool FaultRules::Draw(Entry& entry) {
    if (entry.rule.probability >= 1.0) {
        return true;
    }
    // The top 53 bits as a fraction in [0, 1): the same on every standard library, unlike
    // the library's distributions, so a seed repeats across builds.
    const double roll = static_cast<double>(entry.random() >> 11) * 0x1.0p-53;
    return roll < entry.rule.probability;
}

std::optional<FaultEffect> FaultRules::Apply(std::string_view service,
                                             std::string_view method,
                                             std::string_view path) {
    std::optional<FaultRule> applied;
    std::shared_ptr<FaultWithdrawal> withdrawal;
    {
        const Platform::MutexLock lock(mutex_);
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (!entry->rule.Matches(service, method, path) || !Draw(*entry)) {
                continue;
            }
            applied = entry->rule;
            withdrawal = entry->withdrawal;
            if (entry->rule.times && --entry->left == 0) {
                entries_.erase(entry);
            }
            break;
        }
    }
    if (!applied) {
        return std::nullopt;
    }
    if (observer_) {
        observer_(*applied, service, method, path);
    }
    FaultEffect effect;
    effect.latencyMs = applied->latencyMs;
    effect.status = applied->status;
    effect.bodyJson = applied->body ? applied->body->json : std::string();
    effect.transportFailure = applied->transportFailure;
    effect.withdrawal = std::move(withdrawal);
    effect.ruleId = applied->id;
    return effect;
}

}  // namespace Kolm::Host
