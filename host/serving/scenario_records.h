// The scenario document as it is laid out, described once: the reader and the OpenAPI schema
// of a scenario come from the maps below, and scenario_document.cpp turns each step read into
// the host request it sends. A fault rule and a world are kept as the JSON given, for the
// host's own paths to read when the step runs, as a tester's call of those paths would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

#include "host/documents/record_map.h"
#include "host/serving/clock_endpoints.h"
#include "host/serving/scenario_document.h"

namespace Kolm::Host {

class DocumentReader;
class Where;
class SchemaWriter;

// The document's names of the actions, in the order of ScenarioAction.
inline constexpr const char* kScenarioActionNames[] = {"actAs",        "addFault",   "removeFault",
                                                       "replaceWorld", "resetWorld", "advanceClock",
                                                       "logout",       "login",      "waitFor"};
static_assert(std::size(kScenarioActionNames) ==
                  static_cast<std::size_t>(ScenarioAction::WaitFor) + 1,
              "a name for every action");

inline constexpr const char* kScenarioMethods[] = {"GET", "POST", "PUT", "DELETE"};

// What a removeFault {"addedBy"} must name, as its reader and the scenario's Finish say it.
inline constexpr const char* kScenarioAddedByRule =
    "must be the index of an addFault step before this one";

struct ScenarioActAsText {
    uint64_t player = 0;
    std::string method = "GET";
    std::string path;
    std::optional<RawJson> body;
};

struct ScenarioWaitForText {
    std::optional<std::string> service;
    std::optional<std::string> method;
    std::optional<std::string> path;
    uint64_t count = 1;
    uint64_t timeoutMs = 5000;
};

// removeFault {"addedBy": <step index>}: the rule an earlier addFault step added.
struct ScenarioRuleOfStep {
    uint64_t addedBy = 0;
};

// removeFault's value: "all", a rule's id, or the rule of an earlier step.
struct ScenarioFaultRemoval {
    std::string id;
    std::optional<ScenarioRuleOfStep> ofStep;
};

// The value of resetWorld, logout and login, which say only "true".
struct ScenarioYes {};

// A fault rule as given; `seeded` when it gives its own seed.
struct ScenarioFaultRuleJson {
    RawJson rule;
    bool seeded = false;
};

// A world as given, read once already so that a scenario with a wrong world does not start.
struct ScenarioWorldJson {
    RawJson world;
};

struct ScenarioStepText {
    std::optional<uint64_t> atMs;
    std::optional<uint64_t> afterMs;
    bool continueOnFailure = false;
    std::optional<ScenarioActAsText> actAs;
    std::optional<ScenarioFaultRuleJson> addFault;
    std::optional<ScenarioFaultRemoval> removeFault;
    std::optional<ScenarioWorldJson> replaceWorld;
    std::optional<ScenarioYes> resetWorld;
    std::optional<uint64_t> advanceClock;
    std::optional<ScenarioYes> logout;
    std::optional<ScenarioYes> login;
    std::optional<ScenarioWaitForText> waitFor;
};

struct ScenarioText {
    std::string name;
    std::optional<uint64_t> seed;
    std::vector<ScenarioStepText> steps;
};

template <>
struct RecordMap<ScenarioText> {
    static constexpr const char* kName = "Scenario";
    static constexpr const char* kNoun = "a scenario";
    static constexpr const char* kDescription =
        "A story told to the host as a timed list of steps, each one request to its own paths";
    template <class Io>
    static void Map(Io& io, ScenarioText& scenario) {
        io.Optional("name", scenario.name,
                    Rules()
                        .Describe("at most 200 bytes")
                        .Rule("must be a text of at most 200 bytes")
                        .Accepts([](std::string_view name) { return name.size() <= 200; }));
        io.Optional("seed", scenario.seed,
                    Rules().Describe("given to every fault rule the scenario adds without a seed"));
        io.Required("steps", scenario.steps,
                    Rules().Range(1, kMaxScenarioSteps).Rule("must be an array of 1 to 500 steps"));
    }
    static std::optional<FieldProblem> Finish(ScenarioText& scenario);
};
static_assert(kMaxScenarioSteps == 500, "the steps' rule names their bound");

template <>
struct RecordMap<ScenarioStepText> {
    static constexpr const char* kName = "ScenarioStep";
    static constexpr const char* kNoun = "a step";
    static constexpr const char* kDescription = "One time (atMs or afterMs) and exactly one action";
    template <class Io>
    static void Map(Io& io, ScenarioStepText& step) {
        const FieldRules ms = Rules().Max(kMaxScenarioMs).Unit("milliseconds");
        io.Optional("atMs", step.atMs, ms.Describe("from the scenario's start"));
        io.Optional("afterMs", step.afterMs, ms.Describe("from the end of the step before"));
        io.Optional("continueOnFailure", step.continueOnFailure, false,
                    Rules().Describe("run the steps after this one even when it fails"));
        io.Optional("actAs", step.actAs);
        io.Optional("addFault", step.addFault);
        io.Optional("removeFault", step.removeFault);
        io.Optional("replaceWorld", step.replaceWorld);
        io.Optional("resetWorld", step.resetWorld);
        // As far as the clock itself moves in one step: a scenario skips days, not only the
        // hour its own steps may span.
        io.Optional("advanceClock", step.advanceClock,
                    Rules().Range(1, kMaxClockAdvanceMs).Unit("milliseconds"));
        io.Optional("logout", step.logout);
        io.Optional("login", step.login);
        io.Optional("waitFor", step.waitFor);
    }
    static std::optional<FieldProblem> Finish(ScenarioStepText& step);
};

template <>
struct RecordMap<ScenarioActAsText> {
    static constexpr const char* kNoun = "this action";
    static constexpr const char* kDescription = "A call of the clubs web service as a player";
    template <class Io>
    static void Map(Io& io, ScenarioActAsText& act) {
        io.Required("player", act.player,
                    Rules().Min(1).Rule("must be a player's account id (a whole number above 0)"));
        io.Optional("method", act.method, "GET",
                    Rules().Choices(kScenarioMethods).Rule("must be GET, POST, PUT or DELETE"));
        io.Required("path", act.path,
                    Rules()
                        .Describe("a clubs web-service path, /v1/...")
                        .Rule("must be a path of the clubs web service, starting with /v1/ "
                              "(/v1/clubs/club-1/motd)")
                        .Accepts([](std::string_view path) { return path.starts_with("/v1/"); }));
        io.Optional("body", act.body,
                    Rules().Describe("a text is sent as it is, anything else as JSON"));
    }
    static std::optional<FieldProblem> Finish(ScenarioActAsText& act);
};

template <>
struct RecordMap<ScenarioWaitForText> {
    static constexpr const char* kNoun = "this action";
    static constexpr const char* kDescription =
        "Wait until the request journal holds count matching calls";
    template <class Io>
    static void Map(Io& io, ScenarioWaitForText& wait) {
        const FieldRules text =
            Rules().Accepts([](std::string_view given) { return !given.empty(); });
        io.Optional("service", wait.service, text);
        io.Optional("method", wait.method, text);
        io.Optional("path", wait.path, text.Describe("a path pattern; * stands for one segment"));
        io.Optional("count", wait.count, uint64_t{1}, Rules().Range(1, kMaxScenarioWaitCount));
        io.Optional("timeoutMs", wait.timeoutMs, uint64_t{5000},
                    Rules().Max(kMaxScenarioWaitMs).Unit("milliseconds"));
    }
};

template <>
struct RecordMap<ScenarioRuleOfStep> {
    static constexpr const char* kNoun = "this action";
    template <class Io>
    static void Map(Io& io, ScenarioRuleOfStep& rule) {
        io.Required("addedBy", rule.addedBy,
                    Rules().Describe("the index of an addFault step").Rule(kScenarioAddedByRule));
    }
};

template <class Writer, class T>
void WriteValue(Writer& w, const T& value);

// The values that are not records of named fields read, write and describe themselves.
template <>
struct ValueMap<ScenarioFaultRemoval> {
    static void Read(const rapidjson::Value& json,
                     ScenarioFaultRemoval& removal,
                     const Where& where,
                     DocumentReader& reader);
    static void Describe(SchemaWriter& schema);
    template <class Writer>
    static void Write(Writer& w, const ScenarioFaultRemoval& removal) {
        if (removal.ofStep) {
            WriteValue(w, *removal.ofStep);
        } else {
            w.String(removal.id.c_str(), static_cast<rapidjson::SizeType>(removal.id.size()));
        }
    }
};

template <>
struct ValueMap<ScenarioYes> {
    static void Read(const rapidjson::Value& json,
                     ScenarioYes& yes,
                     const Where& where,
                     DocumentReader& reader);
    static void Describe(SchemaWriter& schema);
    template <class Writer>
    static void Write(Writer& w, const ScenarioYes&) {
        w.Bool(true);
    }
};

template <>
struct ValueMap<ScenarioFaultRuleJson> {
    static void Read(const rapidjson::Value& json,
                     ScenarioFaultRuleJson& rule,
                     const Where& where,
                     DocumentReader& reader);
    static void Describe(SchemaWriter& schema);
    template <class Writer>
    static void Write(Writer& w, const ScenarioFaultRuleJson& rule) {
        WriteValue(w, rule.rule);
    }
};

template <>
struct ValueMap<ScenarioWorldJson> {
    static void Read(const rapidjson::Value& json,
                     ScenarioWorldJson& world,
                     const Where& where,
                     DocumentReader& reader);
    static void Describe(SchemaWriter& schema);
    template <class Writer>
    static void Write(Writer& w, const ScenarioWorldJson& world) {
        WriteValue(w, world.world);
    }
};

}  // namespace Kolm::Host
