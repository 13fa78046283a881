#include "host/serving/clock_endpoints.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include <rapidjson/document.h>

#include "host/boundary/bounded_json.h"
#include "host/serving/bus_event_feed.h"
#include "host/simulated/simulated_plugin.h"

namespace Kolm::Host {
namespace {

using Json = rapidjson::Document;

const std::string kNowRule =
    "\"now\" must be a whole number of milliseconds since "
    "1970-01-01 UTC, from 0 to " +
    std::to_string(kMaxClockMs);
const std::string kMsRule =
    "\"ms\" must be a whole number of milliseconds from 1 to " + std::to_string(kMaxClockAdvanceMs);

// The body as a JSON object whose members are all in `known`, each once, or the 400 saying
// what is wrong.
std::optional<HttpResponse> RefuseBody(const std::string& body,
                                       std::initializer_list<std::string_view> known,
                                       const std::string& example,
                                       Json& json) {
    const BoundedJson read = ParseBoundedJson(body, json);
    if (!read.refusal.empty()) {
        return HttpResponse::Error(400, "the body " + read.refusal);
    }
    if (!read || !json.IsObject()) {
        return HttpResponse::Error(400, "the body must be a JSON object, such as " + example);
    }
    std::set<std::string_view> seen;
    for (const auto& member : std::as_const(json).GetObject()) {
        const std::string_view name(member.name.GetString(), member.name.GetStringLength());
        if (!seen.insert(name).second) {
            return HttpResponse::Error(400, "\"" + std::string(name) + "\" is given twice");
        }
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            std::string list;
            for (const std::string_view field : known) {
                list += (list.empty() ? "\"" : " and \"") + std::string(field) + "\"";
            }
            return HttpResponse::Error(
                400, "unknown field \"" + std::string(name) + "\"; the body takes " + list);
        }
    }
    return std::nullopt;
}

// The member as an int64 within [low, high], none when absent; `bad` set when present but not.
std::optional<int64_t> Whole(const Json& json,
                             const char* name,
                             int64_t low,
                             int64_t high,
                             bool& bad) {
    const auto member = std::as_const(json).FindMember(name);
    if (member == json.MemberEnd()) {
        return std::nullopt;
    }
    const rapidjson::Value& value = member->value;
    if (!value.IsInt64() || value.GetInt64() < low || value.GetInt64() > high) {
        bad = true;
        return std::nullopt;
    }
    return value.GetInt64();
}

HttpResponse SetClock(const HttpRequest& request, ClubsWebService& service) {
    Json json;
    if (std::optional<HttpResponse> refused = RefuseBody(
            request.body, {"now", "frozen"}, R"({"now":1700000000000,"frozen":true})", json)) {
        return std::move(*refused);
    }
    bool bad = false;
    const std::optional<int64_t> now = Whole(json, "now", 0, kMaxClockMs, bad);
    if (bad) {
        return HttpResponse::Error(400, kNowRule);
    }
    std::optional<bool> frozen;
    if (const auto member = std::as_const(json).FindMember("frozen"); member != std::as_const(json).MemberEnd()) {
        if (!member->value.IsBool()) {
            return HttpResponse::Error(400, "\"frozen\" must be true or false");
        }
        frozen = member->value.GetBool();
    }
    int64_t latest = 0;
    if (!service.SetClock(now, frozen, &latest)) {
        return HttpResponse::Error(
            409, "\"now\" " + std::to_string(*now) + " is before " + std::to_string(latest) +
                     ", the newest time stamp the service holds; the clock may not go back "
                     "past a stamp it gave");
    }
    return HttpResponse::Json(200, ClockJson(service.Clock()));
}

HttpResponse AdvanceClock(const HttpRequest& request, ClubsWebService& service) {
    Json json;
    if (std::optional<HttpResponse> refused =
            RefuseBody(request.body, {"ms"}, R"({"ms":60000})", json)) {
        return std::move(*refused);
    }
    bool bad = false;
    const std::optional<int64_t> ms = Whole(json, "ms", 1, kMaxClockAdvanceMs, bad);
    if (!ms) {
        return HttpResponse::Error(
            400, bad ? kMsRule
                     : "\"ms\" is required: a whole number of milliseconds from 1 to " +
                           std::to_string(kMaxClockAdvanceMs));
    }
    const std::optional<ClubsWebService::ClockReading> after =
        service.AdvanceClock(*ms, kMaxClockMs);
    if (!after) {
        return HttpResponse::Error(400,
                                   "\"ms\" " + std::to_string(*ms) + " would move the clock past " +
                                       std::to_string(kMaxClockMs) + " (9999-12-31T23:59:59.999Z)");
    }
    return HttpResponse::Json(200, ClockJson(*after));
}

}  // namespace

std::string ClockJson(const ClubsWebService::ClockReading& clock) {
    return "{\"now\":" + std::to_string(clock.now) +
           ",\"frozen\":" + (clock.frozen ? "true" : "false") + "}";
}

HttpResponse HandleClockRequest(const HttpRequest& request,
                                std::string_view rest,
                                ClubsWebService& service) {
    const std::string& method = request.method;
    if (rest.empty() || rest == "/") {
        if (method == "GET" || method == "HEAD") {
            return HttpResponse::Json(200, ClockJson(service.Clock()));
        }
        if (method == "PUT") {
            return SetClock(request, service);
        }
        return HttpResponse::NotAllowed("GET, HEAD, PUT",
                                        "the clock is read with GET and set with PUT");
    }
    if (rest == "/advance") {
        return method == "POST" ? AdvanceClock(request, service)
                                : HttpResponse::NotAllowed(
                                      "POST", "the clock is advanced with POST {\"ms\": ...}");
    }
    return HttpResponse::Error(404, "no host path " + std::string(kClockUri) + std::string(rest));
}

void PublishClockIfMoved(EventStream& events,
                         const ClubsWebService::ClockReading& before,
                         const ClubsWebService::ClockReading& after) {
    if (before == after) {
        return;
    }
    const std::string json = "{\"data\":" + ClockJson(after) +
                             ",\"eventType\":\"Update\",\"uri\":\"" + kClockUri + "\"}";
    events.Publish(ResourceEventName(kClockUri), json, kClockUri);
    events.Publish(BusEventFeed::kPlainEventName, json, kClockUri);
}

}  // namespace Kolm::Host
