#include "clubs/model/club_mapping.h"

#include <cstdint>
#include <optional>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/message_format.h"

namespace Kolm::Client::Clubs::Api {
namespace {

// Role texts of a club's data. NOMINEE is not among them: the service reports nominations in
// the member lists, and a club's own role text of NOMINEE does not change the held role.
std::optional<ClubRole> ClubDataRole(const std::string& text) {
    if (text == "INVITEE")
        return ClubRole::INVITEE;
    if (text == "MEMBER")
        return ClubRole::MEMBER;
    if (text == "OFFICER")
        return ClubRole::OFFICER;
    if (text == "OWNER")
        return ClubRole::OWNER;
    if (text == "UNKNOWN")
        return ClubRole::UNKNOWN;
    return std::nullopt;
}

void AppendMapped(const std::vector<MemberSinceDto>& from,
                  std::vector<ClubMember>& to,
                  std::optional<ClubRole> forcedRole) {
    to.clear();
    to.reserve(from.size());
    for (const MemberSinceDto& entry : from) {
        to.push_back(MapMember(entry));
        if (forcedRole)
            to.back().role = *forcedRole;
    }
}

}  // namespace

ClubRole ClubRoleFromText(const std::string& text) {
    if (text == "OWNER")
        return ClubRole::OWNER;
    if (text == "OFFICER")
        return ClubRole::OFFICER;
    if (text == "MEMBER")
        return ClubRole::MEMBER;
    if (text == "INVITEE")
        return ClubRole::INVITEE;
    if (text == "NOMINEE")
        return ClubRole::NOMINEE;
    return ClubRole::UNKNOWN;
}

std::string MapClubRole(ClubRole role) {
    switch (role) {
        case ClubRole::UNKNOWN:
            return "UNKNOWN";
        case ClubRole::OWNER:
            return "OWNER";
        case ClubRole::OFFICER:
            return "OFFICER";
        case ClubRole::MEMBER:
            return "MEMBER";
        case ClubRole::INVITEE:
            return "INVITEE";
        case ClubRole::NOMINEE:
            return "NOMINEE";
    }
    const std::string message =
        Format("MapClubRole() called with unknown type of %1", static_cast<int32_t>(role));
    Log(kLogError, kLogGroupDbg, "zun-clubs: %s", message.c_str());
    return "Unknown";
}

ClubMember MapMember(const MemberSinceDto& member) {
    ClubMember mapped;
    mapped.accountId = member.playerInfo.currentAccountId;
    mapped.summonerId = member.playerInfo.summonerId;
    mapped.since = member.since;
    mapped.role = ClubRoleFromText(member.role);
    return mapped;
}

void MapMemberLists(const ClubMembershipDto& membership, ClubMemberLists& lists) {
    AppendMapped(membership.activeMembers, lists.activeMembers, std::nullopt);
    AppendMapped(membership.nominatedMembers, lists.nominatedMembers, ClubRole::NOMINEE);
    AppendMapped(membership.invitedMembers, lists.invitedMembers, ClubRole::INVITEE);
    AppendMapped(membership.removedMembers, lists.removedMembers, std::nullopt);
}

void MapClub(const ClubDataDto& data, PlayerClub& club) {
    club.key = data.clubKey;
    club.name = data.name;
    club.description = data.description;
    club.motd = data.motd;
    club.tag = data.tag;
    club.created = data.createdTs;
    club.lastModified = data.lastModifiedTs;
    club.jid = data.jid;
    club.permissions = data.permissionMap;
    if (const std::optional<ClubRole> role = ClubDataRole(data.role))
        club.role = *role;
}

}  // namespace Kolm::Client::Clubs::Api
