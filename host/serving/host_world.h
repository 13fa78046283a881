// HostWorld: the runnable host's world, spread over the parts that hold it: the embedded clubs
// web service (players, clubs, notices, limits), the simulated platform (who is logged in, the
// configuration values, blocked players, the players' names and icons). Apply hands a world to
// them; the service's observers then push the changed clubs and memberships to the plugin, the
// platform publishes its changed resources, exactly as when another player or a person at the
// platform's own paths makes the change. Current reads the world back from them.
//
// Thread rules: every member may be called from any thread; applications do not interleave.
#pragma once

#include <string>
#include <vector>

#include "host/serving/embedded_clubs_service.h"
#include "host/serving/host_options.h"
#include "host/serving/platform_simulation.h"
#include "host/worlds/world.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class HostWorld {
  public:
    // Both must outlive this object.
    HostWorld(EmbeddedClubsService& service, PlatformSimulation& platform)
        : service_(service), platform_(platform) {}

    // `world` has passed ParseWorld's checks.
    void Apply(const World& world);
    World Current() const;

    // The session's player for the world's logged-in player, or none.
    static std::optional<SimulatedPlayer> LoggedInPlayer(const World& world);
    // Changes the logged-in player's ids, name and token to the flags given (an account id
    // everywhere the world names it). "" when done, else why not: nobody is logged in, or the
    // new ids or token belong to another player.
    static std::string OverridePlayer(World& world, const PlayerFlags& flags);

  private:
    void ApplyPlatform(const World& world) ZC_REQUIRES(mutex_);

    EmbeddedClubsService& service_;
    PlatformSimulation& platform_;
    // Held for a whole Apply or Current, so that neither sees half of an application.
    mutable Platform::Mutex mutex_;
    // The values the last world set, as it set them.
    std::vector<WorldConfigValue> config_ ZC_GUARDED_BY(mutex_);
};

}  // namespace Kolm::Host
