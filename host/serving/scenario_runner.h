// ScenarioRunner: one scenario played on a thread of its own. Each step waits for its time,
// sends its request through the issuer (the host's own request handling in the program, a
// recorder in tests), and is passed when the answer's status is below 400. The first failed
// step ends the run unless it says continueOnFailure. Stop lets the running step finish and
// skips the rest; the destructor stops and joins.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/serving/http/http_message.h"
#include "host/serving/scenario_document.h"
#include "host/serving/scenario_report.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class ScenarioRunner {
  public:
    using Issuer = std::function<HttpResponse(const HttpRequest&)>;
    // Called with each step's start and end, and the run's end: an event's JSON and its uri
    // (/zun-clubs-host/v1/scenarios/<id>).
    using Publisher = std::function<void(const std::string& json, const std::string& uri)>;

    enum class StepState { Pending, Running, Passed, Failed, Skipped };
    enum class RunState { Running, Passed, Failed, Stopped };

    ScenarioRunner(std::string id, Scenario scenario, Issuer issue, Publisher publish);
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    void Start();
    // Asks the run to end after the running step; returns at once.
    void Stop();
    void Join();

    const std::string& Id() const { return id_; }
    bool Finished() const;
    // {"id", "name", "state", "startedAt", "steps": [{"index", "action", "state", "startMs",
    // "endMs", "status", "body" | "error"}]}; Summary leaves out the steps.
    std::string Json() const;
    std::string SummaryJson() const;

  private:
    struct StepRecord {
        StepState state = StepState::Pending;
        int64_t startMs = -1;  // from the run's start; -1 until it starts
        int64_t endMs = -1;
        std::string request;  // "METHOD target" as sent, once sent
        int status = 0;       // 0: no answer (the request could not be made)
        std::string body;     // the answer, cut to kScenarioResultBodyBytes
        std::string error;    // why no request was sent
    };

    void Run();
    // Waits until `deadline`; false when stopped first.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    // Runs step `index`; whether it passed.
    bool RunStep(std::size_t index, std::vector<std::string>& addedRuleIds);
    int64_t SinceStart(std::chrono::steady_clock::time_point when) const;
    ScenarioStepReport StepReport(std::size_t index) const ZC_REQUIRES(mutex_);
    ScenarioReport Report(bool withSteps) const ZC_REQUIRES(mutex_);
    void PublishStep(std::size_t index);
    void Publish(const std::string& data);
    std::string Uri() const { return "/zun-clubs-host/v1/scenarios/" + id_; }

    const std::string id_;
    const Scenario scenario_;
    const Issuer issue_;
    const Publisher publish_;
    const int64_t startedAtMs_;  // wall-clock milliseconds since 1970, for the record
    std::chrono::steady_clock::time_point start_;

    mutable Kolm::Platform::Mutex mutex_;
    Kolm::Platform::CondVar changed_;
    bool stopping_ ZC_GUARDED_BY(mutex_) = false;
    RunState state_ ZC_GUARDED_BY(mutex_) = RunState::Running;
    std::vector<StepRecord> steps_ ZC_GUARDED_BY(mutex_);
    std::thread thread_;
};

}  // namespace Kolm::Host
