// Rebuilding the player's pending invitations from a fresh membership answer.
//
// An invitation from a player blocked in chat is declined at once, without asking; the
// membership the service answers to that decline is applied in its place (from within this
// procedure). Every other invitation is listed with its inviter's name and announced by a toast,
// once: the duplicate test finds the toast of an earlier refresh.
//
// The nesting of automatic declines is bounded: within one outermost application each
// invitation (club key, inviter) is declined at most once. A service that keeps listing an
// invitation it has just accepted a decline for would otherwise make the applications nest
// without end; the repeated one is left out like an invitation whose decline failed.
#include <string>
#include <utility>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/clubs_publish.h"
#include "clubs/service/clubs_service_client.h"
#include "clubs/toast_kinds.h"
#include "plugin/remote_call.h"

namespace Kolm::Client::Clubs {

namespace {

constexpr const char* kBlockedPlayerPath = "/zun-chat/v1/blocked-players/";

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

// Whether the chat plugin lists the inviter as blocked; a failed query counts as not blocked.
bool InviterBlocked(ClubsPlugin& plugin, uint64_t inviterSummonerId) {
    RemoteResult<Api::BlockedPlayerResource> blocked = RemoteCall<Api::BlockedPlayerResource>(
        plugin, HttpMethod::Get, kBlockedPlayerPath + std::to_string(inviterSummonerId));
    return !blocked.failed && blocked.value.id == inviterSummonerId;
}

Api::ClubInvite Listed(const Api::MembershipInviteDto& invite, std::string inviterName) {
    Api::ClubInvite listed;
    listed.clubKey = invite.clubKey;
    listed.clubName = invite.clubName;
    listed.status = ListedStatus(invite.status);
    listed.inviterAccountId = invite.inviterAccountId;
    listed.inviterSummonerId = invite.inviterSummonerId;
    listed.inviterSummonerName = std::move(inviterName);
    // The player's own account id is not the service's to tell in a list entry.
    listed.inviteeAccountId = 0;
    listed.inviteeSummonerId = invite.inviteeSummonerId;
    return listed;
}

// Counts the nesting of ApplyPendingInvites; the outermost level forgets the declines made
// under it when it ends.
class NestingLevel {
  public:
    NestingLevel(int& depth, std::set<std::pair<std::string, uint64_t>>& declined)
        : depth_(depth), declined_(declined) {
        if (depth_++ == 0) {
            declined_.clear();
        }
    }
    ~NestingLevel() {
        if (--depth_ == 0) {
            declined_.clear();
        }
    }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

  private:
    int& depth_;
    std::set<std::pair<std::string, uint64_t>>& declined_;
};

}  // namespace

void ClubsManager::ApplyPendingInvites(const std::vector<Api::MembershipInviteDto>& invites) {
    NestingLevel level(inviteApplicationDepth_, declinedInvites_);
    membership.pendingInvites.clear();
    if (plugin == nullptr || serviceClient == nullptr) {
        for (const Api::MembershipInviteDto& invite : invites) {
            membership.pendingInvites.push_back(Listed(invite, std::string()));
        }
        PublishUpdate(kInvitationsPath, membership.pendingInvites);
        return;
    }

    // One read for the whole list; without it every toast counts as new.
    RemoteResult<std::vector<Api::PlayerNotificationResource>> read = FetchPlayerNotifications();
    const std::vector<Api::PlayerNotificationResource> existing =
        read.failed ? std::vector<Api::PlayerNotificationResource>() : std::move(read.value);

    for (const Api::MembershipInviteDto& invite : invites) {
        if (InviterBlocked(*plugin, invite.inviterSummonerId)) {
            if (!declinedInvites_.emplace(invite.clubKey, invite.inviterSummonerId).second) {
                continue;  // declined once in this application already: left out
            }
            Api::MembershipInviteDto decline = invite;
            decline.status = static_cast<int32_t>(Api::ClubInviteStatus::REJECTED);
            auto answer = serviceClient->AnswerInvite(decline);
            if (answer.Succeeded()) {
                // The answer is the membership without this invitation: it replaces the rest
                // of this application, publication included.
                ApplyMembership(answer.value);
                return;
            }
            continue;  // a failed decline leaves the invitation out of this refresh
        }

        RemoteResult<Api::SummonerResource> inviter = FetchSummoner(invite.inviterSummonerId);
        const std::string inviterName = inviter.failed ? std::string() : inviter.value.displayName;
        PostMemberNotification(invite.inviterSummonerId, inviterName, Api::ClubRole::INVITEE,
                               invite.clubKey, invite.clubName, Toast::kTypeInvite, Toast::kTitle,
                               Toast::kNewInvite, existing);
        membership.pendingInvites.push_back(Listed(invite, inviterName));
    }
    PublishUpdate(kInvitationsPath, membership.pendingInvites);
}

}  // namespace Kolm::Client::Clubs
