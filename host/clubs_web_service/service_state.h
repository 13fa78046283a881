// The in-memory state of the clubs web service: its limits and permission map, the players it
// knows, and the clubs with their member lists. Plain records; the service owns one of each.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Kolm::Host {

// The limits the service enforces and reports to clients as its server configuration.
struct ClubsServiceLimits {
    int32_t maxActiveClubs = 10;
    int32_t maxClubNameLength = 24;
    int32_t minClubNameLength = 3;
    int32_t maxClubTagLength = 5;
    int32_t minClubTagLength = 2;
    int32_t clubTagRequirementsMinMemberLevel = 30;
    int32_t clubTagRequirementMinMembers = 1;
    int32_t clubTagRequirementMinGames = 0;
    int32_t clubNominationsMaxPending = 10;
    bool clubNominationsEnabled = true;
    int32_t clubMotdMaxLength = 1000;
    int32_t clubDescriptionMaxLength = 1000;
    // Active members and invitees a club may have; the service's own rule, not reported to
    // clients with the others.
    int32_t maxClubMembers = 100;
};

// The integer limits the service reports, by their names in the server configuration and in
// that order (clubNominationsEnabled, the one truth value, follows them there).
const std::vector<std::pair<const char*, int32_t ClubsServiceLimits::*>>& ReportedLimitNumbers();

// Permission names per role, keyed by role text ("ADMIN", "OWNER", "OFFICER", "MEMBER",
// "INVITEE", "UNKNOWN"). The service both reports this map and acts by it.
using PermissionMap = std::map<std::string, std::vector<std::string>>;

PermissionMap DefaultPermissionMap();

struct ClubsServiceConfig {
    ClubsServiceLimits limits;
    PermissionMap permissions = DefaultPermissionMap();
    std::string chatDomain = "clubs.chat.local";  // the part of a club's jid after "@"
    int64_t startTime = 1700000000000;            // first time stamp, in milliseconds
};

// A player the service knows, with the bearer token that authenticates them.
struct ServicePlayer {
    std::string platformId;
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
    std::string token;
};

// A notice handed to the player with the next initial membership read, then dropped.
struct ServiceNotice {
    std::string clubKey;
    std::string clubName;
    std::string role;
    std::string status;
    std::string action;
};

// Per-player state beyond the player's club entries.
struct PlayerRecord {
    ServicePlayer player;
    std::string primaryClubKey;
    bool shareClubAffiliation = false;
    std::vector<ServiceNotice> notices;
    std::vector<std::pair<std::string, std::string>> removedClubs;        // key, name
    std::vector<std::pair<std::string, std::string>> revokedInviteClubs;  // key, name
};

// One entry of a club's lists; `byAccountId` is the inviter or the nominator.
struct ClubEntry {
    uint64_t accountId = 0;
    int64_t since = 0;
    std::string role;
    uint64_t byAccountId = 0;
};

struct ServiceClub {
    std::string key;
    std::string name;
    std::string tag;
    std::string description;
    std::string motd;
    std::string platformId;
    int64_t createdTs = 0;
    int64_t lastModifiedTs = 0;
    std::string jid;
    std::vector<ClubEntry> active;
    std::vector<ClubEntry> invited;
    std::vector<ClubEntry> nominated;
    std::vector<ClubEntry> removed;
};

}  // namespace Kolm::Host

namespace Kolm::Host {

// Everything the service holds. Players are keyed by account id, clubs by key.
struct ServiceData {
    ClubsServiceConfig config;
    std::map<uint64_t, PlayerRecord> players;
    std::map<std::string, ServiceClub> clubs;

    PlayerRecord* FindPlayer(uint64_t accountId);
    const PlayerRecord* FindPlayer(uint64_t accountId) const;
    PlayerRecord* FindPlayerBySummoner(uint64_t summonerId);
    ServiceClub* FindClub(const std::string& key);
    // Number of clubs in which the player is an active member.
    int ActiveClubCount(uint64_t accountId) const;
};

ClubEntry* FindEntry(std::vector<ClubEntry>& entries, uint64_t accountId);
const ClubEntry* FindEntry(const std::vector<ClubEntry>& entries, uint64_t accountId);
bool RemoveEntry(std::vector<ClubEntry>& entries, uint64_t accountId);

// The player's role text in the club: the active role, else "INVITEE" or "NOMINEE", else
// "UNKNOWN".
std::string RoleIn(const ServiceClub& club, uint64_t accountId);

// Where a player stands in one club: the player's first entry in each of its lists (null when
// not listed there).
struct ClubPlace {
    const ServiceClub* club = nullptr;
    const ClubEntry* active = nullptr;
    const ClubEntry* invited = nullptr;
    const ClubEntry* nominated = nullptr;

    // As RoleIn: the active role, else "INVITEE" or "NOMINEE".
    std::string Role() const;
};

// The clubs in which one player is listed, in key order. One pass over every club's lists.
std::vector<ClubPlace> PlacesOf(const ServiceData& data, uint64_t accountId);
// The same for every account listed in any club, in one pass over every club's lists: what a
// check or a comparison of every player's memberships uses, instead of a pass per player. The
// pointers stay valid while `data` is not changed.
std::map<uint64_t, std::vector<ClubPlace>> PlacesByAccount(const ServiceData& data);

}  // namespace Kolm::Host
