// World: everything the emulated platform knows, as one record: the clubs web service's data
// (players with their tokens and pending notices, clubs with their member lists, the limits and
// the service's clock), the players' names and icons, which player is logged in, the platform
// configuration's values and the blocked players. The runnable host starts from one, can hand
// out the one it runs now, and can be given a new one while it runs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/clubs_web_service/service_state.h"

namespace Kolm::Host {

struct WorldProfile {
    std::string name;
    int32_t profileIconId = 0;
    bool operator==(const WorldProfile&) const = default;
};

// One value of the platform configuration, its value as compact JSON.
struct WorldConfigValue {
    std::string nameSpace;
    std::string key;
    std::string json;
    bool operator==(const WorldConfigValue&) const = default;
};

struct WorldBlockedPlayer {
    uint64_t summonerId = 0;
    std::string name;
    bool operator==(const WorldBlockedPlayer&) const = default;
};

struct World {
    ServiceData service;                        // players, clubs, limits
    int64_t clock = 0;                          // the service's last time stamp
    bool clockFrozen = false;                   // every new stamp is `clock`
    std::map<uint64_t, WorldProfile> profiles;  // by account id, one per service player
    std::optional<uint64_t> loggedInAccountId;  // none: nobody is logged in
    std::vector<WorldConfigValue> platformConfig;
    std::vector<WorldBlockedPlayer> blockedPlayers;

    // The logged-in player's service record, or null.
    const PlayerRecord* LoggedInPlayer() const;
};

}  // namespace Kolm::Host
