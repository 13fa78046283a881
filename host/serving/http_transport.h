// HttpTransport: the host's HTTP client for the plugin's SendHttpRequest, the system's own on
// Windows (WinHTTP) and libcurl elsewhere. Both have the same members and behaviour.
#pragma once

#if defined(_WIN32)
#include "host/serving/winhttp_transport.h"
#else
#include "host/serving/curl_transport.h"
#endif

namespace Kolm::Host {

#if defined(_WIN32)
using HttpTransport = WinHttpTransport;
#else
using HttpTransport = CurlTransport;
#endif

}  // namespace Kolm::Host
