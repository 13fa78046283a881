#include "clubs/clubs_manager.h"

#include <algorithm>
#include <cctype>

namespace Kolm::Client::Clubs {

namespace {

// Byte-wise comparison after lower-casing A to Z; a proper prefix sorts first.
bool FoldedNameLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(a[i])));
        const auto cb = static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(b[i])));
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

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
