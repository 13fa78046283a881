// Records the clubs plugin exchanges with other plugins of the host: the login session, the
// summoner and chat plugins' records, player notifications (toasts) and messaging-service
// push messages. Only the fields the plugin reads or writes are declared.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

// Windows headers define ERROR as a macro; keep it away from the enumerator of the same name.
#pragma push_macro("ERROR")
#undef ERROR

namespace Kolm::Client::Clubs::Api {

// Registered as "LoginSessionStates". The numbers are the login plugin's; ERROR is 3.
enum class LoginSessionState : int32_t {
    IN_PROGRESS = 0,
    SUCCEEDED = 1,
    LOGGING_OUT = 2,
    ERROR = 3,
};

// The login plugin's session resource.
struct LoginSession {
    LoginSessionState state = LoginSessionState::IN_PROGRESS;
    uint64_t summonerId = 0;
    uint64_t accountId = 0;
    std::string idToken;  // bearer token for the clubs web service
};

// Registered as "ClubsSummoner": a summoner as the summoner plugin returns it.
struct SummonerResource {
    uint64_t summonerId = 0;
    std::string displayName;
    int32_t profileIconId = 0;
};

// A blocked player as the chat plugin lists it; `id` is a summoner id.
struct BlockedPlayerResource {
    uint64_t id = 0;
    std::string name;
};

// Registered as "ClubsNotificationResource": a toast of the player-notifications plugin.
struct PlayerNotificationResource {
    std::string backgroundUrl;
    std::string created;
    bool critical = false;
    std::unordered_map<std::string, std::string> data;
    std::string detailKey;
    std::string expires;
    std::string iconUrl;
    uint64_t id = 0;
    std::string source;
    std::string state;
    std::string titleKey;
    std::string type;
};

// A push message of the messaging service; only `resource` (the changed thing's path, ending
// in the club key for club topics) is read.
struct KolmMessagingServiceMessage {
    std::string resource;
    std::string service;
    std::string version;
    int64_t timestamp = 0;
    std::string payload;
};

}  // namespace Kolm::Client::Clubs::Api

#pragma pop_macro("ERROR")
