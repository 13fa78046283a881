// The records and enumerations of the clubs REST API: what the front end reads and sends, and
// the player's whole membership as the plugin holds it. Plain value types; their field names are
// their JSON member names, and `RegisterClubsTypes` registers every field in declaration order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Kolm::Client::Clubs::Api {

// A player's role in a club.
enum class ClubRole : int32_t {
    UNKNOWN = 0,
    OWNER = 1,
    OFFICER = 2,
    MEMBER = 3,
    INVITEE = 4,
    NOMINEE = 5,
};

// The vocabulary of club permissions. Registered for the API description only: the lists of
// `ClubPermissions` hold these names as texts.
enum class ClubPermission : int32_t {
    INVITE = 0,
    PROMOTE = 1,
    DEMOTE = 2,
    KICK_MEMBER = 3,
    KICK_OFFICER = 4,
    OWNERSHIP_TRANSFER = 5,
    NOMINATE = 6,
    SET_MOTD = 7,
    SET_DESCRIPTION = 8,
};

enum class ClubInviteStatus : int32_t {
    PENDING = 0,
    ACCEPTED = 1,
    REJECTED = 2,
    BLOCKED = 3,
};

// The local player's identity inside `PlayerClubMembership`.
struct ClubPlayer {
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
    std::string summonerName;
    int32_t summonerIconId = -1;  // -1: no icon known yet
};

// One member, invitee, nominee or removed member of a club. Starts with the fields of
// `ClubPlayer`; `since` is the service's time stamp of the entry, passed through unchanged.
struct ClubMember {
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
    std::string summonerName;
    int32_t summonerIconId = -1;
    int64_t since = 0;
    ClubRole role = ClubRole::UNKNOWN;
};

struct ClubMemberLists {
    std::vector<ClubMember> activeMembers;
    std::vector<ClubMember> invitedMembers;  // role always INVITEE
    std::vector<ClubMember> removedMembers;
    std::vector<ClubMember> nominatedMembers;  // role always NOMINEE
};

// Per role, the permission names the service grants. The member names are upper case because
// they are the JSON names the service uses.
struct ClubPermissions {
    std::vector<std::string> ADMIN;
    std::vector<std::string> OWNER;
    std::vector<std::string> OFFICER;
    std::vector<std::string> MEMBER;
    std::vector<std::string> INVITEE;
    std::vector<std::string> UNKNOWN;
};

// A club known only by key and name.
struct Club {
    std::string key;
    std::string name;
};

// A club the local player belongs to, as the front end sees it.
struct PlayerClub {
    std::string key;
    std::string name;
    std::string description;
    std::string motd;
    ClubMember owner;
    std::string tag;
    int64_t created = 0;
    int64_t lastModified = 0;
    std::string jid;
    ClubRole role = ClubRole::UNKNOWN;  // the local player's role
    bool primary = false;
    bool isClubTagEligible = false;  // never set by the plugin
    ClubPermissions permissions;
    ClubMemberLists members;
};

// An invitation addressed to the local player.
struct ClubInvite {
    std::string clubKey;
    std::string clubName;
    ClubInviteStatus status = ClubInviteStatus::PENDING;
    uint64_t inviterAccountId = 0;
    uint64_t inviterSummonerId = 0;
    std::string inviterSummonerName;
    uint64_t inviteeAccountId = 0;
    uint64_t inviteeSummonerId = 0;
};

// The feature's limits as the service sends them; all zero until the first membership arrives.
struct ClubsConfig {
    int32_t maxActiveClubs = 0;
    int32_t maxClubNameLength = 0;
    int32_t minClubNameLength = 0;
    int32_t maxClubTagLength = 0;
    int32_t minClubTagLength = 0;
    int32_t clubTagRequirementsMinMemberLevel = 0;
    int32_t clubTagRequirementMinMembers = 0;
    int32_t clubTagRequirementMinGames = 0;
    int32_t clubNominationsMaxPending = 0;
    bool clubNominationsEnabled = false;
    int32_t clubMotdMaxLength = 0;
    int32_t clubDescriptionMaxLength = 0;
};

struct ClubPreferences {
    std::string primaryClubKey;  // empty: no primary club
    bool shareClubAffiliation = false;
};

// Everything the local player has in clubs: the plugin's whole model.
struct PlayerClubMembership {
    ClubPlayer info;
    std::vector<PlayerClub> activeClubs;
    std::vector<ClubInvite> pendingInvites;
    std::vector<Club> removedClubs;        // never filled
    std::vector<Club> revokedInviteClubs;  // never filled
    ClubsConfig clubsServerConfig;
    ClubPreferences preferences;
    std::string secureClubPresenceInfoString;
};

// Single-field bodies of the name, message-of-the-day and tag endpoints.
struct ClubName {
    std::string name;
};

struct ClubMOTD {
    std::string motd;
};

struct ClubTag {
    std::string tag;
};

}  // namespace Kolm::Client::Clubs::Api
