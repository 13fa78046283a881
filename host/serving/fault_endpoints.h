// The host's fault-rule paths over the rules in force:
//   GET    /zun-clubs-host/v1/faults        200, the rules as a JSON array
//   POST   /zun-clubs-host/v1/faults        one rule; 201 with the stored rule and its "id"
//   DELETE /zun-clubs-host/v1/faults        204, every rule removed
//   DELETE /zun-clubs-host/v1/faults/<id>   204, or 404 when no rule has that id
// A rule that cannot be read is answered 400 {"error": "<what is wrong>"} and nothing changes.
#pragma once

#include <string>
#include <string_view>

#include "host/faults/fault_rules.h"
#include "host/serving/http_message.h"

namespace Kolm::Host {

// `rest` is the path after "/zun-clubs-host/v1/faults" ("" or "/<id>").
HttpResponse HandleFaultRequest(const HttpRequest& request,
                                std::string_view rest,
                                FaultRules& faults);

// The event stream's record of an applied rule, and its uri.
std::string FaultEventJson(const FaultRule& rule,
                           std::string_view service,
                           std::string_view method,
                           std::string_view path);
std::string FaultEventUri(const FaultRule& rule);

}  // namespace Kolm::Host
