#include "host/faults/fault_rule.h"

#include "host/boundary/bounded_json.h"
#include "host/documents/record_reader.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Kolm::Host {
namespace {

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

FaultRuleParse Refuse(std::string error) {
    return {std::nullopt, std::move(error)};
}

// The given object without "id", so that a listed rule shows its fields as they were given.
std::string FieldsAsGiven(const rapidjson::Value& object) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    for (const auto& member : object.GetObject()) {
        if (member.name != "id") {
            writer.Key(member.name.GetString(), member.name.GetStringLength());
            member.value.Accept(writer);
        }
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
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

bool IsFaultPathPattern(std::string_view text) {
    return text.starts_with('/') && text.find('?') == std::string_view::npos;
}

std::optional<FieldProblem> RecordMap<FaultRule>::Finish(FaultRule& rule) {
    if (rule.body && !rule.status) {
        return FieldProblem{"body", "needs a \"status\" to answer with"};
    }
    if (rule.transportFailure && rule.status) {
        return FieldProblem{{}, "a rule answers with \"status\" or fails the transport, not both"};
    }
    if (!rule.status && !rule.transportFailure && rule.latencyMs == 0) {
        return FieldProblem{
            {}, "a rule needs an effect: \"status\", \"transportFailure\": true or \"latencyMs\""};
    }
    rule.pathSegments = Segments(rule.path);
    return std::nullopt;
}

std::string_view FaultServiceOfCall(std::string_view path) {
    for (const FaultService& service : kFaultServices) {
        const std::string_view prefix = service.callPrefix != nullptr ? service.callPrefix : "";
        if (!prefix.empty() && path.starts_with(prefix) &&
            (path.size() == prefix.size() || path[prefix.size()] == '/')) {
            return service.name;
        }
    }
    return {};
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
    FaultRule rule;
    std::string error = ReadDocument(value, rule, FieldNaming::Quoted, "the fault rule");
    if (!error.empty()) {
        return Refuse(std::move(error));
    }
    rule.fieldsJson = FieldsAsGiven(value);
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
