// FaultRule: one rule that makes an emulated service fail. It names the service ("clubs" for the
// clubs web service, or one of the simulated platform plugins), optionally the method, and a
// path pattern in which "*" stands for exactly one segment; its effect is an answer (`status`
// with an optional JSON `body`), no answer at all (`transportFailure`), a delay (`latencyMs`),
// or a delay followed by one of the others. `probability` (with `seed` for repeatable runs) and
// `times` limit which matching calls it affects.
//
// The rule's document is described once, by RecordMap<FaultRule> below: its reader and its
// OpenAPI schema come from that description. A rule keeps the JSON fields it was given, so that
// listing the rules shows them as written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

#include "host/documents/record_map.h"

namespace Kolm::Host {

struct FaultRule {
    std::string id;
    std::string service;
    std::optional<std::string> method;  // none: any method
    std::string path;                   // the pattern as given
    std::optional<uint32_t> status;
    std::optional<RawJson> body;  // compact JSON, answered with the status
    bool transportFailure = false;
    uint32_t latencyMs = 0;
    double probability = 1.0;
    std::optional<uint64_t> seed;
    std::optional<uint64_t> times;
    std::vector<std::string> pathSegments;  // `path` split at "/", made when the rule is read
    std::string fieldsJson;                 // the given object without "id", compact

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
// A path pattern as rules give it: it starts with "/" and has no query.
bool IsFaultPathPattern(std::string_view text);

// A service a rule may name, with the path prefix of the plugin's calls to it (none for the
// clubs web service, whose calls go to the service's own address).
struct FaultService {
    const char* name;
    const char* callPrefix;
};

// The one list every text about the services is made from, in the order they are listed.
inline constexpr FaultService kFaultServices[] = {
    {"clubs", nullptr},
    {"login", "/zun-login"},
    {"platform-config", "/zun-platform-config"},
    {"summoner", "/zun-summoner"},
    {"chat", "/zun-chat"},
    {"player-notifications", "/player-notifications"},
    {"messaging", "/kolm-messaging-service"},
};

inline constexpr auto kFaultServiceNames = [] {
    std::array<const char*, std::size(kFaultServices)> names{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = kFaultServices[i].name;
    }
    return names;
}();

// The service a simulated plugin's call goes to ("/zun-chat/v1/..." is "chat"); "" for none.
std::string_view FaultServiceOfCall(std::string_view path);

template <>
struct RecordMap<FaultRule> {
    static constexpr const char* kName = "FaultRule";
    static constexpr const char* kNoun = "a fault rule";
    static constexpr const char* kDescription =
        "Makes matching calls of an emulated service fail: an answer (status, with an optional "
        "body), no answer at all (transportFailure), a delay (latencyMs), or a delay and one of "
        "the others.";
    template <class Io>
    static void Map(Io& io, FaultRule& rule) {
        io.Optional("id", rule.id, Rules().ReadOnly().Describe("given by the host"));
        io.Required("service", rule.service, Rules().Choices(kFaultServiceNames));
        io.Optional("method", rule.method,
                    Rules()
                        .Accepts(IsHttpMethodName)
                        .Rule("must be an HTTP method in capitals, such as \"PUT\"")
                        .Describe("any method when absent"));
        io.Required("path", rule.path,
                    Rules()
                        .Accepts(IsFaultPathPattern)
                        .Rule("must be a path pattern starting with \"/\", \"*\" for a "
                              "segment; leave the query out")
                        .Describe("a path pattern; * stands for one segment"));
        io.Optional("status", rule.status,
                    Rules().Range(100, 599).Rule("must be an HTTP status from 100 to 599"));
        io.Optional("body", rule.body, Rules().Describe("any JSON, answered with the status"));
        io.Optional("transportFailure", rule.transportFailure, false,
                    Rules().Describe("no answer at all"));
        io.Optional("latencyMs", rule.latencyMs, 0u,
                    Rules()
                        .Range(0, 120000)
                        .Unit("milliseconds")
                        .Describe("a delay before the effect, or before the normal answer"));
        io.Optional("probability", rule.probability, 1.0,
                    Rules().Range(0, 1).Describe("the chance that a matching call is affected"));
        io.Optional("seed", rule.seed,
                    Rules()
                        .Rule("must be a whole number from 0 to 2^64-1")
                        .Describe("repeats which calls a probability below 1 affects"));
        io.Optional("times", rule.times,
                    Rules().Min(1).Describe("how many calls it affects before it is removed"));
    }
    // The rules across fields (a body needs a status; an answer or a transport failure, not
    // both; some effect), and the path's segments.
    static std::optional<FieldProblem> Finish(FaultRule& rule);
};

// Reads one rule from a parsed JSON value; the id is left empty (an "id" given is ignored, so
// that a listed rule can be posted again).
FaultRuleParse ReadFaultRule(const rapidjson::Value& value);
// The same from JSON text.
FaultRuleParse ParseFaultRule(std::string_view json);

}  // namespace Kolm::Host
