// OriginPolicy: which requests a page open in the user's browser may send to a server of the
// host. A browser lets any page send requests to the loopback interface (a form post, a fetch
// without reading the answer), so without this a page on any site could change the running
// host. A browser names the page behind a request in `Origin` (on every request a script sends
// across origins and on every POST) and says how it relates to the target in `Sec-Fetch-Site`;
// curl and scripts send neither and are served.
//
// The rules, checked before any handler runs:
//  - An `Origin` that is not one of the server's own (http://127.0.0.1:<port> and
//    http://localhost:<port>) nor one of the allowed origins (--allow-origin) is refused, on
//    every method. "null" (sandboxed frames, files opened from disk) is never trusted, nor
//    http://[::1]:<port>: the host listens on 127.0.0.1 only, so a page there is another
//    program's. Such a request cannot be a use of the host: without a CORS grant (there is
//    none) the page could not read the answer anyway.
//  - A `Sec-Fetch-Site` other than "same-origin" and "none" ("cross-site", "same-site": another
//    port of localhost is the same site) is refused on every method but GET and HEAD, unless an
//    `Origin` that passed the first rule comes with it. GET and HEAD change nothing and are how
//    a link or a bookmark from elsewhere opens the console, which sends no `Origin`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/serving/http/http_message.h"

namespace Kolm::Host {

// `url` as browsers write an origin (scheme and host in lower case, the default port of http
// and https left out), when it has the shape scheme://host[:port] with no path; otherwise
// nothing, with `error` (when given) saying what is wrong.
std::optional<std::string> ParseOrigin(std::string_view url, std::string* error = nullptr);

class OriginPolicy {
  public:
    // The policy of a server on 127.0.0.1:`port`; `allowed` are origins as ParseOrigin gives
    // them, let through besides the server's own.
    OriginPolicy(uint16_t port, std::vector<std::string> allowed);

    // Why `request` is refused (the text of its 403), or nothing when it is served.
    std::optional<std::string> Refusal(const HttpRequest& request) const;

  private:
    bool Trusts(std::string_view origin) const;

    std::vector<std::string> own_;
    std::vector<std::string> allowed_;
};

}  // namespace Kolm::Host
