#include "host/serving/world_endpoint.h"

#include "host/worlds/world_document.h"

namespace Kolm::Host {
namespace {

bool IsYaml(const HttpRequest& request) {
    std::string type = request.Header("Content-Type").value_or("");
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ') {
        type.pop_back();
    }
    return EqualsIgnoringCase(type, "application/x-yaml") ||
           EqualsIgnoringCase(type, "text/yaml") || EqualsIgnoringCase(type, "application/yaml");
}

}  // namespace

std::size_t HostBodyLimit(const HttpRequest& head,
                          std::string_view worldPath,
                          std::size_t otherwise) {
    return head.method == "PUT" && head.Path() == worldPath ? kMaxWorldBytes : otherwise;
}

HttpResponse HandleWorldRequest(const HttpRequest& request, HostWorld& world) {
    if (request.method == "GET" || request.method == "HEAD") {
        return HttpResponse::Json(200, WriteWorld(world.Current()));
    }
    if (request.method != "PUT") {
        return HttpResponse::NotAllowed("GET, HEAD, PUT",
                                        "the world is read with GET and replaced with PUT");
    }
    WorldParse parsed =
        ParseWorld(request.body, IsYaml(request) ? WorldFormat::Yaml : WorldFormat::Json);
    if (!parsed.world) {
        return HttpResponse::Error(400, parsed.error);
    }
    world.Apply(*parsed.world);
    return HttpResponse::Json(200, WriteWorld(world.Current()));
}

}  // namespace Kolm::Host
