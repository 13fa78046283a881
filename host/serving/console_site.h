// The browser console at /zun-clubs-host/console/: answers the requests for its embedded files
// and leads a browser from "/" and from the folder's name without its slash to the page.
//
// Files are answered with their media type, a strong ETag (their digest), 304 to a matching
// If-None-Match, "X-Content-Type-Options: nosniff" and a content security policy that lets the
// page load and call nothing but this host.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "host/serving/console_files.h"
#include "host/serving/http/http_message.h"

namespace Kolm::Host {

inline constexpr std::string_view kConsolePath = "/zun-clubs-host/console/";

// The answer for a console request; nothing when the request is not the console's (and "/" is
// the console's only for a client that asks for HTML, so that scripts still get the index).
std::optional<HttpResponse> ServeConsole(const HttpRequest& request,
                                         std::span<const EmbeddedFile> files);
inline std::optional<HttpResponse> ServeConsole(const HttpRequest& request) {
    return ServeConsole(request, ConsoleFiles());
}

// The media type served for a file name, by its extension.
std::string_view MediaTypeOf(std::string_view path);

}  // namespace Kolm::Host
