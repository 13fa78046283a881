// The messaging service's push topics: what the plugin follows and what a message triggers.
// Each handler runs under the clubs lock; a message that arrives on a thread already inside a
// clubs handler (for example the topic's first read, delivered while the subscription is being
// made) is deferred until that handler has finished.
#include <string>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/service/clubs_service_client.h"
#include "plugin/resource_events.h"

namespace Kolm::Client::Clubs {

namespace {

const std::string kMembershipTopicPrefix =
    "/kolm-messaging-service/v1/message/clubs/v1/membership/";

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
    // The message only says that something changed; the service's current state is the news.
    auto answer = serviceClient->GetMembership();
    if (answer.Succeeded()) {
        ApplyMembership(answer.value);
    }
}

void ClubsManager::ProcessMembershipNotifications(
    const std::vector<Api::MembershipNoficationsDto>&) {
    // The notices become toasts once the player-notification procedures exist; until then the
    // first load shows none.
}

}  // namespace Kolm::Client::Clubs
