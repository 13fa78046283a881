// Reconciling the held clubs with the clubs of a fresh membership answer.
//
// A club new to the list is stored, one held before is refreshed (which toasts who joined, left,
// was nominated or became owner), and one that vanished is toasted as removed, except while
// the player is leaving it. Then the list is sorted and published.
// A new club's push topic is followed before the club is first published, so no change made
// meanwhile is missed; a vanished club's topic is dropped.
#include <string>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_publish.h"
#include "clubs/toast_kinds.h"

namespace Kolm::Client::Clubs {

namespace {

const Api::PlayerClub* FindIn(const std::vector<Api::PlayerClub>& clubs, const std::string& key) {
    for (const Api::PlayerClub& club : clubs) {
        if (club.key == key) {
            return &club;
        }
    }
    return nullptr;
}

bool ListedIn(const std::vector<Api::ClubDto>& fresh, const std::string& key) {
    for (const Api::ClubDto& club : fresh) {
        if (club.clubData.clubKey == key) {
            return true;
        }
    }
    return false;
}

}  // namespace

void ClubsManager::ApplyActiveClubs(const std::vector<Api::ClubDto>& freshClubs) {
    // The stored clubs are appended again one by one; the old list is what they are compared
    // with. A key the service lists twice keeps one entry: the later record replaces it.
    const std::vector<Api::PlayerClub> old = std::move(membership.activeClubs);
    membership.activeClubs.clear();

    for (const Api::ClubDto& fresh : freshClubs) {
        const Api::PlayerClub* held = FindIn(old, fresh.clubData.clubKey);
        if (held == nullptr) {
            ObserveClubTopic(fresh.clubData.clubKey);
            StoreClub(fresh);
        } else {
            RefreshClub(*held, fresh);
        }
    }

    for (const Api::PlayerClub& gone : old) {
        if (ListedIn(freshClubs, gone.key)) {
            continue;
        }
        if (!leaving) {
            if (auto existing = ReadPlayerNotifications()) {
                PostClubNotification(gone.key, gone.name, Toast::kTypeClub, Toast::kTitle,
                                     Toast::kRemoved, *existing);
            }
        }
        DropClubTopic(gone.key);
    }

    SortActiveClubs();
    PublishUpdate(kClubsPath, membership.activeClubs);
}

}  // namespace Kolm::Client::Clubs
