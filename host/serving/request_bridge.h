// RequestBridge: the host's routing of HTTP requests to the plugin's endpoints. It reads the
// function entries of the plugin's ApiDescription once, picks for each request the endpoint
// whose method and path template match, builds the host request record from the HTTP request
// (method, raw target, headers, body and its content type), calls the endpoint's handler
// function and turns the response record into the HTTP response.
//
// Choice of endpoint, as the plugin itself chooses among its routes: a template without
// placeholders equal to the path wins at once; otherwise the matching template whose captures
// are shortest in total, the earlier one on a tie. A path is matched without its query, and
// without decoding: "{name}" takes one segment as sent, "{+name}" the rest of the path.
//
// Response rules: status 0 becomes 200; an error with status 0 becomes 500; an error's text is
// the body {"error": text}; a value is written as JSON (a streamed body is passed on as it
// reads). The record is always released through its own release callback.
//
// Thread rules: immutable after construction; Handle may run on many threads at once, as the
// plugin allows its endpoint handlers to be called.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/serving/http/http_message.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

// The method code of a method name (HOST_METHOD_OTHER for names outside the seven).
uint32_t MethodCode(std::string_view method);
// "GET" for HOST_METHOD_GET and so on; "" for 0 and HOST_METHOD_OTHER.
const char* MethodName(uint32_t code);

// How far `path` matches `pathTemplate`: the total length of the captured texts, or -1 when it
// does not match.
long TemplateMatchLength(std::string_view pathTemplate, std::string_view path);

// The HTTP form of a response record, which is released here (stream included).
HttpResponse ResponseFromRecord(HostResponse& record);

class RequestBridge {
  public:
    // `description` belongs to the plugin and must stay valid while this bridge is used.
    explicit RequestBridge(const HostApiDescription* description);

    // True when some endpoint's template matches the path, whatever its method.
    bool ServesPath(std::string_view path) const;

    // The endpoint for that method and path, or null.
    const HostFunctionEntry* Pick(std::string_view method, std::string_view path) const;

    // Calls the plugin for `request`. A request no endpoint serves gets 404 with a JSON error
    // naming the methods the path has, if any.
    HttpResponse Handle(const HttpRequest& request) const;

    const std::vector<const HostFunctionEntry*>& Endpoints() const { return endpoints_; }

  private:
    std::vector<const HostFunctionEntry*> endpoints_;
    mutable std::atomic<uint32_t> nextCallToken_{1};
};

}  // namespace Kolm::Host
