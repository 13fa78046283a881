#include "host/serving/fault_endpoints.h"

#include <utility>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Kolm::Host {
namespace {

constexpr const char* kFaultsUri = "/zun-clubs-host/v1/faults";

HttpResponse NoContent() {
    HttpResponse response = HttpResponse::Json(204, "");
    response.contentType.clear();
    return response;
}

}  // namespace

HttpResponse HandleFaultRequest(const HttpRequest& request,
                                std::string_view rest,
                                FaultRules& faults) {
    const std::string& method = request.method;
    if (rest.empty() || rest == "/") {
        if (method == "GET" || method == "HEAD") {
            return HttpResponse::Json(200, faults.ListJson());
        }
        if (method == "POST") {
            FaultRuleParse parsed = ParseFaultRule(request.body);
            if (!parsed.rule) {
                return HttpResponse::Error(400, parsed.error);
            }
            FaultRuleAdd added = faults.Add(std::move(*parsed.rule));
            if (!added.rule) {
                return HttpResponse::Error(static_cast<int>(added.status), added.error);
            }
            return HttpResponse::Json(201, added.rule->ToJson());
        }
        if (method == "DELETE") {
            faults.Clear();
            return NoContent();
        }
        return HttpResponse::NotAllowed("GET, HEAD, POST, DELETE",
                                        "the fault rules take GET, POST and DELETE");
    }
    const std::string id(rest.substr(1));
    if (method != "DELETE") {
        return HttpResponse::NotAllowed("DELETE", "a fault rule is removed with DELETE");
    }
    if (!faults.Remove(id)) {
        return HttpResponse::Error(404, "no fault rule with id \"" + id + "\"");
    }
    return NoContent();
}

std::string FaultEventUri(const FaultRule& rule) {
    return std::string(kFaultsUri) + "/" + rule.id;
}

std::string FaultRuleSummaryJson(const FaultRule& rule) {
    const std::size_t bodyBytes = rule.body ? rule.body->json.size() : 0;
    if (bodyBytes <= kFaultEventBodyBytes) {
        return rule.ToJson();
    }
    rapidjson::Document fields;
    fields.Parse<rapidjson::kParseIterativeFlag>(rule.fieldsJson.data(), rule.fieldsJson.size());
    if (fields.HasParseError() || !fields.IsObject()) {
        return "{\"id\":" + JsonQuote(rule.id) + "}";
    }
    fields.RemoveMember("body");
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("id");
    writer.String(rule.id.data(), static_cast<rapidjson::SizeType>(rule.id.size()));
    for (const auto& member : std::as_const(fields).GetObject()) {
        writer.Key(member.name.GetString(), member.name.GetStringLength());
        member.value.Accept(writer);
        if (member.name == "status") {
            writer.Key("bodyBytes");
            writer.Uint64(bodyBytes);
        }
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string FaultEventJson(const FaultRule& rule,
                           std::string_view service,
                           std::string_view method,
                           std::string_view path) {
    return "{\"data\":{\"method\":" + JsonQuote(method) + ",\"path\":" + JsonQuote(path) +
           ",\"rule\":" + FaultRuleSummaryJson(rule) + ",\"service\":" + JsonQuote(service) +
           "},\"eventType\":\"Create\",\"uri\":" + JsonQuote(FaultEventUri(rule)) + "}";
}

}  // namespace Kolm::Host
