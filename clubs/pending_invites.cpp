// Rebuilding the player's pending invitations from a fresh membership answer.
//
// Held so far: the invitations are listed as the service sends them and published. Declining
// invitations of blocked players, the inviters' names and the "new invite" toasts come with the
// invitation work.
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_publish.h"

namespace Kolm::Client::Clubs {

namespace {

// States the service may report; anything else (BLOCKED included) is listed as PENDING.
Api::ClubInviteStatus ListedStatus(int32_t status) {
    switch (status) {
        case static_cast<int32_t>(Api::ClubInviteStatus::ACCEPTED):
            return Api::ClubInviteStatus::ACCEPTED;
        case static_cast<int32_t>(Api::ClubInviteStatus::REJECTED):
            return Api::ClubInviteStatus::REJECTED;
        default:
            return Api::ClubInviteStatus::PENDING;
    }
}

}  // namespace

void ClubsManager::ApplyPendingInvites(const std::vector<Api::MembershipInviteDto>& invites) {
    membership.pendingInvites.clear();
    for (const Api::MembershipInviteDto& invite : invites) {
        Api::ClubInvite listed;
        listed.clubKey = invite.clubKey;
        listed.clubName = invite.clubName;
        listed.status = ListedStatus(invite.status);
        listed.inviterAccountId = invite.inviterAccountId;
        listed.inviterSummonerId = invite.inviterSummonerId;
        listed.inviteeAccountId = 0;
        listed.inviteeSummonerId = invite.inviteeSummonerId;
        membership.pendingInvites.push_back(listed);
    }
    PublishUpdate(kInvitationsPath, membership.pendingInvites);
}

}  // namespace Kolm::Client::Clubs
