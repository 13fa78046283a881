// The OpenAPI 3 document of the plugin's REST API, generated from the ApiDescription the plugin
// returned at load: one operation per endpoint (its function name as operationId, its
// description and tags, its arguments as path, query or header parameters or as the request
// body, its result as the success schema), one schema per registered structure (its fields)
// and enumeration (its value names), the plugin's events under "x-events", and the host's
// event stream as one more operation, so that any OpenAPI tool can browse and call the API.
#pragma once

#include <string>
#include <string_view>

#include "plugin/host_boundary.h"

namespace Kolm::Host {

struct OpenApiInfo {
    std::string title = "zun-clubs";
    std::string version = "1.0.0";
    std::string serverUrl;        // e.g. "http://127.0.0.1:8137"; none when empty
    std::string eventStreamPath;  // the host's stream endpoint; none when empty
};

// The document as pretty-printed JSON.
std::string BuildOpenApiDocument(const HostApiDescription& description, const OpenApiInfo& info);

// A registered type name as a component name: every character outside letters, digits, ".",
// "-" and "_" becomes "_".
std::string SchemaName(std::string_view registeredName);

// "{name}" for every "{name}", "{+name}" and "{#name}" of a path template.
std::string OpenApiPath(std::string_view pathTemplate);

}  // namespace Kolm::Host
