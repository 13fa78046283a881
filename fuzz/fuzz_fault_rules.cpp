// Fault rules from arbitrary text. The first byte picks what reads it: even, one rule
// (ParseFaultRule), odd, an array of rules (FaultRules::AddAll). An accepted rule, listed and
// posted again, is the same rule with the same listing; it matches a call on the path it
// names. An accepted array, listed and added to a fresh set, lists the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "host/faults/fault_rule.h"
#include "host/faults/fault_rules.h"

namespace {

using Kolm::Host::FaultRule;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    __builtin_trap();
}

bool SameRule(const FaultRule& a, const FaultRule& b) {
    return a.id == b.id && a.service == b.service && a.method == b.method && a.path == b.path &&
           a.pathSegments == b.pathSegments && a.status == b.status && a.body == b.body &&
           a.transportFailure == b.transportFailure && a.latencyMs == b.latencyMs &&
           a.probability == b.probability && a.seed == b.seed && a.times == b.times &&
           a.fieldsJson == b.fieldsJson;
}

// A call path the rule names: each "*" stands for one segment, here "x".
std::string PathNamedBy(const FaultRule& rule) {
    std::string path;
    for (const std::string& segment : rule.pathSegments) {
        path += "/" + (segment == "*" ? std::string("x") : segment);
    }
    return path;
}

void CheckOneRule(std::string_view text) {
    Kolm::Host::FaultRuleParse first = Kolm::Host::ParseFaultRule(text);
    if (!first.rule) {
        if (first.error.empty()) {
            Fail("a refused rule without a message", std::string(text));
        }
        return;
    }
    FaultRule& rule = *first.rule;
    if (!rule.id.empty()) {
        Fail("a parsed rule has an id", rule.id);
    }
    rule.id = "7";
    const std::string listed = rule.ToJson();
    Kolm::Host::FaultRuleParse second = Kolm::Host::ParseFaultRule(listed);
    if (!second.rule) {
        Fail("a listed rule does not read back:", second.error + "\n" + listed);
    }
    second.rule->id = rule.id;
    if (!SameRule(rule, *second.rule) || second.rule->ToJson() != listed) {
        Fail("a listed rule reads back as another rule:", listed + "\n" + second.rule->ToJson());
    }
    if (!rule.Matches(rule.service, rule.method.value_or("GET"), PathNamedBy(rule))) {
        Fail("a rule does not match the path it names:", listed);
    }
}

void CheckRuleArray(std::string_view text) {
    Kolm::Host::FaultRules rules;
    const std::string error = rules.AddAll(text);
    if (!error.empty()) {
        if (!rules.List().empty()) {
            Fail("a refused array added rules:", error);
        }
        return;
    }
    const std::string listed = rules.ListJson();
    Kolm::Host::FaultRules again;
    const std::string againError = again.AddAll(listed);
    if (!againError.empty()) {
        Fail("listed rules do not read back:", againError + "\n" + listed);
    }
    if (again.ListJson() != listed) {
        Fail("listed rules read back as other rules:", listed + "\n" + again.ListJson());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        CheckRuleArray(text);
    } else {
        CheckOneRule(text);
    }
    return 0;
}
