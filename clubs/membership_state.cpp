// Loading the player's membership from the web service and applying an answer to the model.
#include <string>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/clubs_publish.h"
#include "clubs/service/clubs_service_client.h"

namespace Kolm::Client::Clubs {

namespace {

Api::ClubsConfig MapServerConfig(const Api::ClubsServerConfigDto& dto) {
    Api::ClubsConfig config;
    config.maxActiveClubs = dto.maxActiveClubs;
    config.maxClubNameLength = dto.maxClubNameLength;
    config.minClubNameLength = dto.minClubNameLength;
    config.maxClubTagLength = dto.maxClubTagLength;
    config.minClubTagLength = dto.minClubTagLength;
    config.clubTagRequirementsMinMemberLevel = dto.clubTagRequirementsMinMemberLevel;
    config.clubTagRequirementMinMembers = dto.clubTagRequirementMinMembers;
    config.clubTagRequirementMinGames = dto.clubTagRequirementMinGames;
    config.clubNominationsMaxPending = dto.clubNominationsMaxPending;
    config.clubNominationsEnabled = dto.clubNominationsEnabled;
    config.clubMotdMaxLength = dto.clubMotdMaxLength;
    config.clubDescriptionMaxLength = dto.clubDescriptionMaxLength;
    return config;
}

}  // namespace

ClubsManager::Response<Api::PlayerClubMembership> ClubsManager::LoadMembership() {
    if (serviceClient == nullptr || plugin == nullptr) {
        return Response<Api::PlayerClubMembership>::Failure(500, kClubsNotStarted);
    }
    if (membership.info.summonerId != 0) {
        auto answer = serviceClient->GetMembership();
        if (!answer.Succeeded()) {
            return Response<Api::PlayerClubMembership>::FailureOf(answer);
        }
        ApplyMembership(answer.value);
        return Response<Api::PlayerClubMembership>(membership);
    }

    auto answer = serviceClient->InitMembership();
    if (!answer.Succeeded()) {
        return Response<Api::PlayerClubMembership>::FailureOf(answer);
    }
    ApplyMembership(answer.value.playerMembership);
    ProcessMembershipNotifications(answer.value.membershipNotifications);
    ObserveMembershipTopic();
    return Response<Api::PlayerClubMembership>(membership);
}

void ClubsManager::ApplyMembership(const Api::PlayerMembershipDto& answer) {
    membership.info.accountId = answer.player.currentAccountId;
    membership.info.summonerId = answer.player.summonerId;
    // Preferences come before the clubs so that the clubs' primary flags see the new choice.
    membership.preferences.primaryClubKey = answer.playerClubPreferences.primaryActiveClubKey;
    membership.preferences.shareClubAffiliation = answer.playerClubPreferences.shareClubAffiliation;
    membership.clubsServerConfig = MapServerConfig(answer.clubsServerConfig);
    membership.secureClubPresenceInfoString = answer.secureClubPresenceInfoString;

    ApplyActiveClubs(answer.activeClubs);
    ApplyPendingInvites(answer.pendingInvites);

    PublishUpdate(kMembershipConfigPath, membership.clubsServerConfig);
    PublishPresence();
    PublishUpdate(kMembershipPreferencesPath, membership.preferences);
    PublishUpdate(kMembershipPath, membership);
}

}  // namespace Kolm::Client::Clubs
