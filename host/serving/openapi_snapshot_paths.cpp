#include "host/serving/openapi_snapshot_paths.h"

#include <iterator>

#include "host/documents/record_schema.h"
#include "host/serving/openapi_host_paths.h"
#include "host/serving/record_text.h"
#include "host/serving/snapshot_records.h"

namespace Kolm::Host {
namespace {

std::string Json(const std::string& description,
                 const std::string& schema,
                 const std::string& example) {
    return R"({"description":")" + description + R"(","content":{"application/json":{"schema":)" +
           schema + R"(,"example":)" + example + "}}}";
}

const std::string kNameParameter =
    R"({"name":"name","in":"path","required":true,"schema":{"type":"string","pattern":)"
    R"("^[A-Za-z0-9._-]{1,64}$"},"example":"after-invite"})";

std::string BadName() {
    return OpenApiErrorAnswer(
        "A name that is not 1 to 64 letters, digits, '-', '_' or '.'; nothing changed",
        "a snapshot name is 1 to 64 letters, digits, '-', '_' or '.' (and not \\\".\\\" "
        "or \\\"..\\\"); \\\"my world\\\" is not one");
}

// What every path answers on a host that uses another clubs web service.
std::string NoWorld() {
    return OpenApiErrorAnswer(
        "This host uses another clubs web service (--clubs-service-url) and holds no "
        "world",
        "the world lives in the embedded clubs web service, not embedded in this host");
}

std::string NoSnapshot() {
    return OpenApiErrorAnswer("No snapshot has this name",
                              "no snapshot named \\\"after-invite\\\"");
}

// The answers as the host writes them, for the examples.
std::string ResetExample() {
    WorldResetAnswer reset;
    reset.cleared.assign(std::begin(kWorldResetClears), std::end(kWorldResetClears));
    return RecordText(reset);
}

WorldSnapshots::Summary ExampleSummary() {
    return {"after-invite", 4660};
}

std::string ListExample() {
    WorldSnapshotList list;
    list.snapshots = {ExampleSummary()};
    list.bytes = list.snapshots.front().bytes;
    return RecordText(list);
}

std::string ResetPath() {
    return std::string(R"({"post":{"operationId":"ResetHostWorld","tags":["Host"],)") +
           R"("summary":"Go back to the world the host started with",)" +
           R"("description":"The world becomes the one the host started with: the --world file )" +
           R"(as it was read at start (later changes to the file do not count), or the built-in )" +
           R"(world. The fault rules, the toasts (the player's notifications) and the request )" +
           R"(journal are cleared as well; the toasts and the journal are cleared after the plugin )" +
           R"(has heard the reset, so that its own notices and calls about it are gone too. The changes reach the plugin as push messages, as a )" +
           R"(PUT of the world does, and the answer comes once the plugin has heard them.",)" +
           R"("responses":{"200":)" +
           Json("The world is reset; `cleared` names what was cleared besides it",
                R"({"$ref":"#/components/schemas/WorldReset"})", ResetExample()) +
           R"(,"404":)" + NoWorld() + "}}}";
}

std::string SnapshotsPath() {
    return std::string(R"({"get":{"operationId":"ListHostWorldSnapshots","tags":["Host"],)") +
           R"("summary":"The worlds kept under a name, with their sizes and the bounds",)" +
           R"("responses":{"200":)" +
           Json("The kept worlds by name", R"({"$ref":"#/components/schemas/WorldSnapshotList"})",
                ListExample()) +
           R"(,"404":)" + NoWorld() + "}}}";
}

std::string SnapshotPath() {
    const std::string summary = R"({"$ref":"#/components/schemas/WorldSnapshot"})";
    const std::string example = RecordText(ExampleSummary());
    const std::string world = R"({"$ref":"#/components/schemas/World"})";
    return std::string(R"({"parameters":[)") + kNameParameter +
           R"(],"put":{"operationId":"KeepHostWorldSnapshot","tags":["Host"],)" +
           R"("summary":"Keep the world as it is now under the name",)" +
           R"("description":"Takes no body: the snapshot is of the running world. A name kept )" +
           R"(already is replaced. At most )" + std::to_string(WorldSnapshots::kMaxCount) +
           R"( snapshots of at most )" + std::to_string(WorldSnapshots::kMaxBytes) +
           R"( bytes of world documents together are kept.","responses":{"200":)" +
           Json("The snapshot replaced the one of that name", summary, example) + R"(,"201":)" +
           Json("The snapshot is kept", summary, example) + R"(,"400":)" +
           OpenApiErrorAnswer(
               "A bad name, a body, or past the bounds of count or bytes; nothing changed",
               "at most 32 snapshots may be kept; delete one before keeping another") +
           R"(}},"get":{"operationId":"GetHostWorldSnapshot","tags":["Host"],)" +
           R"("summary":"The kept world","responses":{"200":{"description":"The world as it was )" +
           R"(kept","content":{"application/json":{"schema":)" + world + R"(}}},"400":)" +
           BadName() + R"(,"404":)" + NoSnapshot() +
           R"(}},"delete":{"operationId":"RemoveHostWorldSnapshot","tags":["Host"],)" +
           R"("summary":"Remove the kept world","responses":{"204":{"description":"Removed"},)" +
           R"("400":)" + BadName() + R"(,"404":)" + NoSnapshot() + "}}}";
}

std::string RestorePath() {
    return std::string(R"({"parameters":[)") + kNameParameter +
           R"(],"post":{"operationId":"RestoreHostWorldSnapshot","tags":["Host"],)" +
           R"("summary":"Make the kept world the world",)" +
           R"("description":"The changes reach the plugin as push messages, as a PUT of the )" +
           R"(world does, and the answer comes once the plugin has heard them. Unlike a reset, )" +
           R"(the fault rules and the toasts stay. The snapshot stays kept.",)" +
           R"("responses":{"200":)" +
           Json("The world is the kept one", R"({"$ref":"#/components/schemas/WorldRestore"})",
                RecordText(WorldRestoreAnswer{ExampleSummary().name})) +
           R"(,"400":)" + BadName() + R"(,"404":)" + NoSnapshot() + "}}}";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> OpenApiSnapshotPaths() {
    return {
        {"/zun-clubs-host/v1/world/reset", ResetPath()},
        {"/zun-clubs-host/v1/world/snapshots", SnapshotsPath()},
        {"/zun-clubs-host/v1/world/snapshots/{name}", SnapshotPath()},
        {"/zun-clubs-host/v1/world/snapshots/{name}/restore", RestorePath()},
    };
}

std::vector<std::pair<std::string, std::string>> OpenApiSnapshotSchemas() {
    SchemaEntries components;
    SchemaOf<WorldResetAnswer>(components);
    SchemaOf<WorldSnapshotList>(components);
    SchemaOf<WorldRestoreAnswer>(components);
    return components;
}

}  // namespace Kolm::Host
