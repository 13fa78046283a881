// The scenario document: a story told to the host as a timed list of steps, in JSON (or YAML,
// read as its JSON). Its fields are described once in scenario_records.h:
//
//   {"name": "an invitation, then a promotion",
//    "seed": 7,                      given to every fault rule added without one
//    "steps": [
//      {"atMs": 0,     "actAs": {"player": 1002, "method": "POST",
//                                "path": "/v1/clubs/club-2/invites",
//                                "body": {"inviteeSummonerId": 2005}}},
//      {"afterMs": 2000, "addFault": {"service": "clubs", "path": "/v1/clubs/*/motd",
//                                     "status": 503, "times": 2}},
//      {"afterMs": 0,  "removeFault": "all", "continueOnFailure": true}]}
//
// Every step has one time, "atMs" (from the scenario's start) or "afterMs" (from the end of
// the step before), and exactly one action. Each action is one request to the host's own
// paths, so that a step does exactly what a tester's call of that path does:
//   actAs {player, method, path, body}  the clubs web service as that account
//   addFault {rule}                     POST   /zun-clubs-host/v1/faults
//   removeFault "all" | "<id>" | {"addedBy": <step index>}
//                                       DELETE /zun-clubs-host/v1/faults[/<id>]
//   replaceWorld {world}                PUT    /zun-clubs-host/v1/world
//   resetWorld true                     POST   /zun-clubs-host/v1/world/reset
//   advanceClock <ms>                   POST   /zun-clubs-host/v1/clock/advance {"ms": <ms>}
//   logout true / login true            DELETE /zun-login/v1/session, POST .../session/login
//   waitFor {service, method, path, count, timeoutMs}
//                                       GET    /zun-clubs-host/v1/requests/wait?...
// A problem is named by its place, as the world reader names it:
// "steps[2].atMs: must be a whole number of milliseconds from 0 to 3600000".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/serving/http/http_message.h"

namespace Kolm::Host {

// Bounds of one document: the steps it may hold, the latest time a step may give, the
// longest a waitFor step may wait and the bytes of the document.
constexpr std::size_t kMaxScenarioSteps = 500;
constexpr uint64_t kMaxScenarioMs = 3600000;
constexpr uint64_t kMaxScenarioWaitMs = 60000;
constexpr uint64_t kMaxScenarioWaitCount = 10000;
constexpr std::size_t kMaxScenarioBytes = 1024 * 1024;

enum class ScenarioAction {
    ActAs,
    AddFault,
    RemoveFault,
    ReplaceWorld,
    ResetWorld,
    AdvanceClock,
    Logout,
    Login,
    WaitFor,
};

// The document's name of an action ("actAs").
const char* ScenarioActionName(ScenarioAction action);

struct ScenarioStep {
    enum class Timing { At, After };
    Timing timing = Timing::After;
    uint64_t ms = 0;  // from the start (At) or from the previous step's end (After)
    ScenarioAction action = ScenarioAction::ActAs;
    bool continueOnFailure = false;
    // The host request the step sends. A removeFault of the rule another step added has its
    // target completed when it runs (see ScenarioStepRequest).
    HttpRequest request;
    // For removeFault {"addedBy": n}: the index of the addFault step whose rule goes.
    std::optional<std::size_t> removesRuleOfStep;
};

struct Scenario {
    std::string name;
    std::optional<uint64_t> seed;
    std::vector<ScenarioStep> steps;
};

struct ScenarioParse {
    std::optional<Scenario> scenario;  // none: `error` says what is wrong and where
    std::string error;
};

enum class ScenarioFormat { Json, Yaml };

ScenarioParse ParseScenario(std::string_view text, ScenarioFormat format = ScenarioFormat::Json);
// ".yaml" and ".yml" are YAML, everything else JSON.
ScenarioFormat ScenarioFormatOfFile(std::string_view fileName);

// The request `step` sends, given the ids of the rules that earlier addFault steps added
// (by step index, "" where none was added). Nothing when it removes a rule that was never
// added; `error` then says so.
std::optional<HttpRequest> ScenarioStepRequest(const ScenarioStep& step,
                                               const std::vector<std::string>& addedRuleIds,
                                               std::string* error);

}  // namespace Kolm::Host
