// The host's world path:
//   GET /zun-clubs-host/v1/world   200, the world as it is now (JSON)
//   PUT /zun-clubs-host/v1/world   the new world, JSON, or YAML with Content-Type
//                                  application/x-yaml or text/yaml; 200 with the world now
// A world that cannot be read or breaks the service's rules is answered 400 {"error": "..."}
// and the running world stays as it was. A document above kMaxWorldBytes is refused with 413
// before it is read.
#pragma once

#include <cstddef>
#include <string_view>

#include "host/serving/host_world.h"
#include "host/serving/http/http_message.h"

namespace Kolm::Host {

// The largest world document a PUT may send, far above the 1 MiB of every other body: a world
// of 100,000 players in 100,000 clubs of five members is about 59 MB as
// scripts/generate-large-world.py writes it.
constexpr std::size_t kMaxWorldBytes = 64 * 1024 * 1024;

// The body limit of a request to the host's server: kMaxWorldBytes for a PUT of the world
// (at `worldPath`), `otherwise` for the rest.
std::size_t HostBodyLimit(const HttpRequest& head,
                          std::string_view worldPath,
                          std::size_t otherwise);

HttpResponse HandleWorldRequest(const HttpRequest& request, HostWorld& world);

}  // namespace Kolm::Host
