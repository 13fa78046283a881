// The host's world path:
//   GET /zun-clubs-host/v1/world   200, the world as it is now (JSON)
//   PUT /zun-clubs-host/v1/world   the new world, JSON, or YAML with Content-Type
//                                  application/x-yaml or text/yaml; 200 with the world now
// A world that cannot be read or breaks the service's rules is answered 400 {"error": "..."}
// and the running world stays as it was.
#pragma once

#include "host/serving/host_world.h"
#include "host/serving/http_message.h"

namespace Kolm::Host {

HttpResponse HandleWorldRequest(const HttpRequest& request, HostWorld& world);

}  // namespace Kolm::Host
