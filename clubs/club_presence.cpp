// The player's club presence: the service's presence text, republished unchanged.
#include "clubs/clubs_manager.h"
#include "clubs/clubs_publish.h"

namespace Kolm::Client::Clubs {

// The text is opaque to the plugin: never parsed, checked or built here, and published on every
// applied membership even when it did not change.
void ClubsManager::PublishPresence() {
    PublishUpdate(kMembershipPresencePath, membership.secureClubPresenceInfoString);
}

}  // namespace Kolm::Client::Clubs
