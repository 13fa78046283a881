#include "clubs/clubs_manager.h"

#include <algorithm>

#include "clubs/member_order.h"

namespace Kolm::Client::Clubs {

namespace {

const Api::ClubMember* FindIn(const std::vector<Api::ClubMember>& members, uint64_t summonerId) {
    for (const Api::ClubMember& member : members) {
        if (member.summonerId == summonerId) {
            return &member;
        }
    }
    return nullptr;
}

}  // namespace

ClubsManager::ClubsManager() = default;

void ClubsManager::Attach(std::shared_ptr<ClubsServiceClient> client, ClubsPlugin* owner) {
    serviceClient = std::move(client);
    plugin = owner;
}

Api::PlayerClub* ClubsManager::FindClub(const std::string& clubKey) {
    for (Api::PlayerClub& club : membership.activeClubs) {
        if (club.key == clubKey) {
            return &club;
        }
    }
    return nullptr;
}

const Api::PlayerClub* ClubsManager::FindClub(const std::string& clubKey) const {
    return const_cast<ClubsManager*>(this)->FindClub(clubKey);
}

const Api::ClubMember* ClubsManager::FindMember(const std::string& clubKey,
                                                uint64_t summonerId) const {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return nullptr;
    }
    for (const auto* list : {&club->members.activeMembers, &club->members.invitedMembers,
                             &club->members.nominatedMembers}) {
        if (const Api::ClubMember* member = FindIn(*list, summonerId)) {
            return member;
        }
    }
    return nullptr;
}

const Api::ClubInvite* ClubsManager::FindInvite(const Api::ClubInvite& invite) const {
    for (const Api::ClubInvite& held : membership.pendingInvites) {
        if (held.clubKey == invite.clubKey && held.inviterSummonerId == invite.inviterSummonerId) {
            return &held;
        }
    }
    return nullptr;
}

void ClubsManager::SortActiveClubs() {
    const std::string& primaryKey = membership.preferences.primaryClubKey;
    std::sort(membership.activeClubs.begin(), membership.activeClubs.end(),
              [&primaryKey](const Api::PlayerClub& a, const Api::PlayerClub& b) {
                  const bool aPrimary = a.key == primaryKey;
                  const bool bPrimary = b.key == primaryKey;
                  if (aPrimary != bPrimary) {
                      return aPrimary;
                  }
                  return FoldedNameLess(a.name, b.name);
              });
}

}  // namespace Kolm::Client::Clubs
