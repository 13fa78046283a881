#include "host/faults/fault_rule.h"

#include "host/boundary/bounded_json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <set>

namespace Kolm::Host {
namespace {

constexpr uint32_t kMaxLatencyMs = 120000;

std::vector<std::string> Segments(std::string_view path) {
    std::vector<std::string> segments;
    std::size_t start = path.empty() || path.front() != '/' ? 0 : 1;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        segments.emplace_back(path.substr(start, end - start));
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    return segments;
}

std::string Compact(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

FaultRuleParse Refuse(std::string error) {
    return {std::nullopt, std::move(error)};
}

// Reads the optional members; "" when they are fine, else what is wrong.
std::string ReadEffect(const rapidjson::Value& object, FaultRule& rule) {
    if (object.HasMember("status")) {
        const rapidjson::Value& status = object["status"];
        if (!status.IsUint() || status.GetUint() < 100 || status.GetUint() > 599) {
            return "\"status\" must be an HTTP status from 100 to 599";
        }
        rule.status = status.GetUint();
    }
    if (object.HasMember("body")) {
        if (!rule.status) {
            return "\"body\" needs a \"status\" to answer with";
        }
        rule.bodyJson = Compact(object["body"]);
    }
    if (object.HasMember("transportFailure")) {
        if (!object["transportFailure"].IsBool()) {
            return "\"transportFailure\" must be true or false";
        }
        rule.transportFailure = object["transportFailure"].GetBool();
        if (rule.transportFailure && rule.status) {
            return "a rule answers with \"status\" or fails the transport, not both";
        }
    }
    if (object.HasMember("latencyMs")) {
        const rapidjson::Value& latency = object["latencyMs"];
        if (!latency.IsUint() || latency.GetUint() > kMaxLatencyMs) {
            return "\"latencyMs\" must be a whole number of milliseconds from 0 to " +
                   std::to_string(kMaxLatencyMs);
        }
        rule.latencyMs = latency.GetUint();
    }
    if (!rule.status && !rule.transportFailure && rule.latencyMs == 0) {
        return "a rule needs an effect: \"status\", \"transportFailure\": true or \"latencyMs\"";
    }
    return {};
}

std::string ReadChance(const rapidjson::Value& object, FaultRule& rule) {
    if (object.HasMember("probability")) {
        const rapidjson::Value& probability = object["probability"];
        if (!probability.IsNumber() || !(probability.GetDouble() >= 0.0) ||
            probability.GetDouble() > 1.0) {
            return "\"probability\" must be a number from 0 to 1";
        }
        rule.probability = probability.GetDouble();
    }
    if (object.HasMember("seed")) {
        if (!object["seed"].IsUint64()) {
            return "\"seed\" must be a whole number from 0 to 2^64-1";
        }
        rule.seed = object["seed"].GetUint64();
    }
    if (object.HasMember("times")) {
        if (!object["times"].IsUint64() || object["times"].GetUint64() == 0) {
            return "\"times\" must be a whole number of at least 1";
        }
        rule.times = object["times"].GetUint64();
    }
    return {};
}

}  // namespace

bool IsHttpMethodName(std::string_view text) {
    if (text.empty() || text.size() > 16) {
        return false;
    }
    for (const char c : text) {
        if (c < 'A' || c > 'Z') {
            return false;
        }
    }
    return true;
}

const std::vector<std::string>& FaultServices() {
    static const std::vector<std::string> services = {"clubs",    "login", "platform-config",
                                                      "summoner", "chat",  "player-notifications",
                                                      "messaging"};
    return services;
}

bool FaultRule::Matches(std::string_view callService,
                        std::string_view callMethod,
                        std::string_view path) const {
    if (callService != service || (method && *method != callMethod)) {
        return false;
    }
    return PathMatchesPattern(pathSegments, path);
}

std::vector<std::string> PathPatternSegments(std::string_view pattern) {
    return Segments(pattern);
}

bool PathMatchesPattern(const std::vector<std::string>& pattern, std::string_view path) {
    const std::vector<std::string> segments = Segments(path);
    if (segments.size() != pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (pattern[i] != "*" && pattern[i] != segments[i]) {
            return false;
        }
    }
    return true;
}

std::string FaultRule::ToJson() const {
    std::string json = "{\"id\":\"" + id + "\"";
    if (fieldsJson.size() > 2) {
        json += "," + fieldsJson.substr(1);
    } else {
        json += "}";
    }
    return json;
}

FaultRuleParse ReadFaultRule(const rapidjson::Value& value) {
    if (!value.IsObject()) {
        return Refuse("a fault rule is a JSON object");
    }
    static const std::set<std::string> known = {
        "id",        "service",     "method", "path", "status", "body", "transportFailure",
        "latencyMs", "probability", "seed",   "times"};
    FaultRule rule;
    rapidjson::Document fields;
    fields.SetObject();
    for (const auto& member : value.GetObject()) {
        const std::string name(member.name.GetString(), member.name.GetStringLength());
        if (known.count(name) == 0) {
            return Refuse("unknown field \"" + name + "\" in a fault rule");
        }
        if (name != "id") {
            fields.AddMember(rapidjson::Value(member.name, fields.GetAllocator()),
                             rapidjson::Value(member.value, fields.GetAllocator()),
                             fields.GetAllocator());
        }
    }
    if (!value.HasMember("service") || !value["service"].IsString()) {
        return Refuse(
            "\"service\" must name the service: clubs, login, platform-config, "
            "summoner, chat, player-notifications or messaging");
    }
    rule.service = value["service"].GetString();
    bool knownService = false;
    for (const std::string& service : FaultServices()) {
        knownService = knownService || service == rule.service;
    }
    if (!knownService) {
        return Refuse("unknown service \"" + rule.service +
                      "\"; one of clubs, login, platform-config, summoner, chat, "
                      "player-notifications, messaging");
    }
    if (value.HasMember("method")) {
        if (!value["method"].IsString() || !IsHttpMethodName(value["method"].GetString())) {
            return Refuse("\"method\" must be an HTTP method in capitals, such as \"PUT\"");
        }
        rule.method = value["method"].GetString();
    }
    if (!value.HasMember("path") || !value["path"].IsString() ||
        value["path"].GetString()[0] != '/') {
        return Refuse("\"path\" must be a path pattern starting with \"/\", \"*\" for a segment");
    }
    const std::string path = value["path"].GetString();
    if (path.find('?') != std::string::npos) {
        return Refuse("\"path\" matches the path only; leave the query out");
    }
    rule.pathSegments = Segments(path);
    std::string error = ReadEffect(value, rule);
    if (error.empty()) {
        error = ReadChance(value, rule);
    }
    if (!error.empty()) {
        return Refuse(error);
    }
    rule.fieldsJson = Compact(fields);
    return {std::move(rule), {}};
}

FaultRuleParse ParseFaultRule(std::string_view json) {
    rapidjson::Document document;
    const BoundedJson read = ParseBoundedJson(json, document);
    if (!read) {
        return Refuse(read.refusal.empty() ? "the fault rule is not valid JSON"
                                           : "the fault rule " + read.refusal);
    }
    return ReadFaultRule(document);
}

}  // namespace Kolm::Host
