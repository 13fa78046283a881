#include "host/serving/scenario_runner.h"

#include <rapidjson/document.h>

#include <iterator>
#include <utility>

#include "host/documents/record_writer.h"
#include "host/serving/record_text.h"

namespace Kolm::Host {
namespace {

static_assert(std::size(kScenarioStepStates) ==
                  static_cast<std::size_t>(ScenarioRunner::StepState::Skipped) + 1,
              "a name for every step state");
static_assert(std::size(kScenarioRunStates) ==
                  static_cast<std::size_t>(ScenarioRunner::RunState::Stopped) + 1,
              "a name for every run state");

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
            head = RecordText(Report(false));
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
        data = RecordText(ScenarioStepEvent{id_, scenario_.name, StepReport(index)});
    }
    Publish(data);
}

void ScenarioRunner::Publish(const std::string& data) {
    publish_("{\"data\":" + data + ",\"eventType\":\"Update\",\"uri\":" + JsonQuote(Uri()) + "}",
             Uri());
}

ScenarioStepReport ScenarioRunner::StepReport(std::size_t index) const {
    const StepRecord& record = steps_[index];
    const ScenarioStep& step = scenario_.steps[index];
    ScenarioStepReport report;
    report.index = index;
    report.action = ScenarioActionName(step.action);
    report.request =
        record.request.empty() ? step.request.method + " " + step.request.target : record.request;
    report.state = kScenarioStepStates[static_cast<std::size_t>(record.state)];
    if (record.startMs >= 0) {
        report.startMs = record.startMs;
    }
    if (record.endMs >= 0) {
        report.endMs = record.endMs;
        report.status = record.status;
        if (record.error.empty()) {
            report.body = record.body;
        } else {
            report.error = record.error;
        }
    }
    return report;
}

ScenarioReport ScenarioRunner::Report(bool withSteps) const {
    ScenarioReport report{.id = id_,
                          .name = scenario_.name,
                          .state = kScenarioRunStates[static_cast<std::size_t>(state_)],
                          .startedAt = startedAtMs_,
                          .stepCount = steps_.size(),
                          .steps = std::nullopt};
    if (withSteps) {
        report.steps.emplace();
        for (std::size_t i = 0; i < steps_.size(); ++i) {
            report.steps->push_back(StepReport(i));
        }
    }
    return report;
}

std::string ScenarioRunner::SummaryJson() const {
    Kolm::Platform::MutexLock lock(mutex_);
    return RecordText(Report(false));
}

std::string ScenarioRunner::Json() const {
    Kolm::Platform::MutexLock lock(mutex_);
    return RecordText(Report(true));
}

}  // namespace Kolm::Host
