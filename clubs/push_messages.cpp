// The messaging service's push topics: what the plugin follows and what a message triggers.
// A message only says that something changed; the handlers fetch the current state from the web
// service and run it through the same procedures as the actions.
//
// Each handler runs under the clubs lock; a message that arrives on a thread already inside a
// clubs handler (for example a topic's first read, delivered while the subscription is being
// made, or a message the service sends while answering one of our own requests) is deferred
// until that handler has finished.
#include <string>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/model/club_mapping.h"
#include "clubs/service/clubs_service_client.h"
#include "clubs/toast_kinds.h"
#include "plugin/resource_events.h"

namespace Kolm::Client::Clubs {

namespace {

// Joined once at library load.
const std::string kMembershipTopicPrefix =
    "/kolm-messaging-service/v1/message/clubs/v1/membership/";
const std::string kClubTopicPrefix = "/kolm-messaging-service/v1/message/clubs/v1/clubs/";

std::string ClubTopic(const std::string& clubKey) {
    return kClubTopicPrefix + clubKey;
}

// The club key a club message names: what follows the last "/" of its resource.
std::string ClubKeyOf(const std::string& resource) {
    const std::size_t slash = resource.rfind('/');
    return slash == std::string::npos ? resource : resource.substr(slash + 1);
}

// Where a debugger or tracing build would look; it keeps nothing.
void DebugTrace(const char*, const std::string&) {}

// The toast of one init notice, by its action; null for actions that raise none.
const char* MemberNoticeDetailKey(const std::string& action) {
    if (action == "OWNER_GIVEN_OWNERSHIP") {
        return Toast::kTransferOwnershipYou;
    }
    if (action == "MEMBER_ROLE_PROMOTE") {
        return Toast::kPromoteYou;
    }
    if (action == "MEMBER_ROLE_DEMOTE") {
        return Toast::kDemoteYou;
    }
    return nullptr;
}

}  // namespace

void ClubsManager::ObserveMembershipTopic() {
    const std::string topic =
        kMembershipTopicPrefix + plugin->platformId + "/" + std::to_string(plugin->accountId);
    ObserveResource<Api::KolmMessagingServiceMessage>(
        *plugin, topic, [this](const ResourceEvent<Api::KolmMessagingServiceMessage>& event) {
            lock_.RunEvent("membership message", [this, event] { OnMembershipMessage(event); });
        });
}

void ClubsManager::OnMembershipMessage(const ResourceEvent<Api::KolmMessagingServiceMessage>&) {
    auto answer = serviceClient->GetMembership();
    if (answer.Succeeded()) {
        ApplyMembership(answer.value);
    }
}

void ClubsManager::ObserveClubTopic(const std::string& clubKey) {
    if (plugin == nullptr || !followedClubTopics.insert(clubKey).second) {
        return;
    }
    ObserveResource<Api::KolmMessagingServiceMessage>(
        *plugin, ClubTopic(clubKey),
        [this, clubKey](const ResourceEvent<Api::KolmMessagingServiceMessage>& event) {
            lock_.RunEvent("club message", [this, clubKey, event] {
                // The observer outlives the subscription; a topic dropped meanwhile is ignored.
                if (followedClubTopics.count(clubKey) != 0) {
                    OnClubMessage(event);
                }
            });
        });
}

void ClubsManager::DropClubTopic(const std::string& clubKey) {
    if (plugin == nullptr || followedClubTopics.erase(clubKey) == 0) {
        return;
    }
    plugin->Unsubscribe(ClubTopic(clubKey));
}

void ClubsManager::OnClubMessage(const ResourceEvent<Api::KolmMessagingServiceMessage>& event) {
    const std::string clubKey = ClubKeyOf(event.data.resource);
    DebugTrace("zun-clubs: Processing KMS notification - retrieving latest state of club %s",
               clubKey);
    auto answer = serviceClient->GetClub(clubKey);
    if (!answer.Succeeded()) {
        return;
    }
    const Api::PlayerClub* held = FindClub(answer.value.clubData.clubKey);
    if (held == nullptr) {
        return;
    }
    RefreshClub(*held, answer.value);
}

void ClubsManager::ProcessMembershipNotifications(
    const std::vector<Api::MembershipNoficationsDto>& notifications) {
    // One read for all notices: each toast is tested against the list as it was before them.
    auto existing = ReadPlayerNotifications();
    if (!existing) {
        return;
    }
    for (const Api::MembershipNoficationsDto& notice : notifications) {
        if (notice.action == "MEMBER_KICK") {
            PostClubNotification(notice.clubKey, notice.name, Toast::kTypeClub, Toast::kTitle,
                                 Toast::kRemoved, *existing);
        } else if (const char* detailKey = MemberNoticeDetailKey(notice.action)) {
            PostMemberNotification(membership.info.summonerId, membership.info.summonerName,
                                   Api::ClubRoleFromText(notice.role), notice.clubKey, notice.name,
                                   Toast::kTypeMember, Toast::kTitle, detailKey, *existing);
        }
    }
}

}  // namespace Kolm::Client::Clubs
