// The host's clock paths over the embedded clubs web service's clock, the one that stamps
// "since", "createdTs" and "lastModifiedTs" (milliseconds since 1970-01-01 UTC):
//   GET  /zun-clubs-host/v1/clock           200 {"now": <ms>, "frozen": <bool>}
//   PUT  /zun-clubs-host/v1/clock           {"now": <ms>, "frozen": <bool>}, either optional;
//                                           200 with the clock now
//   POST /zun-clubs-host/v1/clock/advance   {"ms": <1 .. kMaxClockAdvanceMs>}; 200 with the clock
// A body that cannot be read is answered 400 {"error": "..."} naming the field, a "now" before
// the newest stamp the service holds 409 (stamps never go back, so a club's lastModifiedTs stays
// the time of its latest change); nothing changes then. A running clock moves one millisecond
// ahead before each stamp; a frozen one gives every stamp its "now".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/clubs_web_service/clubs_web_service.h"
#include "host/serving/clock_records.h"
#include "host/serving/http/event_stream.h"
#include "host/serving/http/http_message.h"

namespace Kolm::Host {

constexpr const char* kClockUri = "/zun-clubs-host/v1/clock";

// `rest` is the path after "/zun-clubs-host/v1/clock" ("" or "/advance").
HttpResponse HandleClockRequest(const HttpRequest& request,
                                std::string_view rest,
                                ClubsWebService& service);

std::string ClockJson(const ClubsWebService::ClockReading& clock);

// Publishes the clock's "Update" event (under the clock's resource name and the plain name)
// when `after` differs from `before`, so that followers of the stream see every move the
// host's own paths make (a set, an advance, a new world).
void PublishClockIfMoved(EventStream& events,
                         const ClubsWebService::ClockReading& before,
                         const ClubsWebService::ClockReading& after);

}  // namespace Kolm::Host
