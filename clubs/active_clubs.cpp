// Reconciling the held clubs with the clubs of a fresh membership answer.
//
// Held so far: every fresh club is mapped, stored in service order (one entry per key) and
// published, then the list is sorted and published. Club push topics, the change toasts and the
// members' names and icons come with the push-message and notification work.
#include <string>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_publish.h"
#include "clubs/model/club_mapping.h"

namespace Kolm::Client::Clubs {

namespace {

// The first active member whose role text is exactly "OWNER"; an empty member when none is.
Api::ClubMember OwnerOf(const Api::ClubMembershipDto& membership) {
    for (const Api::MemberSinceDto& member : membership.activeMembers) {
        if (member.role == "OWNER") {
            return Api::MapMember(member);
        }
    }
    return Api::ClubMember();
}

}  // namespace

void ClubsManager::ApplyActiveClubs(const std::vector<Api::ClubDto>& freshClubs) {
    membership.activeClubs.clear();
    for (const Api::ClubDto& fresh : freshClubs) {
        Api::PlayerClub club;
        Api::MapClub(fresh.clubData, club);
        club.primary = club.key == membership.preferences.primaryClubKey;
        Api::MapMemberLists(fresh.membership, club.members);
        club.owner = OwnerOf(fresh.membership);

        // A key the service lists twice keeps one entry: the later record replaces it.
        Api::PlayerClub* held = FindClub(club.key);
        if (held != nullptr) {
            *held = club;
        } else {
            membership.activeClubs.push_back(club);
        }

        const std::string clubPath = std::string(kClubsPath) + "/" + club.key;
        PublishUpdate(clubPath + "/members", club.members.activeMembers);
        PublishUpdate(clubPath + "/invitations", club.members.invitedMembers);
        PublishUpdate(clubPath + "/nominations", club.members.nominatedMembers);
        PublishUpdate(clubPath, club);
        PublishUpdate(clubPath + "/motd", club.motd);
    }
    SortActiveClubs();
    PublishUpdate(kClubsPath, membership.activeClubs);
}

}  // namespace Kolm::Client::Clubs
