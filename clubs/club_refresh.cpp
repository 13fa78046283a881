// The shared procedures through which every change of a held club goes: StoreClub,
// ApplyMemberLists, CheckOwnerChange and RefreshClub. They keep the held copy equal to what the
// web service last returned, publish each change and raise the toasts about members.
//
// Calls to other plugins made on the way may reach the host and return only later, so the
// procedures never keep a pointer into `membership.activeClubs` across one: they look the club
// up again afterwards.
#include <algorithm>
#include <string>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_publish.h"
#include "clubs/member_order.h"
#include "clubs/model/club_mapping.h"
#include "clubs/toast_kinds.h"
#include "logging/logger.h"

namespace Kolm::Client::Clubs {

namespace {

std::string ClubPath(const std::string& clubKey) {
    return std::string(kClubsPath) + "/" + clubKey;
}

const Api::MemberSinceDto* FirstOwner(const std::vector<Api::MemberSinceDto>& active) {
    for (const Api::MemberSinceDto& member : active) {
        if (member.role == "OWNER") {
            return &member;
        }
    }
    return nullptr;
}

// The summoner ids of a list, sorted: clubs have no member limit, so telling joined from left
// members looks each one up by bisection rather than scanning the other list per member.
template <class Member, class Id>
std::vector<uint64_t> SortedIds(const std::vector<Member>& members, Id id) {
    std::vector<uint64_t> ids;
    ids.reserve(members.size());
    for (const Member& member : members) {
        ids.push_back(id(member));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

uint64_t HeldId(const Api::ClubMember& member) {
    return member.summonerId;
}

uint64_t FreshId(const Api::MemberSinceDto& member) {
    return member.playerInfo.summonerId;
}

bool Contains(const std::vector<uint64_t>& sortedIds, uint64_t summonerId) {
    return std::binary_search(sortedIds.begin(), sortedIds.end(), summonerId);
}

// Fresh entries whose summoner is in no held entry, in fresh order.
std::vector<const Api::MemberSinceDto*> Added(const std::vector<Api::ClubMember>& held,
                                              const std::vector<Api::MemberSinceDto>& fresh) {
    const std::vector<uint64_t> heldIds = SortedIds(held, HeldId);
    std::vector<const Api::MemberSinceDto*> added;
    for (const Api::MemberSinceDto& member : fresh) {
        if (!Contains(heldIds, FreshId(member))) {
            added.push_back(&member);
        }
    }
    return added;
}

bool LeadsClub(Api::ClubRole role) {
    return role == Api::ClubRole::OWNER || role == Api::ClubRole::OFFICER;
}

// Toasts a member who is new to a list under the name the summoner plugin knows; without that
// name there is no toast.
void ToastNewMember(ClubsManager& manager,
                    const Api::MemberSinceDto& member,
                    Api::ClubRole role,
                    const std::string& clubKey,
                    const std::string& clubName,
                    const char* detailKey) {
    const uint64_t id = member.playerInfo.summonerId;
    RemoteResult<Api::SummonerResource> summoner = manager.FetchSummoner(id);
    if (summoner.failed) {
        Log(kLogError, kLogGroupDbg, "zun-clubs: Failed to get summoner data: %s",
            summoner.message.c_str());
        return;
    }
    if (auto existing = manager.ReadPlayerNotifications()) {
        manager.PostMemberNotification(id, summoner.value.displayName, role, clubKey, clubName,
                                       Toast::kTypeClub, Toast::kTitle, detailKey, *existing);
    }
}

}  // namespace

Api::PlayerClub ClubsManager::StoreClub(const Api::ClubDto& fresh) {
    Api::PlayerClub club;
    Api::MapClub(fresh.clubData, club);
    club.primary = club.key == membership.preferences.primaryClubKey;
    const std::string key = club.key;
    if (Api::PlayerClub* held = FindClub(key)) {
        *held = std::move(club);
    } else {
        membership.activeClubs.push_back(std::move(club));
    }

    ApplyMemberLists(fresh.membership);

    Api::PlayerClub stored;
    if (const Api::PlayerClub* held = FindClub(key)) {
        stored = *held;
    }
    PublishUpdate(ClubPath(key), stored);
    PublishUpdate(ClubPath(key) + "/motd", stored.motd);
    return stored;
}

Api::ClubMemberLists ClubsManager::ApplyMemberLists(const Api::ClubMembershipDto& fresh) {
    const Api::PlayerClub* held = FindClub(fresh.clubKey);
    Api::ClubMemberLists lists;
    Api::MapMemberLists(fresh, lists);
    if (held == nullptr) {
        // A club that went away meanwhile (a push, a leave): the answer is reported as the
        // service gave it, and nothing held or published changes.
        return lists;
    }
    const std::string clubName = held->name;
    const uint64_t previousOwnerId = held->owner.summonerId;

    LookupMemberNamesAndIcons(lists.activeMembers);
    LookupMemberNamesAndIcons(lists.invitedMembers);
    LookupMemberNamesAndIcons(lists.nominatedMembers);
    Api::ClubMember owner =
        CheckOwnerChange(fresh.clubKey, clubName, previousOwnerId, fresh.activeMembers);

    Api::PlayerClub* club = FindClub(fresh.clubKey);
    if (club == nullptr) {
        return lists;
    }
    club->members = std::move(lists);
    club->owner = std::move(owner);
    SortMembers(club->members.activeMembers);
    SortMembers(club->members.invitedMembers);
    SortMembers(club->members.nominatedMembers);

    const std::string path = ClubPath(club->key);
    PublishUpdate(path + "/members", club->members.activeMembers);
    PublishUpdate(path + "/invitations", club->members.invitedMembers);
    PublishUpdate(path + "/nominations", club->members.nominatedMembers);
    PublishUpdate(path, *club);
    return club->members;
}

Api::ClubMember ClubsManager::CheckOwnerChange(
    const std::string& clubKey,
    const std::string& clubName,
    uint64_t previousOwnerId,
    const std::vector<Api::MemberSinceDto>& freshActive) {
    const Api::MemberSinceDto* found = FirstOwner(freshActive);
    if (found == nullptr) {
        return Api::ClubMember();
    }
    Api::ClubMember owner = Api::MapMember(*found);
    // A club seen for the first time has no previous owner to compare with.
    if (previousOwnerId == 0 || previousOwnerId == found->playerInfo.summonerId) {
        return owner;
    }

    RemoteResult<std::vector<Api::SummonerResource>> names = FetchSummonerNames({owner.summonerId});
    if (!names.failed) {
        if (auto existing = ReadPlayerNotifications()) {
            const std::string name = names.value.empty() ? "" : names.value.front().displayName;
            PostMemberNotification(owner.summonerId, name, Api::ClubRoleFromText(found->role),
                                   clubKey, clubName, Toast::kTypeMember, Toast::kTitle,
                                   Toast::kTransferOwnership, *existing);
        }
    }
    PublishUpdate(ClubPath(clubKey) + "/owner", owner);
    return owner;
}

void ClubsManager::RefreshClub(Api::PlayerClub held, const Api::ClubDto& fresh) {
    const std::string& key = fresh.clubData.clubKey;
    const std::string& name = fresh.clubData.name;
    const Api::ClubMembershipDto& lists = fresh.membership;

    // Each toast reads the list afresh, so the duplicate test of the next one sees it.
    for (const Api::MemberSinceDto* joined :
         Added(held.members.activeMembers, lists.activeMembers)) {
        ToastNewMember(*this, *joined, Api::ClubRoleFromText(joined->role), key, name,
                       Toast::kPlayerJoined);
    }
    const std::vector<uint64_t> freshIds = SortedIds(lists.activeMembers, FreshId);
    for (const Api::ClubMember& member : held.members.activeMembers) {
        if (Contains(freshIds, member.summonerId)) {
            continue;
        }
        if (auto existing = ReadPlayerNotifications()) {
            PostMemberNotification(member.summonerId, member.summonerName, member.role, key, name,
                                   Toast::kTypeClub, Toast::kTitle, Toast::kPlayerLeft, *existing);
        }
    }
    // Only those who decide on nominations hear of new ones.
    if (LeadsClub(held.role)) {
        for (const Api::MemberSinceDto* nominee :
             Added(held.members.nominatedMembers, lists.nominatedMembers)) {
            ToastNewMember(*this, *nominee, Api::ClubRole::NOMINEE, key, name,
                           Toast::kPlayerNominated);
        }
    }

    CheckOwnerChange(key, name, held.owner.summonerId, lists.activeMembers);
    StoreClub(fresh);
}

Api::PlayerClub ClubsManager::MapServiceClub(const Api::ClubDto& fresh) const {
    Api::PlayerClub club;
    Api::MapClub(fresh.clubData, club);
    club.primary = club.key == membership.preferences.primaryClubKey;
    Api::MapMemberLists(fresh.membership, club.members);
    if (const Api::MemberSinceDto* owner = FirstOwner(fresh.membership.activeMembers)) {
        club.owner = Api::MapMember(*owner);
    }
    SortMembers(club.members.activeMembers);
    SortMembers(club.members.invitedMembers);
    SortMembers(club.members.nominatedMembers);
    return club;
}

}  // namespace Kolm::Client::Clubs
