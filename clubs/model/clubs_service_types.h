// The clubs web service's own records ("Dto"): roles as texts, members with a nested player
// record, invitation states as plain numbers. Field names are the service's JSON member names
// and are registered in declaration order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clubs/model/clubs_api_types.h"

namespace Kolm::Client::Clubs::Api {

struct ClubDataDto {
    std::string clubKey;
    std::string name;
    std::string tag;
    std::string description;
    std::string motd;
    int64_t createdTs = 0;
    int64_t lastModifiedTs = 0;
    std::string jid;
    std::string role;  // the requesting player's role, as role text
    ClubPermissions permissionMap;
};

struct PlayerInfoDto {
    std::string currentPlatformId;
    uint64_t currentAccountId = 0;
    uint64_t summonerId = 0;
};

struct MemberSinceDto {
    PlayerInfoDto playerInfo;
    int64_t since = 0;
    std::string role;
};

struct ClubMembershipDto {
    std::string clubKey;
    std::vector<MemberSinceDto> activeMembers;
    std::vector<MemberSinceDto> invitedMembers;
    std::vector<MemberSinceDto> removedMembers;
    std::vector<MemberSinceDto> nominatedMembers;
};

// A club with its members: the answer to most club operations.
struct ClubDto {
    ClubDataDto clubData;
    ClubMembershipDto membership;
    std::string platformId;
    std::string resourceUri;
};

struct ClubReferenceDto {
    std::string clubKey;
    std::string clubName;
};

// The same twelve limits, in the same order, as `ClubsConfig`.
struct ClubsServerConfigDto {
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

// An invitation as a club member sends it; `status` is the number of a `ClubInviteStatus`.
struct BaseMembershipInviteDto {
    std::string clubKey;
    std::string clubName;
    int32_t status = 0;
    std::string inviterPlatformId;
    uint64_t inviterAccountId = 0;
    uint64_t inviterSummonerId = 0;
    std::string inviteePlatformId;
    uint64_t inviteeSummonerId = 0;
};

// An invitation as the service reports it and as the invited player answers it.
struct MembershipInviteDto {
    std::string clubKey;
    std::string clubName;
    int32_t status = 0;
    std::string inviterPlatformId;
    uint64_t inviterAccountId = 0;
    uint64_t inviterSummonerId = 0;
    std::string inviteePlatformId;
    uint64_t inviteeSummonerId = 0;
    uint64_t inviteeAccountId = 0;
};

// A notice about the player's memberships, delivered with the first membership read. The
// misspelt name is the service's.
struct MembershipNoficationsDto {
    std::string clubKey;
    std::string name;
    std::string role;
    std::string status;
    std::string action;
};

struct PlayerMembershipPreferencesDto {
    std::string primaryActiveClubKey;
    bool shareClubAffiliation = false;
};

struct PlayerMembershipDto {
    PlayerInfoDto player;
    std::vector<ClubDto> activeClubs;
    std::vector<MembershipInviteDto> pendingInvites;
    std::vector<ClubReferenceDto> removedClubs;
    std::vector<ClubReferenceDto> revokedInviteClubs;
    std::string resourceUri;
    ClubsServerConfigDto clubsServerConfig;
    PlayerMembershipPreferencesDto playerClubPreferences;
    std::string secureClubPresenceInfoString;
};

struct PlayerMembershipWithNotificationsDto {
    PlayerMembershipDto playerMembership;
    std::vector<MembershipNoficationsDto> membershipNotifications;
};

// Registered for the API description only; no operation produces or reads them.
struct ClubsPresenceDataDto {
    std::string clubName;
    std::string clubTag;
    uint64_t summonerId = 0;
    std::string summonerName;
};

struct RosterItemDto {
    uint64_t accountId = 0;
    std::string summonerName;
    int32_t summonerIconId = 0;
    std::string clubRole;
};

}  // namespace Kolm::Client::Clubs::Api
