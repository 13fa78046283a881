// FaultRule: one rule that makes an emulated service fail. It names the service ("clubs" for the
// clubs web service, or one of the simulated platform plugins), optionally the method, and a
// path pattern in which "*" stands for exactly one segment; its effect is an answer (`status`
// with an optional JSON `body`), no answer at all (`transportFailure`), a delay (`latencyMs`),
// or a delay followed by one of the others. `probability` (with `seed` for repeatable runs) and
// `times` limit which matching calls it affects.
//
// A rule keeps the JSON fields it was given, so that listing the rules shows them as written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

namespace Kolm::Host {

struct FaultRule {
    std::string id;
    std::string service;
    std::optional<std::string> method;  // none: any method
    std::vector<std::string> pathSegments;
    std::optional<uint32_t> status;
    std::string bodyJson;  // compact JSON; empty: no body
    bool transportFailure = false;
    uint32_t latencyMs = 0;
    double probability = 1.0;
    std::optional<uint64_t> seed;
    std::optional<uint64_t> times;
    std::string fieldsJson;  // the given object without "id", compact

    // True when the rule is about this call; `path` excludes the query.
    bool Matches(std::string_view service, std::string_view method, std::string_view path) const;
    // The rule as listed: {"id": ..., then the fields as given}.
    std::string ToJson() const;
};

struct FaultRuleParse {
    std::optional<FaultRule> rule;  // none: `error` says what is wrong
    std::string error;
};

// A path pattern as rules write it, split at "/" ("*" stands for exactly one segment).
std::vector<std::string> PathPatternSegments(std::string_view pattern);
// True when `path` (without the query) has as many segments as the pattern and each matches.
bool PathMatchesPattern(const std::vector<std::string>& pattern, std::string_view path);
// A method as rules name it: 1 to 16 upper-case letters ("PUT", "PATCH").
bool IsHttpMethodName(std::string_view text);

// The services a rule may name, in the order the error message lists them.
const std::vector<std::string>& FaultServices();

// Reads one rule from a parsed JSON value; the id is left empty (an "id" given is ignored, so
// that a listed rule can be posted again).
FaultRuleParse ReadFaultRule(const rapidjson::Value& value);
// The same from JSON text.
FaultRuleParse ParseFaultRule(std::string_view json);

}  // namespace Kolm::Host
