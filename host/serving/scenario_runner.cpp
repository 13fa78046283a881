#include "host/serving/scenario_runner.h"

#include <rapidjson/document.h>

#include <utility>

namespace Kolm::Host {
namespace {

const char* StepStateName(ScenarioRunner::StepState state) {
    switch (state) {
        case ScenarioRunner::StepState::Pending:
            return "pending";
        case ScenarioRunner::StepState::Running:
            return "running";
        case ScenarioRunner::StepState::Passed:
            return "passed";
        case ScenarioRunner::StepState::Failed:
            return "failed";
        case ScenarioRunner::StepState::Skipped:
            return "skipped";
    }
    return "";
}

const char* RunStateName(ScenarioRunner::RunState state) {
    switch (state) {
        case ScenarioRunner::RunState::Running:
            return "running";
        case ScenarioRunner::RunState::Passed:
            return "passed";
        case ScenarioRunner::RunState::Failed:
            return "failed";
        case ScenarioRunner::RunState::Stopped:
            return "stopped";
    }
    return "";
}

// The "id" of a fault rule as the host answers its addition, "" when there is none.
std::string RuleIdOf(const std::string& answer) {
    rapidjson::Document rule;
    rule.Parse(answer.data(), answer.size());
    return rule.IsObject() && rule.HasMember("id") && rule["id"].IsString()
               ? std::string(rule["id"].GetString(), rule["id"].GetStringLength())
               : std::string();
}

int64_t WallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::string id, Scenario scenario, Issuer issue, Publisher publish)
    : id_(std::move(id)),
      scenario_(std::move(scenario)),
      issue_(std::move(issue)),
      publish_(std::move(publish)),
      startedAtMs_(WallClockMs()),
      start_(std::chrono::steady_clock::now()) {
    Kolm::Platform::MutexLock lock(mutex_);
    steps_.resize(scenario_.steps.size());
}

ScenarioRunner::~ScenarioRunner() {
    Stop();
    Join();
}

void ScenarioRunner::Start() {
    start_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] { Run(); });
}

void ScenarioRunner::Stop() {
    Kolm::Platform::MutexLock lock(mutex_);
    stopping_ = true;
    changed_.NotifyAll();
}

void ScenarioRunner::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ScenarioRunner::Finished() const {
    Kolm::Platform::MutexLock lock(mutex_);
    return state_ != RunState::Running;
}

int64_t ScenarioRunner::SinceStart(std::chrono::steady_clock::time_point when) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(when - start_).count();
}

bool ScenarioRunner::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    Kolm::Platform::MutexLock lock(mutex_);
    changed_.WaitUntil(mutex_, deadline,
                       [this]() ZC_NO_THREAD_SAFETY_ANALYSIS { return stopping_; });
    return !stopping_;
}

void ScenarioRunner::Run() {
    std::vector<std::string> addedRuleIds(scenario_.steps.size());
    auto previousEnd = start_;
    bool failed = false;
    std::size_t next = 0;
    for (; next < scenario_.steps.size(); ++next) {
        const ScenarioStep& step = scenario_.steps[next];
        const auto due = step.timing == ScenarioStep::Timing::At
                             ? start_ + std::chrono::milliseconds(step.ms)
                             : previousEnd + std::chrono::milliseconds(step.ms);
        if (!WaitUntil(due)) {
            break;
        }
        const bool passed = RunStep(next, addedRuleIds);
        previousEnd = std::chrono::steady_clock::now();
        failed = failed || !passed;
        if (!passed && !step.continueOnFailure) {
            ++next;
            break;
        }
    }
    {
        Kolm::Platform::MutexLock lock(mutex_);
        for (std::size_t i = next; i < steps_.size(); ++i) {
            steps_[i].state = StepState::Skipped;
        }
        state_ = failed ? RunState::Failed : stopping_ ? RunState::Stopped : RunState::Passed;
        changed_.NotifyAll();
    }
    if (publish_) {
        std::string head;
        {
            Kolm::Platform::MutexLock lock(mutex_);
            head = HeadJson();
        }
        Publish(head);
    }
}

