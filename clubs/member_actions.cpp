// REST handlers that change one member of a club: invite, remove or withdraw an invitation,
// promote, demote, transfer ownership, nominate and reject a nomination.
//
// Each one checks what it can against the held club, asks the web service, makes the member
// lists the service answers the held truth (ApplyMemberLists) and tells the player by a toast.
// Whether the player may act is the service's decision; its refusal is the reply and leaves the
// model and the published resources as they were. Nothing after a successful call turns the
// reply into a failure.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/service/clubs_service_client.h"
#include "clubs/toast_kinds.h"

namespace Kolm::Client::Clubs {

namespace {

using Lists = Api::ClubMemberLists;
using ListsReply = ClubsManager::Response<Lists>;
using MemberCall =
    Kolm::ApiResponse<Api::ClubMembershipDto> (ClubsServiceClient::*)(const std::string&, uint64_t);

template <class T>
ClubsManager::Response<T> NotStarted() {
    return ClubsManager::Response<T>::Failure(500, kClubsNotStarted);
}

// How a missing notification list is treated: the actions that change a member the player
// already sees log it; invite and nominate, whose toasts are only confirmations, stay silent.
enum class ReadFailure { Log, Silent };

void ToastMember(ClubsManager& manager,
                 const Api::ClubMember& member,
                 const std::string& clubKey,
                 const std::string& clubName,
                 const char* detailKey,
                 ReadFailure onFailure) {
    std::vector<Api::PlayerNotificationResource> existing;
    if (onFailure == ReadFailure::Log) {
        auto read = manager.ReadPlayerNotifications();
        if (!read) {
            return;
        }
        existing = std::move(*read);
    } else {
        auto read = manager.FetchPlayerNotifications();
        if (read.failed) {
            return;
        }
        existing = std::move(read.value);
    }
    manager.PostMemberNotification(member.summonerId, member.summonerName, member.role, clubKey,
                                   clubName, Toast::kTypeMember, Toast::kTitle, detailKey,
                                   existing);
}

// After the lists are applied: the member as the new lists hold it (so the toast carries the
// new role), in the club as now held; no toast when either is gone.
void ToastMemberAsNowHeld(ClubsManager& manager,
                          const std::string& clubKey,
                          uint64_t summonerId,
                          const char* detailKey,
                          ReadFailure onFailure) {
    const Api::PlayerClub* club = manager.FindClub(clubKey);
    const Api::ClubMember* member = manager.FindMember(clubKey, summonerId);
    if (club == nullptr || member == nullptr) {
        return;
    }
    const std::string clubName = club->name;
    const Api::ClubMember found = *member;
    ToastMember(manager, found, clubKey, clubName, detailKey, onFailure);
}

// The checked part of promote, demote and transfer: the held club, then the member in it.
template <class T>
std::optional<ClubsManager::Response<T>> RefuseUnknown(ClubsManager& manager,
                                                       const std::string& clubKey,
                                                       uint64_t summonerId,
                                                       const char* memberNotFound,
                                                       Api::ClubMember& member) {
    if (manager.serviceClient == nullptr) {
        return NotStarted<T>();
    }
    if (manager.FindClub(clubKey) == nullptr) {
        return ClubsManager::Response<T>::Failure(404, kClubNotFound);
    }
    const Api::ClubMember* found = manager.FindMember(clubKey, summonerId);
    if (found == nullptr) {
        return ClubsManager::Response<T>::Failure(404, memberNotFound);
    }
    member = *found;
    return std::nullopt;
}

// Promote and demote: the role change, the lists applied, then the toast with the new role.
ListsReply ChangeRole(ClubsManager& manager,
                      const std::string& clubKey,
                      uint64_t summonerId,
                      MemberCall call,
                      const char* detailKey) {
    Api::ClubMember member;
    if (auto refusal =
            RefuseUnknown<Lists>(manager, clubKey, summonerId, kClubPlayerNotFound, member)) {
        return *refusal;
    }
    auto answer = ((*manager.serviceClient).*call)(clubKey, member.accountId);
    if (!answer.Succeeded()) {
        return ListsReply::FailureOf(answer);
    }
    ListsReply reply(manager.ApplyMemberLists(answer.value));
    ToastMemberAsNowHeld(manager, clubKey, summonerId, detailKey, ReadFailure::Log);
    return reply;
}

}  // namespace

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::RemoveMember(std::string clubKey,
                                                                        uint64_t summonerId) {
    Api::ClubMember member;
    if (auto refusal =
            RefuseUnknown<Lists>(*this, clubKey, summonerId, kClubPlayerNotFound, member)) {
        return *refusal;
    }
    const std::string clubName = FindClub(clubKey)->name;
    auto answer = serviceClient->RemoveMember(clubKey, member.accountId);
    if (!answer.Succeeded()) {
        return ListsReply::FailureOf(answer);
    }
    // Told before the lists are applied: afterwards the member is gone from them. The role is
    // the one held before the removal (INVITEE for a withdrawn invitation).
    ToastMember(*this, member, clubKey, clubName, Toast::kKickPlayer, ReadFailure::Log);
    return ListsReply(ApplyMemberLists(answer.value));
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::TransferOwnership(std::string clubKey,
                                                                        uint64_t summonerId) {
    Api::ClubMember member;
    if (auto refusal = RefuseUnknown<Api::PlayerClub>(*this, clubKey, summonerId,
                                                      kClubPlayerNotFound, member)) {
        return *refusal;
    }
    Api::PlayerClub before = *FindClub(clubKey);
    auto answer = serviceClient->TransferOwnership(clubKey, member.accountId);
    if (!answer.Succeeded()) {
        return Response<Api::PlayerClub>::FailureOf(answer);
    }
    // Applying the lists finds the new owner and toasts it; the toast here is the same record,
    // which the duplicate test drops once the first one is in the list.
    Api::ClubMemberLists lists = ApplyMemberLists(answer.value);
    ToastMemberAsNowHeld(*this, clubKey, summonerId, Toast::kTransferOwnership, ReadFailure::Log);
    if (const Api::PlayerClub* club = FindClub(clubKey)) {
        return Response<Api::PlayerClub>(*club);
    }
    // Not reachable while the clubs lock keeps pushes out; the change happened, so the reply is
    // the club as it was with the service's lists.
    before.members = std::move(lists);
    return Response<Api::PlayerClub>(std::move(before));
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::NominateMember(std::string clubKey,
                                                                          uint64_t summonerId) {
    if (serviceClient == nullptr) {
        return NotStarted<Lists>();
    }
    // No check of our own: any member may nominate anyone, and the service knows the club.
    auto answer = serviceClient->Nominate(clubKey, summonerId);
    if (!answer.Succeeded()) {
        return ListsReply::FailureOf(answer);
    }
    ListsReply reply(ApplyMemberLists(answer.value));
    ToastMemberAsNowHeld(*this, clubKey, summonerId, Toast::kNominateSent, ReadFailure::Silent);
    return reply;
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::RejectNomination(std::string clubKey,
                                                                            uint64_t summonerId) {
    Api::ClubMember member;
    if (auto refusal =
            RefuseUnknown<Lists>(*this, clubKey, summonerId, kClubNominationNotFound, member)) {
        return *refusal;
    }
    auto answer = serviceClient->RejectNomination(clubKey, member.accountId);
    if (!answer.Succeeded()) {
        return ListsReply::FailureOf(answer);
    }
    return ListsReply(ApplyMemberLists(answer.value));
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::InviteMember(std::string clubKey,
                                                                        uint64_t summonerId) {
    if (serviceClient == nullptr || plugin == nullptr) {
        return NotStarted<Lists>();
    }
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return ListsReply::Failure(404, kClubNotFound);
    }
    Api::BaseMembershipInviteDto invite;
    invite.clubKey = clubKey;
    invite.clubName = club->name;
    invite.status = static_cast<int32_t>(Api::ClubInviteStatus::PENDING);
    invite.inviterPlatformId = plugin->platformId;
    invite.inviterAccountId = plugin->accountId;
    invite.inviterSummonerId = plugin->summonerId;
    invite.inviteePlatformId = plugin->platformId;
    invite.inviteeSummonerId = summonerId;

    auto answer = serviceClient->Invite(clubKey, invite);
    if (!answer.Succeeded()) {
        return ListsReply::FailureOf(answer);
    }
    ListsReply reply(ApplyMemberLists(answer.value));
    ToastMemberAsNowHeld(*this, clubKey, summonerId, Toast::kInviteSent, ReadFailure::Silent);
    return reply;
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::PromoteMember(std::string clubKey,
                                                                         uint64_t summonerId) {
    return ChangeRole(*this, clubKey, summonerId, &ClubsServiceClient::Promote,
                      Toast::kPromotePlayer);
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::DemoteMember(std::string clubKey,
                                                                        uint64_t summonerId) {
    return ChangeRole(*this, clubKey, summonerId, &ClubsServiceClient::Demote,
                      Toast::kDemotePlayer);
}

}  // namespace Kolm::Client::Clubs
