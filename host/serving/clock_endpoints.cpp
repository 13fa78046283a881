#include "host/serving/clock_endpoints.h"

#include <optional>
#include <utility>

#include "host/serving/bus_event_feed.h"
#include "host/serving/record_text.h"
#include "host/simulated/simulated_plugin.h"

namespace Kolm::Host {
namespace {

HttpResponse SetClock(const HttpRequest& request, ClubsWebService& service) {
    ClockSetting setting;
    if (std::optional<HttpResponse> refused =
            ReadBodyRecord(request.body, R"({"now":1700000000000,"frozen":true})", setting)) {
        return std::move(*refused);
    }
    int64_t latest = 0;
    if (!service.SetClock(setting.now, setting.frozen, &latest)) {
        return HttpResponse::Error(
            409, "\"now\" " + std::to_string(*setting.now) + " is before " +
                     std::to_string(latest) +
                     ", the newest time stamp the service holds; the clock may not go back "
                     "past a stamp it gave");
    }
    return HttpResponse::Json(200, ClockJson(service.Clock()));
}

HttpResponse AdvanceClock(const HttpRequest& request, ClubsWebService& service) {
    ClockAdvance advance;
    if (std::optional<HttpResponse> refused =
            ReadBodyRecord(request.body, R"({"ms":60000})", advance)) {
        return std::move(*refused);
    }
    const std::optional<ClubsWebService::ClockReading> after =
        service.AdvanceClock(advance.ms, kMaxClockMs);
    if (!after) {
        return HttpResponse::Error(
            400, "\"ms\" " + std::to_string(advance.ms) + " would move the clock past " +
                     std::to_string(kMaxClockMs) + " (9999-12-31T23:59:59.999Z)");
    }
    return HttpResponse::Json(200, ClockJson(*after));
}

}  // namespace

std::string ClockJson(const ClubsWebService::ClockReading& clock) {
    return RecordText(clock);
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