bool ScenarioRunner::RunStep(std::size_t index, std::vector<std::string>& addedRuleIds) {
    {
        Kolm::Platform::MutexLock lock(mutex_);
        steps_[index].state = StepState::Running;
        steps_[index].startMs = SinceStart(std::chrono::steady_clock::now());
    }
    PublishStep(index);
    const ScenarioStep& step = scenario_.steps[index];
    std::string error;
    const std::optional<HttpRequest> request = ScenarioStepRequest(step, addedRuleIds, &error);
    HttpResponse answer;
    if (request) {
        answer = issue_(*request);
        if (step.action == ScenarioAction::AddFault && answer.status < 400) {
            addedRuleIds[index] = RuleIdOf(answer.body);
        }
    }
    const bool passed = request && answer.status < 400;
    {
        Kolm::Platform::MutexLock lock(mutex_);
        StepRecord& record = steps_[index];
        record.endMs = SinceStart(std::chrono::steady_clock::now());
        record.state = passed ? StepState::Passed : StepState::Failed;
        record.status = request ? answer.status : 0;
        record.request = request ? request->method + " " + request->target : std::string();
        record.body = answer.body.substr(0, kScenarioResultBodyBytes);
        record.error = error;
    }
    PublishStep(index);
    return passed;
}

void ScenarioRunner::PublishStep(std::size_t index) {
    if (!publish_) {
        return;
    }
    std::string data;
    {
        Kolm::Platform::MutexLock lock(mutex_);
        data = "{\"scenario\":" + JsonQuote(id_) + ",\"name\":" + JsonQuote(scenario_.name) +
               ",\"step\":" + StepJson(index) + "}";
    }
    Publish(data);
}

void ScenarioRunner::Publish(const std::string& data) {
    publish_("{\"data\":" + data + ",\"eventType\":\"Update\",\"uri\":" + JsonQuote(Uri()) + "}",
             Uri());
}

std::string ScenarioRunner::StepJson(std::size_t index) const {
    const StepRecord& record = steps_[index];
    const ScenarioStep& step = scenario_.steps[index];
    std::string json =
        "{\"index\":" + std::to_string(index) +
        ",\"action\":" + JsonQuote(ScenarioActionName(step.action)) + ",\"request\":" +
        JsonQuote(record.request.empty() ? step.request.method + " " + step.request.target
                                         : record.request) +
        ",\"state\":" + JsonQuote(StepStateName(record.state));
    if (record.startMs >= 0) {
        json += ",\"startMs\":" + std::to_string(record.startMs);
    }
    if (record.endMs >= 0) {
        json += ",\"endMs\":" + std::to_string(record.endMs) +
                ",\"status\":" + std::to_string(record.status);
        json += record.error.empty() ? ",\"body\":" + JsonQuote(record.body)
                                     : ",\"error\":" + JsonQuote(record.error);
    }
    return json + "}";
}

std::string ScenarioRunner::HeadJson() const {
    return "{\"id\":" + JsonQuote(id_) + ",\"name\":" + JsonQuote(scenario_.name) +
           ",\"state\":" + JsonQuote(RunStateName(state_)) +
           ",\"startedAt\":" + std::to_string(startedAtMs_) +
           ",\"stepCount\":" + std::to_string(steps_.size()) + "}";
}

std::string ScenarioRunner::SummaryJson() const {
    Kolm::Platform::MutexLock lock(mutex_);
    return HeadJson();
}

std::string ScenarioRunner::Json() const {
    Kolm::Platform::MutexLock lock(mutex_);
    std::string json = HeadJson();
    json.pop_back();
    json += ",\"steps\":[";
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        json += (i == 0 ? "" : ",") + StepJson(i);
    }
    return json + "]}";
}

}  // namespace Kolm::Host
