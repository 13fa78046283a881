#include "host/serving/scenario_document.h"

#include <rapidjson/document.h>

#include <utility>

#include "host/boundary/bounded_json.h"
#include "host/documents/one_of.h"
#include "host/documents/record_reader.h"
#include "host/serving/scenario_records.h"
#include "host/worlds/yaml_to_json.h"

namespace Kolm::Host {
namespace {

constexpr const char* kHost = "/zun-clubs-host/v1";

// Query-component encoding: unreserved characters stay, everything else is %XX.
std::string QueryEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~' || c == '/' || c == '*') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

HttpRequest Request(std::string method, std::string target, std::string body = {}) {
    HttpRequest request;
    request.method = std::move(method);
    request.target = std::move(target);
    request.version = "HTTP/1.1";
    request.body = std::move(body);
    if (!request.body.empty()) {
        request.headers.emplace_back("Content-Type", "application/json");
    }
    return request;
}

// The body actAs sends: a text as it is (the message of the day is a plain text), anything
// else as its JSON.
std::string BodyOf(const std::optional<RawJson>& body) {
    if (!body) {
        return {};
    }
    rapidjson::Document text;
    text.Parse(body->json.data(), body->json.size());
    return text.IsString() ? std::string(text.GetString(), text.GetStringLength()) : body->json;
}

HttpRequest ActAsRequest(const ScenarioActAsText& act) {
    return Request(
        act.method,
        std::string(kHost) + "/clubs-service/as/" + std::to_string(act.player) + act.path,
        BodyOf(act.body));
}

// The rule, with the scenario's seed when it gives none of its own.
HttpRequest AddFaultRequest(const ScenarioFaultRuleJson& fault,
                            const std::optional<uint64_t>& seed) {
    std::string rule = fault.rule.json;
    if (seed && !fault.seeded) {
        rule.pop_back();  // the object's "}"
        rule += std::string(rule.size() > 1 ? "," : "") + "\"seed\":" + std::to_string(*seed) + "}";
    }
    return Request("POST", std::string(kHost) + "/faults", rule);
}

// A rule another step added is named when the step runs (see ScenarioStepRequest).
HttpRequest RemoveFaultRequest(const ScenarioFaultRemoval& removal, ScenarioStep& step) {
    const std::string faults = std::string(kHost) + "/faults";
    if (removal.ofStep) {
        step.removesRuleOfStep = static_cast<std::size_t>(removal.ofStep->addedBy);
        return Request("DELETE", faults);
    }
    return Request("DELETE", removal.id == "all" ? faults : faults + "/" + removal.id);
}

HttpRequest WaitForRequest(const ScenarioWaitForText& wait) {
    std::string query;
    const std::pair<const char*, const std::optional<std::string>*> filters[] = {
        {"service", &wait.service}, {"method", &wait.method}, {"path", &wait.path}};
    for (const auto& [name, value] : filters) {
        if (*value) {
            query += std::string(name) + "=" + QueryEncode(**value) + "&";
        }
    }
    query += "count=" + std::to_string(wait.count) + "&timeoutMs=" + std::to_string(wait.timeoutMs);
    return Request("GET", std::string(kHost) + "/requests/wait?" + query);
}

// The request of the step's one action (the step's Finish saw to it that there is one).
HttpRequest ActionRequest(const ScenarioStepText& text,
                          const std::optional<uint64_t>& seed,
                          ScenarioStep& step) {
    switch (step.action) {
        case ScenarioAction::ActAs:
            return ActAsRequest(*text.actAs);
        case ScenarioAction::AddFault:
            return AddFaultRequest(*text.addFault, seed);
        case ScenarioAction::RemoveFault:
            return RemoveFaultRequest(*text.removeFault, step);
        case ScenarioAction::ReplaceWorld:
            return Request("PUT", std::string(kHost) + "/world", text.replaceWorld->world.json);
        case ScenarioAction::ResetWorld:
            return Request("POST", std::string(kHost) + "/world/reset");
        case ScenarioAction::AdvanceClock:
            return Request("POST", std::string(kHost) + "/clock/advance",
                           "{\"ms\":" + std::to_string(*text.advanceClock) + "}");
        case ScenarioAction::Logout:
            return Request("DELETE", "/zun-login/v1/session");
        case ScenarioAction::Login:
            return Request("POST", "/zun-login/v1/session/login");
        case ScenarioAction::WaitFor:
            return WaitForRequest(*text.waitFor);
    }
    return {};
}

ScenarioStep StepOf(ScenarioStepText& text, const std::optional<uint64_t>& seed) {
    ScenarioStep step;
    step.timing = text.atMs ? ScenarioStep::Timing::At : ScenarioStep::Timing::After;
    step.ms = text.atMs.value_or(text.afterMs.value_or(0));
    step.continueOnFailure = text.continueOnFailure;
    step.action =
        static_cast<ScenarioAction>(GivenAlternative(text, kScenarioActionNames).value_or(0));
    step.request = ActionRequest(text, seed, step);
    return step;
}

Scenario ScenarioOf(ScenarioText& text) {
    Scenario scenario;
    scenario.name = std::move(text.name);
    scenario.seed = text.seed;
    scenario.steps.reserve(text.steps.size());
    for (ScenarioStepText& step : text.steps) {
        scenario.steps.push_back(StepOf(step, text.seed));
    }
    return scenario;
}

}  // namespace

const char* ScenarioActionName(ScenarioAction action) {
    return kScenarioActionNames[static_cast<std::size_t>(action)];
}

ScenarioParse ParseScenario(std::string_view text, ScenarioFormat format) {
    if (text.size() > kMaxScenarioBytes) {
        return {std::nullopt, "the scenario holds " + std::to_string(text.size()) +
                                  " bytes; at most " + std::to_string(kMaxScenarioBytes) +
                                  " are read"};
    }
    std::string json(text);
    if (format == ScenarioFormat::Yaml) {
        YamlToJsonResult converted = YamlToJson(text);
        if (!converted.error.empty()) {
            return {std::nullopt, "the scenario is not valid YAML: " + converted.error};
        }
        json = std::move(converted.json);
    }
    rapidjson::Document document;
    // A replaceWorld step holds a whole world three levels down.
    const BoundedJson read = ParseBoundedJson(json, document, kMaxJsonNesting + 6);
    if (!read.refusal.empty()) {
        return {std::nullopt, "the scenario " + read.refusal};
    }
    if (!read) {
        return {std::nullopt, "the scenario is not valid JSON (at offset " +
                                  std::to_string(read.result.Offset()) + ")"};
    }
    ScenarioText laidOut;
    const std::string error = ReadDocument(document, laidOut, FieldNaming::Path, "the scenario");
    if (!error.empty()) {
        return {std::nullopt, error};
    }
    return {ScenarioOf(laidOut), {}};
}

ScenarioFormat ScenarioFormatOfFile(std::string_view fileName) {
    auto endsWith = [&](std::string_view suffix) {
        return fileName.size() >= suffix.size() &&
               fileName.substr(fileName.size() - suffix.size()) == suffix;
    };
    return endsWith(".yaml") || endsWith(".yml") ? ScenarioFormat::Yaml : ScenarioFormat::Json;
}

std::optional<HttpRequest> ScenarioStepRequest(const ScenarioStep& step,
                                               const std::vector<std::string>& addedRuleIds,
                                               std::string* error) {
    if (!step.removesRuleOfStep) {
        return step.request;
    }
    const std::size_t index = *step.removesRuleOfStep;
    if (index >= addedRuleIds.size() || addedRuleIds[index].empty()) {
        *error = "steps[" + std::to_string(index) + "] added no fault rule";
        return std::nullopt;
    }
    HttpRequest request = step.request;
    request.target += "/" + addedRuleIds[index];
    return request;
}

}  // namespace Kolm::Host
