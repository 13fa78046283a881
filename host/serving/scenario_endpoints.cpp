#include "host/serving/scenario_endpoints.h"

#include <utility>
#include <vector>

namespace Kolm::Host {
namespace {

bool IsYamlBody(const HttpRequest& request) {
    std::string type = request.Header("Content-Type").value_or("");
    type = std::string(TrimBlanks(type.substr(0, type.find(';'))));
    return EqualsIgnoringCase(type, "application/x-yaml") ||
           EqualsIgnoringCase(type, "text/yaml") || EqualsIgnoringCase(type, "application/yaml");
}

}  // namespace

ScenarioRuns::ScenarioRuns(ScenarioRunner::Issuer issue, ScenarioRunner::Publisher publish)
    : issue_(std::move(issue)), publish_(std::move(publish)) {}

ScenarioRuns::~ScenarioRuns() {
    StopAll();
}

HttpResponse ScenarioRuns::Handle(const HttpRequest& request, std::string_view rest) {
    const std::string& method = request.method;
    if (rest.empty() || rest == "/") {
        if (method == "GET" || method == "HEAD") {
            Kolm::Platform::MutexLock lock(mutex_);
            std::string list = "[";
            for (const auto& [number, run] : runs_) {
                list += (list.size() > 1 ? "," : "") + run->SummaryJson();
            }
            return HttpResponse::Json(200, list + "]");
        }
        if (method != "POST") {
            return HttpResponse::NotAllowed("GET, HEAD, POST",
                                            "scenarios are listed with GET and started with POST");
        }
        ScenarioParse parsed = ParseScenario(
            request.body, IsYamlBody(request) ? ScenarioFormat::Yaml : ScenarioFormat::Json);
        if (!parsed.scenario) {
            return HttpResponse::Error(400, parsed.error);
        }
        return Start(std::move(*parsed.scenario));
    }
    const std::string id(rest.substr(1));
    if (method == "DELETE") {
        return Remove(id);
    }
    if (method != "GET" && method != "HEAD") {
        return HttpResponse::NotAllowed("GET, HEAD, DELETE",
                                        "a scenario is read with GET and stopped with DELETE");
    }
    Kolm::Platform::MutexLock lock(mutex_);
    const std::optional<uint64_t> number = ParseDecimal(id);
    const auto run = number ? runs_.find(*number) : runs_.end();
    if (run == runs_.end()) {
        return HttpResponse::Error(404, "no scenario with id \"" + id + "\"");
    }
    return HttpResponse::Json(200, run->second->Json());
}

HttpResponse ScenarioRuns::Start(Scenario scenario) {
    Kolm::Platform::MutexLock lock(mutex_);
    if (stopped_) {
        return HttpResponse::Error(503, "the host is stopping; no scenario starts now");
    }
    std::size_t running = 0;
    for (const auto& [number, run] : runs_) {
        running += run->Finished() ? 0 : 1;
    }
    if (running >= kMaxRunningScenarios) {
        return HttpResponse::Error(409, "at most " + std::to_string(kMaxRunningScenarios) +
                                            " scenarios may run at once; stop one first");
    }
    const uint64_t number = nextId_++;
    auto run = std::make_unique<ScenarioRunner>(std::to_string(number), std::move(scenario), issue_,
                                                publish_);
    run->Start();
    ScenarioRunner& started = *run;
    runs_.emplace(number, std::move(run));
    Forget();
    return HttpResponse::Json(201, started.Json());
}

HttpResponse ScenarioRuns::Remove(const std::string& id) {
    Kolm::Platform::MutexLock lock(mutex_);
    const std::optional<uint64_t> number = ParseDecimal(id);
    const auto run = number ? runs_.find(*number) : runs_.end();
    if (run == runs_.end()) {
        return HttpResponse::Error(404, "no scenario with id \"" + id + "\"");
    }
    run->second->Stop();
    return HttpResponse::Json(202, run->second->Json());
}

void ScenarioRuns::Forget() {
    std::size_t finished = 0;
    for (const auto& [number, run] : runs_) {
        finished += run->Finished() ? 1 : 0;
    }
    for (auto run = runs_.begin(); run != runs_.end() && finished > kMaxKeptScenarios;) {
        if (run->second->Finished()) {
            run = runs_.erase(run);  // the runner joins its finished thread
            --finished;
        } else {
            ++run;
        }
    }
}

void ScenarioRuns::StopAll() {
    std::map<uint64_t, std::unique_ptr<ScenarioRunner>> runs;
    {
        Kolm::Platform::MutexLock lock(mutex_);
        stopped_ = true;
        runs.swap(runs_);
    }
    // Joined without the lock: a running step may be a request that reads the scenarios.
    for (auto& [number, run] : runs) {
        run->Stop();
    }
    for (auto& [number, run] : runs) {
        run->Join();
    }
}

}  // namespace Kolm::Host
