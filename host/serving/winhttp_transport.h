// WinHttpTransport: the host's SendHttpRequest on Windows, a real HTTP client over WinHTTP,
// the system's own (so that the program needs no library beside the system's DLLs).
//
// It behaves like the libcurl transport of the other systems: per request the option word is
// the timeout in seconds (0: 20, at most 300, for the whole exchange), the flag byte switches
// TLS certificate and name checks on (1) or off (0); redirects are never followed, so the
// bearer token the plugin sends goes nowhere but the address it named; only http and https
// are spoken; no proxy is used, no cookie is kept and no credential is sent on the system's
// behalf. Header lines that would break the request (line breaks in a name or value) are
// dropped. An answer body above the limit fails the request.
//
// The answer's headers and body live in storage of the calling thread until that thread's
// next request (transport_answer.h). Transport failures answer code 1 with a message as the
// body. Thread-safe: one WinHTTP session, one request handle per call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/host_boundary.h"

namespace Kolm::Host {

class WinHttpTransport {
  public:
    // Nothing to set up for the process (the session is the transport's own).
    static void Global() {}

    explicit WinHttpTransport(std::size_t maxBodyBytes = 16 * 1024 * 1024);
    ~WinHttpTransport();
    WinHttpTransport(const WinHttpTransport&) = delete;
    WinHttpTransport& operator=(const WinHttpTransport&) = delete;

    void Send(HostHttpResponse& response, const HostHttpRequest& request) const;

  private:
    std::size_t maxBodyBytes_;
    void* session_;  // the WinHTTP session; null when it could not be opened
};

}  // namespace Kolm::Host
