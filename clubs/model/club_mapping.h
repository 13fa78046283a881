// Mapping from the clubs web service's records to the API records: role texts to `ClubRole`
// and back, service members and member lists to `ClubMember`s, club data to a `PlayerClub`.
// Unknown role texts are never an error; they map to UNKNOWN.
#pragma once

#include <string>

#include "clubs/model/clubs_api_types.h"
#include "clubs/model/clubs_service_types.h"

namespace Kolm::Client::Clubs::Api {

// Exact, case-sensitive: "owner" and "UNKNOWN" both give UNKNOWN.
ClubRole ClubRoleFromText(const std::string& text);

// The role's name; a number outside the enumeration logs an error and gives "Unknown".
std::string MapClubRole(ClubRole role);

// A fresh `ClubMember` with ids, time stamp and role of the service entry; name and icon are
// left for the summoner look-up, the platform id is dropped.
ClubMember MapMember(const MemberSinceDto& member);

// Replaces the four lists; invitees are always INVITEE and nominees always NOMINEE whatever the
// service's role text says. The record's club key is not consulted.
void MapMemberLists(const ClubMembershipDto& membership, ClubMemberLists& lists);

// Fills the scalar part and the permissions of `club`. A role text that is not one of
// INVITEE, MEMBER, OFFICER, OWNER, UNKNOWN (NOMINEE included) leaves the role as it was.
// Owner, primary flag and members are left to the caller.
void MapClub(const ClubDataDto& data, PlayerClub& club);

}  // namespace Kolm::Client::Clubs::Api
