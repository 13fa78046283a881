// The host's fault-rule paths over the rules in force:
//   GET    /zun-clubs-host/v1/faults        200, the rules as a JSON array
//   POST   /zun-clubs-host/v1/faults        one rule; 201 with the stored rule and its "id"
//   DELETE /zun-clubs-host/v1/faults        204, every rule removed
//   DELETE /zun-clubs-host/v1/faults/<id>   204, or 404 when no rule has that id
// A rule that cannot be read is answered 400 {"error": "<what is wrong>"}, one past the rules'
// limits 413 (too large) or 409 (too many in force), and nothing changes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/faults/fault_rules.h"
#include "host/serving/http/http_message.h"

namespace Kolm::Host {

// `rest` is the path after "/zun-clubs-host/v1/faults" ("" or "/<id>").
HttpResponse HandleFaultRequest(const HttpRequest& request,
                                std::string_view rest,
                                FaultRules& faults);

// The rule as an applied rule's event and log line name it: as listed, except that a "body" of
// more than kFaultEventBodyBytes is left out and "bodyBytes" gives its size, so that a rule
// applied to many calls is not copied whole into every event kept.
constexpr std::size_t kFaultEventBodyBytes = 1024;
std::string FaultRuleSummaryJson(const FaultRule& rule);

// The event stream's record of an applied rule ("rule" is its summary), and its uri.
std::string FaultEventJson(const FaultRule& rule,
                           std::string_view service,
                           std::string_view method,
                           std::string_view path);
std::string FaultEventUri(const FaultRule& rule);

}  // namespace Kolm::Host
