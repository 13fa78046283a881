#include "host/faults/fault_rules.h"

#include "host/boundary/exact_json.h"

namespace Kolm::Host {

FaultRule FaultRules::Add(FaultRule rule) {
    std::lock_guard lock(mutex_);
    rule.id = std::to_string(nextId_++);
    Entry entry{rule, std::mt19937_64(rule.seed ? *rule.seed : std::random_device{}()),
                rule.times.value_or(0)};
    entries_.push_back(std::move(entry));
    return rule;
}

std::string FaultRules::AddAll(std::string_view jsonArray) {
    rapidjson::Document document;
    if (ParseExactJson(document, jsonArray).IsError() || !document.IsArray()) {
        return "the fault rules must be a JSON array of rules";
    }
    std::vector<FaultRule> rules;
    for (rapidjson::SizeType i = 0; i < document.Size(); ++i) {
        FaultRuleParse parsed = ReadFaultRule(document[i]);
        if (!parsed.rule) {
            return "rule " + std::to_string(i + 1) + ": " + parsed.error;
        }
        rules.push_back(std::move(*parsed.rule));
    }
    for (FaultRule& rule : rules) {
        Add(std::move(rule));
    }
    return {};
}

std::vector<FaultRule> FaultRules::List() const {
    std::lock_guard lock(mutex_);
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
    std::lock_guard lock(mutex_);
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        if (entry->rule.id == id) {
            entries_.erase(entry);
            return true;
        }
    }
    return false;
}

void FaultRules::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
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
    {
        std::lock_guard lock(mutex_);
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (!entry->rule.Matches(service, method, path) || !Draw(*entry)) {
                continue;
            }
            applied = entry->rule;
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
    return FaultEffect{applied->latencyMs, applied->status, applied->bodyJson,
                       applied->transportFailure};
}

}  // namespace Kolm::Host
