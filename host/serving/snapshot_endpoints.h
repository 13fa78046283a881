// The host's paths for going back to a world, under /zun-clubs-host/v1/world:
//   POST   /reset                       the world the host started with (--world as read at
//                                       start, or the built-in one); the fault rules and the
//                                       toasts (the plugin's own about the reset among them)
//                                       are cleared too. 200 {"cleared": [...], ...}
//   GET    /snapshots                   the kept worlds: {"snapshots": [{"name","bytes"}], ...}
//   PUT    /snapshots/{name}            keeps the world as it is now under the name (no body);
//                                       201 when new, 200 when it replaced one, {"name","bytes"}
//   GET    /snapshots/{name}            the kept world's document
//   POST   /snapshots/{name}/restore    the kept world becomes the world (fault rules and
//                                       toasts stay); 200 {"restored": name, "bytes": n}
//   DELETE /snapshots/{name}            204
// A reset or a restore reaches the plugin as push messages, as a PUT of the world does, and is
// answered once the plugin has heard them. A bad
// name or a world past the bounds is answered 400, an unknown name 404, {"error": "..."}.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/serving/host_world.h"
#include "host/serving/http/http_message.h"
#include "host/serving/world_snapshots.h"

namespace Kolm::Host {

// What the host does around an application of a kept or the starting world.
struct WorldRestoreSteps {
    // What a reset clears before the world is applied (the fault rules: none of them may meet
    // the plugin's refetches).
    std::function<void()> beforeReset;
    // Returns once the plugin has heard every push of the application, so that an answer means
    // the plugin shows the world.
    std::function<void()> awaitPlugin;
    // What a reset clears once the plugin has heard (the toasts, its own among them).
    std::function<void()> afterReset;
    // The names of what the two clear, for the answer ("faultRules", "toasts").
    std::vector<std::string> resetClears;
};

// `rest` is the path after ".../world".
HttpResponse HandleWorldSnapshotRequest(const HttpRequest& request,
                                        std::string_view rest,
                                        HostWorld& world,
                                        WorldSnapshots& snapshots,
                                        const WorldRestoreSteps& steps);

}  // namespace Kolm::Host
