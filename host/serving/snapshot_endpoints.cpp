#include "host/serving/snapshot_endpoints.h"

#include <string>

#include "host/serving/record_text.h"
#include "host/serving/snapshot_records.h"
#include "host/worlds/world_document.h"

namespace Kolm::Host {
namespace {

constexpr std::string_view kSnapshots = "/snapshots";
constexpr std::string_view kRestore = "/restore";

HttpResponse NoSnapshot(const std::string& name) {
    return HttpResponse::Error(404, "no snapshot named \"" + name + "\"");
}

HttpResponse Reset(const HttpRequest& request,
                   HostWorld& world,
                   const WorldSnapshots& snapshots,
                   const WorldRestoreSteps& steps) {
    if (request.method != "POST") {
        return HttpResponse::NotAllowed("POST", "the world is reset with POST");
    }
    steps.beforeReset();
    world.Apply(snapshots.Starting());
    steps.awaitPlugin();
    steps.afterReset();
    WorldResetAnswer answer;
    answer.cleared = steps.resetClears;
    return HttpResponse::Json(200, RecordText(answer));
}

HttpResponse List(const HttpRequest& request, const WorldSnapshots& snapshots) {
    if (request.method != "GET" && request.method != "HEAD") {
        return HttpResponse::NotAllowed("GET, HEAD", "the snapshots are listed with GET");
    }
    WorldSnapshotList list;
    list.snapshots = snapshots.List();
    for (const WorldSnapshots::Summary& summary : list.snapshots) {
        list.bytes += summary.bytes;
    }
    return HttpResponse::Json(200, RecordText(list));
}

HttpResponse Keep(const HttpRequest& request,
                  const std::string& name,
                  const HostWorld& world,
                  WorldSnapshots& snapshots) {
    if (!request.body.empty()) {
        return HttpResponse::Error(
            400,
            "a snapshot keeps the world as it is now and takes no body; to keep another world, "
            "PUT it to /zun-clubs-host/v1/world first");
    }
    World current = world.Current();
    const std::size_t bytes = WriteWorld(current).size();
    const bool replacing = snapshots.Find(name).has_value();
    if (const std::string refused = snapshots.Keep(name, std::move(current), bytes);
        !refused.empty()) {
        return HttpResponse::Error(400, refused);
    }
    return HttpResponse::Json(replacing ? 200 : 201,
                              RecordText(WorldSnapshots::Summary{name, bytes}));
}

HttpResponse Restore(const HttpRequest& request,
                     const std::string& name,
                     HostWorld& world,
                     const WorldSnapshots& snapshots,
                     const WorldRestoreSteps& steps) {
    if (request.method != "POST") {
        return HttpResponse::NotAllowed("POST", "a snapshot is restored with POST");
    }
    const std::optional<World> kept = snapshots.Find(name);
    if (!kept) {
        return NoSnapshot(name);
    }
    world.Apply(*kept);
    steps.awaitPlugin();
    return HttpResponse::Json(200, RecordText(WorldRestoreAnswer{name}));
}

HttpResponse One(const HttpRequest& request,
                 const std::string& name,
                 HostWorld& world,
                 WorldSnapshots& snapshots) {
    if (request.method == "PUT") {
        return Keep(request, name, world, snapshots);
    }
    if (request.method == "GET" || request.method == "HEAD") {
        const std::optional<World> kept = snapshots.Find(name);
        return kept ? HttpResponse::Json(200, WriteWorld(*kept)) : NoSnapshot(name);
    }
    if (request.method == "DELETE") {
        if (!snapshots.Remove(name)) {
            return NoSnapshot(name);
        }
        HttpResponse removed = HttpResponse::Json(204, "");
        removed.contentType.clear();
        return removed;
    }
    return HttpResponse::NotAllowed("GET, HEAD, PUT, DELETE",
                                    "a snapshot is kept with PUT, read with GET, removed with "
                                    "DELETE and restored with POST to its /restore path");
}

}  // namespace

HttpResponse HandleWorldSnapshotRequest(const HttpRequest& request,
                                        std::string_view rest,
                                        HostWorld& world,
                                        WorldSnapshots& snapshots,
                                        const WorldRestoreSteps& steps) {
    if (rest == "/reset") {
        return Reset(request, world, snapshots, steps);
    }
    if (rest == kSnapshots) {
        return List(request, snapshots);
    }
    if (rest.substr(0, kSnapshots.size() + 1) != "/snapshots/") {
        return HttpResponse::Error(404,
                                   "no host path /zun-clubs-host/v1/world" + std::string(rest));
    }
    std::string_view name = rest.substr(kSnapshots.size() + 1);
    const bool restore =
        name.size() > kRestore.size() && name.substr(name.size() - kRestore.size()) == kRestore;
    if (restore) {
        name.remove_suffix(kRestore.size());
    }
    if (const std::string bad = WorldSnapshots::CheckName(name); !bad.empty()) {
        return HttpResponse::Error(400, bad);
    }
    return restore ? Restore(request, std::string(name), world, snapshots, steps)
                   : One(request, std::string(name), world, snapshots);
}

}  // namespace Kolm::Host
