#include "host/serving/scenario_document.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <array>
#include <utility>

#include "host/boundary/bounded_json.h"
#include "host/serving/clock_endpoints.h"
#include "host/worlds/world_document.h"
#include "host/worlds/yaml_to_json.h"

namespace Kolm::Host {
namespace {

using Json = rapidjson::Value;

constexpr const char* kHost = "/zun-clubs-host/v1";

const std::array<std::pair<const char*, ScenarioAction>, 9> kActions = {{
    {"actAs", ScenarioAction::ActAs},
    {"addFault", ScenarioAction::AddFault},
    {"removeFault", ScenarioAction::RemoveFault},
    {"replaceWorld", ScenarioAction::ReplaceWorld},
    {"resetWorld", ScenarioAction::ResetWorld},
    {"advanceClock", ScenarioAction::AdvanceClock},
    {"logout", ScenarioAction::Logout},
    {"login", ScenarioAction::Login},
    {"waitFor", ScenarioAction::WaitFor},
}};

std::string Compact(const Json& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

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

// Reads one step; the first problem found is kept in `error` with the member's path.
class StepReader {
  public:
    StepReader(const Json& step,
               std::size_t index,
               const std::optional<uint64_t>& seed,
               std::string& error)
        : step_(step),
          index_(index),
          where_("steps[" + std::to_string(index) + "]"),
          seed_(seed),
          error_(error) {}

    std::optional<ScenarioStep> Read() {
        if (!step_.IsObject()) {
            return Fail(where_, "must be an object");
        }
        ScenarioStep step;
        if (!ReadTime(step) || !ReadAction(step)) {
            return std::nullopt;
        }
        for (const auto& member : step_.GetObject()) {
            const std::string name = member.name.GetString();
            if (name == "continueOnFailure") {
                if (!member.value.IsBool()) {
                    return Fail(Path(name), "must be true or false");
                }
                step.continueOnFailure = member.value.GetBool();
            } else if (name != "atMs" && name != "afterMs" && !IsAction(name)) {
                return Fail(Path(name), "is not a field of a step");
            }
        }
        return step;
    }

  private:
    static bool IsAction(const std::string& name) {
        for (const auto& [actionName, action] : kActions) {
            if (name == actionName) {
                return true;
            }
        }
        return false;
    }

    std::string Path(const std::string& name) const { return where_ + "." + name; }

    std::nullopt_t Fail(const std::string& where, const std::string& what) {
        error_ = where + ": " + what;
        return std::nullopt;
    }

    bool ReadTime(ScenarioStep& step) {
        const bool at = step_.HasMember("atMs");
        const bool after = step_.HasMember("afterMs");
        if (at == after) {
            Fail(where_, at ? "gives both atMs and afterMs; a step has one time"
                            : "needs a time: atMs (from the start) or afterMs (after the step "
                              "before)");
            return false;
        }
        const char* name = at ? "atMs" : "afterMs";
        const Json& value = step_[name];
        if (!value.IsUint64() || value.GetUint64() > kMaxScenarioMs) {
            Fail(Path(name), "must be a whole number of milliseconds from 0 to " +
                                 std::to_string(kMaxScenarioMs));
            return false;
        }
        step.timing = at ? ScenarioStep::Timing::At : ScenarioStep::Timing::After;
        step.ms = value.GetUint64();
        return true;
    }

    bool ReadAction(ScenarioStep& step) {
        const char* found = nullptr;
        for (const auto& [name, action] : kActions) {
            if (!step_.HasMember(name)) {
                continue;
            }
            if (found != nullptr) {
                Fail(where_, std::string("gives both ") + found + " and " + name +
                                 "; a step has one action");
                return false;
            }
            found = name;
            step.action = action;
        }
        if (found == nullptr) {
            Fail(where_,
                 "needs one action: actAs, addFault, removeFault, replaceWorld, resetWorld, "
                 "advanceClock, logout, login or waitFor");
            return false;
        }
        return Map(step, step_[found], Path(found));
    }

    bool Map(ScenarioStep& step, const Json& value, const std::string& where) {
        switch (step.action) {
            case ScenarioAction::ActAs:
                return MapActAs(step, value, where);
            case ScenarioAction::AddFault:
                return MapAddFault(step, value, where);
            case ScenarioAction::RemoveFault:
                return MapRemoveFault(step, value, where);
            case ScenarioAction::ReplaceWorld:
                return MapReplaceWorld(step, value, where);
            case ScenarioAction::ResetWorld:
                return MapTrue(value, where) &&
                       Set(step, Request("POST", std::string(kHost) + "/world/reset"));
            case ScenarioAction::AdvanceClock:
                // As far as the clock itself moves in one step: a scenario skips days, not
                // only the hour its own steps may span.
                if (!value.IsUint64() || value.GetUint64() < 1 ||
                    value.GetUint64() > static_cast<uint64_t>(kMaxClockAdvanceMs)) {
                    Fail(where, "must be a whole number of milliseconds from 1 to " +
                                    std::to_string(kMaxClockAdvanceMs));
                    return false;
                }
                return Set(step, Request("POST", std::string(kHost) + "/clock/advance",
                                         "{\"ms\":" + std::to_string(value.GetUint64()) + "}"));
            case ScenarioAction::Logout:
                return MapTrue(value, where) &&
                       Set(step, Request("DELETE", "/zun-login/v1/session"));
            case ScenarioAction::Login:
                return MapTrue(value, where) &&
                       Set(step, Request("POST", "/zun-login/v1/session/login"));
            case ScenarioAction::WaitFor:
                return MapWaitFor(step, value, where);
        }
        return false;
    }

    static bool Set(ScenarioStep& step, HttpRequest request) {
        step.request = std::move(request);
        return true;
    }

    bool MapTrue(const Json& value, const std::string& where) {
        if (!value.IsBool() || !value.GetBool()) {
            Fail(where, "must be true");
            return false;
        }
        return true;
    }

    // Refuses members of `object` other than `known`.
    bool Only(const Json& object,
              const std::string& where,
              std::initializer_list<const char*> known) {
        for (const auto& member : object.GetObject()) {
            bool found = false;
            for (const char* name : known) {
                found = found || member.name == name;
            }
            if (!found) {
                Fail(where + "." + member.name.GetString(), "is not a field of this action");
                return false;
            }
        }
        return true;
    }

    bool MapActAs(ScenarioStep& step, const Json& value, const std::string& where) {
        if (!value.IsObject()) {
            Fail(where, "must be an object: {\"player\", \"method\", \"path\", \"body\"}");
            return false;
        }
        if (!Only(value, where, {"player", "method", "path", "body"})) {
            return false;
        }
        if (!value.HasMember("player") || !value["player"].IsUint64() ||
            value["player"].GetUint64() == 0) {
            Fail(where + ".player", "must be a player's account id (a whole number above 0)");
            return false;
        }
        std::string method = "GET";
        if (value.HasMember("method")) {
            const Json& given = value["method"];
            method = given.IsString() ? given.GetString() : "";
            if (method != "GET" && method != "POST" && method != "PUT" && method != "DELETE") {
                Fail(where + ".method", "must be GET, POST, PUT or DELETE");
                return false;
            }
        }
        if (!value.HasMember("path") || !value["path"].IsString() ||
            std::string_view(value["path"].GetString()).substr(0, 4) != "/v1/") {
            Fail(where + ".path",
                 "must be a path of the clubs web service, starting with /v1/ "
                 "(/v1/clubs/club-1/motd)");
            return false;
        }
        const std::string_view path(value["path"].GetString(), value["path"].GetStringLength());
        if (path.find_first_of(" \t\r\n#") != std::string_view::npos) {
            Fail(where + ".path", "must not hold blanks, line breaks or #");
            return false;
        }
        // A text body is sent as it is (the message of the day is a plain text); anything else
        // as its JSON.
        std::string body;
        if (value.HasMember("body")) {
            const Json& given = value["body"];
            body = given.IsString() ? std::string(given.GetString(), given.GetStringLength())
                                    : Compact(given);
        }
        step.request = Request(method,
                               std::string(kHost) + "/clubs-service/as/" +
                                   std::to_string(value["player"].GetUint64()) + std::string(path),
                               body);
        return true;
    }

    bool MapAddFault(ScenarioStep& step, const Json& value, const std::string& where) {
        if (!value.IsObject()) {
            Fail(where, "must be a fault rule (an object)");
            return false;
        }
        rapidjson::Document rule;
        rule.CopyFrom(value, rule.GetAllocator());
        if (seed_ && !rule.HasMember("seed")) {
            rule.AddMember("seed", Json(*seed_), rule.GetAllocator());
        }
        step.request = Request("POST", std::string(kHost) + "/faults", Compact(rule));
        return true;
    }

    bool MapRemoveFault(ScenarioStep& step, const Json& value, const std::string& where) {
        const std::string faults = std::string(kHost) + "/faults";
        if (value.IsString()) {
            const std::string id(value.GetString(), value.GetStringLength());
            if (id.empty() || id.find_first_of("/?# ") != std::string::npos) {
                Fail(where, "must be \"all\", a rule's id or {\"addedBy\": <step index>}");
                return false;
            }
            step.request = Request("DELETE", id == "all" ? faults : faults + "/" + id);
            return true;
        }
        if (value.IsObject() && value.MemberCount() == 1 && value.HasMember("addedBy")) {
            const Json& index = value["addedBy"];
            if (!index.IsUint64() || index.GetUint64() >= index_) {
                Fail(where + ".addedBy", "must be the index of an addFault step before this one");
                return false;
            }
            step.removesRuleOfStep = static_cast<std::size_t>(index.GetUint64());
            step.request = Request("DELETE", faults);
            return true;
        }
        Fail(where, "must be \"all\", a rule's id or {\"addedBy\": <step index>}");
        return false;
    }

    bool MapReplaceWorld(ScenarioStep& step, const Json& value, const std::string& where) {
        const std::string world = Compact(value);
        // Checked now, so that a scenario whose world is wrong is refused before it starts.
        if (const WorldParse parsed = ParseWorld(world); !parsed.world) {
            Fail(where, parsed.error);
            return false;
        }
        step.request = Request("PUT", std::string(kHost) + "/world", world);
        return true;
    }

    bool MapWaitFor(ScenarioStep& step, const Json& value, const std::string& where) {
        if (!value.IsObject()) {
            Fail(where,
                 "must be an object: {\"service\", \"method\", \"path\", \"count\", "
                 "\"timeoutMs\"}");
            return false;
        }
        if (!Only(value, where, {"service", "method", "path", "count", "timeoutMs"})) {
            return false;
        }
        std::string query;
        for (const char* name : {"service", "method", "path"}) {
            if (!value.HasMember(name)) {
                continue;
            }
            if (!value[name].IsString() || value[name].GetStringLength() == 0) {
                Fail(where + "." + name, "must be a text");
                return false;
            }
            query += std::string(query.empty() ? "" : "&") + name + "=" +
                     QueryEncode({value[name].GetString(), value[name].GetStringLength()});
        }
        uint64_t count = 1;
        if (value.HasMember("count")) {
            if (!value["count"].IsUint64() || value["count"].GetUint64() < 1 ||
                value["count"].GetUint64() > kMaxScenarioWaitCount) {
                Fail(where + ".count",
                     "must be a whole number from 1 to " + std::to_string(kMaxScenarioWaitCount));
                return false;
            }
            count = value["count"].GetUint64();
        }
        uint64_t timeout = 5000;
        if (value.HasMember("timeoutMs")) {
            if (!value["timeoutMs"].IsUint64() ||
                value["timeoutMs"].GetUint64() > kMaxScenarioWaitMs) {
                Fail(where + ".timeoutMs", "must be a whole number of milliseconds from 0 to " +
                                               std::to_string(kMaxScenarioWaitMs));
                return false;
            }
            timeout = value["timeoutMs"].GetUint64();
        }
        query += std::string(query.empty() ? "" : "&") + "count=" + std::to_string(count) +
                 "&timeoutMs=" + std::to_string(timeout);
        step.request = Request("GET", std::string(kHost) + "/requests/wait?" + query);
        return true;
    }

    const Json& step_;
    const std::size_t index_;  // an addedBy names a step before this one
    const std::string where_;
    const std::optional<uint64_t>& seed_;
    std::string& error_;
};

std::optional<Scenario> ReadScenario(const Json& document, std::string& error) {
    if (!document.IsObject()) {
        error = "the scenario must be an object: {\"name\", \"seed\", \"steps\"}";
        return std::nullopt;
    }
    Scenario scenario;
    for (const auto& member : document.GetObject()) {
        const std::string name = member.name.GetString();
        if (name == "name") {
            if (!member.value.IsString() || member.value.GetStringLength() > 200) {
                error = "name: must be a text of at most 200 bytes";
                return std::nullopt;
            }
            scenario.name.assign(member.value.GetString(), member.value.GetStringLength());
        } else if (name == "seed") {
            if (!member.value.IsUint64()) {
                error = "seed: must be a whole number of at least 0";
                return std::nullopt;
            }
            scenario.seed = member.value.GetUint64();
        } else if (name != "steps") {
            error = name + ": is not a field of a scenario";
            return std::nullopt;
        }
    }
    if (!document.HasMember("steps")) {
        error = "steps: is missing";
        return std::nullopt;
    }
    const Json& steps = document["steps"];
    if (!steps.IsArray() || steps.Empty() || steps.Size() > kMaxScenarioSteps) {
        error = "steps: must be an array of 1 to " + std::to_string(kMaxScenarioSteps) + " steps";
        return std::nullopt;
    }
    for (rapidjson::SizeType i = 0; i < steps.Size(); ++i) {
        StepReader reader(steps[i], i, scenario.seed, error);
        std::optional<ScenarioStep> step = reader.Read();
        if (!step) {
            return std::nullopt;
        }
        if (step->removesRuleOfStep &&
            scenario.steps[*step->removesRuleOfStep].action != ScenarioAction::AddFault) {
            error = "steps[" + std::to_string(i) + "].removeFault.addedBy: steps[" +
                    std::to_string(*step->removesRuleOfStep) + "] is not an addFault step";
            return std::nullopt;
        }
        scenario.steps.push_back(std::move(*step));
    }
    return scenario;
}

}  // namespace

const char* ScenarioActionName(ScenarioAction action) {
    for (const auto& [name, each] : kActions) {
        if (each == action) {
            return name;
        }
    }
    return "";
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
    std::string error;
    std::optional<Scenario> scenario = ReadScenario(document, error);
    if (!scenario) {
        return {std::nullopt, error};
    }
    return {std::move(scenario), {}};
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
