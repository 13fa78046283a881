// The host's scenario paths over the scenarios it runs and remembers:
//   POST   /zun-clubs-host/v1/scenarios        a scenario document (JSON, or YAML with
//                                              Content-Type application/x-yaml or text/yaml);
//                                              it starts now, 201 with its record and "id"
//   GET    /zun-clubs-host/v1/scenarios        200, every scenario's summary, oldest first
//   GET    /zun-clubs-host/v1/scenarios/<id>   200, the scenario with each step's state
//   DELETE /zun-clubs-host/v1/scenarios/<id>   202, the running step finishes and the rest
//                                              are skipped; 404 when no scenario has that id
// A document that cannot be read is answered 400 naming the step and field. At most
// kMaxRunningScenarios run at once (409 past that); of the finished ones the latest
// kMaxKeptScenarios are remembered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "host/serving/http/http_message.h"
#include "host/serving/scenario_runner.h"
#include "platform/mutex.h"

namespace Kolm::Host {

constexpr std::size_t kMaxRunningScenarios = 16;
constexpr std::size_t kMaxKeptScenarios = 64;

class ScenarioRuns {
  public:
    ScenarioRuns(ScenarioRunner::Issuer issue, ScenarioRunner::Publisher publish);
    ~ScenarioRuns();
    ScenarioRuns(const ScenarioRuns&) = delete;
    ScenarioRuns& operator=(const ScenarioRuns&) = delete;

    // `rest` is the path after "/zun-clubs-host/v1/scenarios" ("" or "/<id>").
    HttpResponse Handle(const HttpRequest& request, std::string_view rest);

    // Starts `scenario`; its record as POST answers it, or a refusal when too many run.
    HttpResponse Start(Scenario scenario);
    // Stops every run and waits for each running step to finish; no run starts after.
    void StopAll();

  private:
    HttpResponse Remove(const std::string& id);
    // Drops the oldest finished runs beyond kMaxKeptScenarios.
    void Forget() ZC_REQUIRES(mutex_);

    const ScenarioRunner::Issuer issue_;
    const ScenarioRunner::Publisher publish_;
    Kolm::Platform::Mutex mutex_;
    bool stopped_ ZC_GUARDED_BY(mutex_) = false;
    uint64_t nextId_ ZC_GUARDED_BY(mutex_) = 1;
    // By id number, so oldest first.
    std::map<uint64_t, std::unique_ptr<ScenarioRunner>> runs_ ZC_GUARDED_BY(mutex_);
};

}  // namespace Kolm::Host
