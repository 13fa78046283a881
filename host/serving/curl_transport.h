// CurlTransport: the host's SendHttpRequest, a real HTTP client over libcurl.
//
// Per request: the option word is the timeout in seconds (0: 20, at most 300), the flag byte
// switches TLS peer and name verification on (1) or off (0); redirects are never followed, so
// the bearer token the plugin sends goes nowhere but the address it named; only http and https
// are spoken, and proxies from the environment are ignored. Header lines that would break the
// request (line breaks in a name or value) are dropped.
//
// The answer's headers and body live in storage of the calling thread until that thread's next
// request (transport_answer.h). Transport failures answer code 1 with curl's message as the
// body. Thread-safe once curl_global_init has run (Global() does it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/host_boundary.h"

namespace Kolm::Host {

class CurlTransport {
  public:
    // Initialises libcurl for the process; call before any thread sends.
    static void Global();

    explicit CurlTransport(std::size_t maxBodyBytes = 16 * 1024 * 1024)
        : maxBodyBytes_(maxBodyBytes) {}

    void Send(HostHttpResponse& response, const HostHttpRequest& request) const;

  private:
    std::size_t maxBodyBytes_;
};

}  // namespace Kolm::Host
