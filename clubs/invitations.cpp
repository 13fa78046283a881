// The REST handler with which the player answers an invitation: accept, decline, or decline and
// block the inviter in chat. The answer sent is built from the invitation as held, so a body can
// only pick which invitation and how to answer it.
#include <utility>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/service/clubs_service_client.h"
#include "plugin/remote_call.h"

namespace Kolm::Client::Clubs {

namespace {

constexpr const char* kBlockedPlayersPath = "/zun-chat/v1/blocked-players";

}  // namespace

ClubsManager::Response<Api::PlayerClubMembership> ClubsManager::AnswerInvitation(
    Api::ClubInvite invitation) {
    if (serviceClient == nullptr || plugin == nullptr) {
        return Response<Api::PlayerClubMembership>::Failure(500, kClubsNotStarted);
    }
    const Api::ClubInvite* held = FindInvite(invitation);
    if (held == nullptr) {
        return Response<Api::PlayerClubMembership>::Failure(404, kClubInviteNotFound);
    }

    Api::MembershipInviteDto answer;
    answer.clubKey = held->clubKey;
    answer.clubName = held->clubName;
    answer.inviterAccountId = held->inviterAccountId;
    answer.inviterSummonerId = held->inviterSummonerId;
    answer.inviteeSummonerId = held->inviteeSummonerId;
    answer.inviteeAccountId = membership.info.accountId;
    answer.inviterPlatformId = plugin->platformId;
    answer.inviteePlatformId = plugin->platformId;
    answer.status = static_cast<int32_t>(invitation.status);

    if (invitation.status == Api::ClubInviteStatus::BLOCKED) {
        // The service knows no blocking: the chat plugin keeps the block, the service hears a
        // plain decline. A failed block does not stop the decline.
        Api::BlockedPlayerResource block;
        block.id = held->inviterSummonerId;
        block.name = std::move(invitation.inviterSummonerName);
        RemoteCall(*plugin, HttpMethod::Post, kBlockedPlayersPath, block);
        answer.status = static_cast<int32_t>(Api::ClubInviteStatus::REJECTED);
    }

    auto result = serviceClient->AnswerInvite(answer);
    if (!result.Succeeded()) {
        // The refusal may come from a change the plugin has not seen yet (the invitation was
        // withdrawn, the club is full): show the service's current view, then pass it on.
        auto fresh = serviceClient->GetMembership();
        if (fresh.Succeeded()) {
            ApplyMembership(fresh.value);
        }
        return Response<Api::PlayerClubMembership>::FailureOf(result);
    }
    ApplyMembership(result.value);
    return Response<Api::PlayerClubMembership>(membership);
}

}  // namespace Kolm::Client::Clubs
