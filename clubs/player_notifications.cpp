// Toasts: reading the player's notifications, the duplicate test, the icon and the post.
//
// Every call here goes to another plugin and may fail; a failure is logged where the player
// would miss something and never reaches the action that raised the toast.
#include <initializer_list>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "clubs/model/club_mapping.h"
#include "clubs/toast_kinds.h"
#include "logging/logger.h"
#include "plugin/remote_call.h"

namespace Kolm::Client::Clubs {

namespace {

using Api::PlayerNotificationResource;

constexpr const char* kNotificationsPath = "/player-notifications/v1/notifications";
constexpr const char* kClubsConfigPath = "/zun-platform-config/v1/namespaces/Clubs";

// A key an entry's data lacks reads as an empty text, so an entry without it matches a toast
// whose value is empty.
std::string DataText(const PlayerNotificationResource& notification, const char* key) {
    auto found = notification.data.find(key);
    return found == notification.data.end() ? std::string() : found->second;
}

// Whether `existing` is already this toast: ours, of the same kind, and equal in `keys`.
bool SameToast(const PlayerNotificationResource& existing,
               const PlayerNotificationResource& toast,
               std::initializer_list<const char*> keys) {
    if (existing.source != Toast::kSource || existing.type != toast.type ||
        existing.titleKey != toast.titleKey || existing.detailKey != toast.detailKey) {
        return false;
    }
    for (const char* key : keys) {
        if (DataText(existing, key) != DataText(toast, key)) {
            return false;
        }
    }
    return true;
}

bool AlreadyPosted(const std::vector<PlayerNotificationResource>& existing,
                   const PlayerNotificationResource& toast,
                   std::initializer_list<const char*> keys) {
    for (const PlayerNotificationResource& entry : existing) {
        if (SameToast(entry, toast, keys)) {
            return true;
        }
    }
    return false;
}

PlayerNotificationResource NewToast(const std::string& type,
                                    const std::string& titleKey,
                                    const std::string& detailKey) {
    PlayerNotificationResource toast;
    toast.source = Toast::kSource;
    toast.type = type;
    toast.titleKey = titleKey;
    toast.detailKey = detailKey;
    return toast;
}

// The icon of a toast about `clubKey`, read afresh each time: the configuration may change
// while the plugin runs. Empty when it cannot be read or names no icon.
std::string ToastIcon(ClubsManager& manager, const std::string& clubKey) {
    RemoteResult<BindingProperty> config =
        RemoteCall<BindingProperty>(*manager.plugin, HttpMethod::Get, kClubsConfigPath);
    if (config.failed) {
        Log(kLogError, kLogGroupDbg, "zun-clubs: Failed to get Clubs data: %s",
            config.message.c_str());
        return std::string();
    }
    const bool primary = clubKey == manager.membership.preferences.primaryClubKey;
    return std::string(
        config.value.Find(primary ? "ClubsActiveIcon" : "ClubsMemberIcon").GetString());
}

// Adds the icon and posts; what the notifications plugin answers changes nothing here.
void Post(ClubsManager& manager, PlayerNotificationResource toast, const std::string& clubKey) {
    toast.iconUrl = ToastIcon(manager, clubKey);
    RemoteCall(*manager.plugin, HttpMethod::Post, kNotificationsPath, toast);
}

}  // namespace

RemoteResult<std::vector<PlayerNotificationResource>> ClubsManager::FetchPlayerNotifications() {
    if (plugin == nullptr) {
        return {true, 500, kClubsNotStarted, {}};
    }
    return RemoteCall<std::vector<PlayerNotificationResource>>(*plugin, HttpMethod::Get,
                                                               kNotificationsPath);
}

std::optional<std::vector<PlayerNotificationResource>> ClubsManager::ReadPlayerNotifications() {
    RemoteResult<std::vector<PlayerNotificationResource>> read = FetchPlayerNotifications();
    if (read.failed) {
        Log(kLogError, kLogGroupDbg, "zun-clubs: Failed to look up player notifications: %s",
            read.message.c_str());
        return std::nullopt;
    }
    return std::move(read.value);
}

void ClubsManager::PostMemberNotification(uint64_t summonerId,
                                          const std::string& summonerName,
                                          Api::ClubRole role,
                                          const std::string& clubKey,
                                          const std::string& clubName,
                                          const std::string& type,
                                          const std::string& titleKey,
                                          const std::string& detailKey,
                                          const std::vector<PlayerNotificationResource>& existing) {
    if (plugin == nullptr) {
        return;
    }
    PlayerNotificationResource toast = NewToast(type, titleKey, detailKey);
    toast.data = {{"summonerId", std::to_string(summonerId)},
                  {"summonerName", summonerName},
                  {"clubKey", clubKey},
                  {"clubName", clubName},
                  {"roleName", Api::MapClubRole(role)}};
    // The role belongs to the identity: a second promotion is news, a repeated refresh is not.
    if (AlreadyPosted(existing, toast, {"clubKey", "summonerId", "roleName"})) {
        return;
    }
    Post(*this, std::move(toast), clubKey);
}

void ClubsManager::PostClubNotification(const std::string& clubKey,
                                        const std::string& clubName,
                                        const std::string& type,
                                        const std::string& titleKey,
                                        const std::string& detailKey,
                                        const std::vector<PlayerNotificationResource>& existing) {
    if (plugin == nullptr) {
        return;
    }
    PlayerNotificationResource toast = NewToast(type, titleKey, detailKey);
    toast.data = {{"clubKey", clubKey}, {"clubName", clubName}};
    if (AlreadyPosted(existing, toast, {"clubKey"})) {
        return;
    }
    Post(*this, std::move(toast), clubKey);
}

}  // namespace Kolm::Client::Clubs
