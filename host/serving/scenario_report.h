// What a scenario's run says of itself, described once: the runner writes its reports and
// events from these records, and the OpenAPI document's ScenarioRun schema comes from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/documents/record_map.h"
#include "host/serving/scenario_records.h"

namespace Kolm::Host {

// The most of a step's answer body that its report keeps.
constexpr std::size_t kScenarioResultBodyBytes = 4096;

// The states' names, in the order of ScenarioRunner's RunState and StepState.
inline constexpr const char* kScenarioRunStates[] = {"running", "passed", "failed", "stopped"};
inline constexpr const char* kScenarioStepStates[] = {"pending", "running", "passed", "failed",
                                                      "skipped"};

struct ScenarioStepReport {
    uint64_t index = 0;
    std::string action;
    std::string request;  // "METHOD target"
    std::string state;
    std::optional<int64_t> startMs;  // once the step started
    std::optional<int64_t> endMs;    // once it ended, with its status and body or error
    std::optional<int32_t> status;
    std::optional<std::string> body;
    std::optional<std::string> error;
};

struct ScenarioReport {
    std::string id;
    std::string name;
    std::string state;
    int64_t startedAt = 0;
    uint64_t stepCount = 0;
    std::optional<std::vector<ScenarioStepReport>> steps;  // none in a summary
};

// The data of the event of a step's start or end.
struct ScenarioStepEvent {
    std::string scenario;
    std::string name;
    ScenarioStepReport step;
};

template <>
struct RecordMap<ScenarioReport> {
    static constexpr const char* kName = "ScenarioRun";
    static constexpr const char* kDescription =
        "A scenario started: its state and, except in the list of scenarios, each step's";
    template <class Io>
    static void Map(Io& io, ScenarioReport& run) {
        io.Required("id", run.id);
        io.Required("name", run.name);
        io.Required("state", run.state, Rules().Choices(kScenarioRunStates));
        io.Required("startedAt", run.startedAt, Rules().Describe("ms since 1970"));
        io.Required("stepCount", run.stepCount);
        io.Optional("steps", run.steps);
    }
};

template <>
struct RecordMap<ScenarioStepReport> {
    template <class Io>
    static void Map(Io& io, ScenarioStepReport& step) {
        io.Required("index", step.index);
        io.Required("action", step.action, Rules().Choices(kScenarioActionNames));
        io.Required("request", step.request, Rules().Describe("the host request, METHOD target"));
        io.Required("state", step.state, Rules().Choices(kScenarioStepStates));
        io.Optional("startMs", step.startMs, Rules().Describe("from the scenario's start"));
        io.Optional("endMs", step.endMs);
        io.Optional("status", step.status,
                    Rules().Describe("the answer's status (0: no request was sent); 400 and "
                                     "above fail the step"));
        static_assert(kScenarioResultBodyBytes == 4096, "the body's description names its bound");
        io.Optional("body", step.body, Rules().Describe("the answer, at most 4096 bytes"));
        io.Optional("error", step.error, Rules().Describe("why no request was sent"));
    }
};

template <>
struct RecordMap<ScenarioStepEvent> {
    template <class Io>
    static void Map(Io& io, ScenarioStepEvent& event) {
        io.Required("scenario", event.scenario);
        io.Required("name", event.name);
        io.Required("step", event.step);
    }
};

}  // namespace Kolm::Host
