#include "host/worlds/world.h"

namespace Kolm::Host {

const PlayerRecord* World::LoggedInPlayer() const {
    return loggedInAccountId ? service.FindPlayer(*loggedInAccountId) : nullptr;
}

}  // namespace Kolm::Host
