// PlatformSimulation: the platform around the plugin, simulated in the host: the login plugin
// (a SUCCEEDED session for the configured player), the platform configuration (clubs switched
// on, the platform id, the clubs web service's URL, the Clubs namespace with its icons), the
// summoner, chat (blocked players) and player-notifications plugins, and the messaging service
// with its relay of the web service's pushes. The plugin reaches them through the host's remote
// calls and resource events.
//
// People reach them over HTTP under their own paths (Handle): a GET reads what the plugin would
// read, and the changes a person wants to make are these:
//   PUT    /zun-login/v1/session                         body: a session record; published
//   DELETE /zun-login/v1/session                         logs the player out
//   POST   /zun-login/v1/session/login                   logs the configured player in again
//   PUT    /zun-platform-config/v1/namespaces/<ns>/<key> body: the JSON value; published
//   DELETE /zun-platform-config/v1/namespaces/<ns>/<key> removes the value
//   PUT    /zun-summoner/v1/summoners/<id>               body: {"displayName", "profileIconId"}
//   POST   /zun-chat/v1/blocked-players                  body: {"id", "name"} blocks a player
//   DELETE /zun-chat/v1/blocked-players/<id>             unblocks
//   GET    /player-notifications/v1/notifications        the toasts posted so far
//   POST   /kolm-messaging-service/v1/message/<resource> body: payload; pushes a message
//
// Thread rules: everything may be used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/boundary/owned_host_value.h"
#include "host/serving/http/http_message.h"
#include "host/serving/push_relay.h"
#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_chat.h"
#include "host/simulated/simulated_messaging_service.h"
#include "host/simulated/simulated_platform_config.h"
#include "host/simulated/simulated_player_notifications.h"
#include "host/simulated/simulated_plugins.h"
#include "host/simulated/simulated_summoner.h"
#include "platform/mutex.h"

namespace Kolm::Host {

// The player the host logs in.
struct SimulatedPlayer {
    std::string platformId = "LOC1";
    uint64_t accountId = 1001;
    uint64_t summonerId = 2001;
    std::string summonerName = "Fenwick";
    int32_t profileIconId = 4;
    std::string idToken = "local-token-1001";
};

class PlatformSimulation {
  public:
    static constexpr const char* kSessionPath = "/zun-login/v1/session";
    static constexpr const char* kMemberIcon = "/fe/clubs/icons/member.png";
    static constexpr const char* kActiveIcon = "/fe/clubs/icons/primary.png";

    PlatformSimulation(HostEventBus& bus, SimulatedPlayer player, std::string clubServiceUrl);
    PlatformSimulation(const PlatformSimulation&) = delete;
    PlatformSimulation& operator=(const PlatformSimulation&) = delete;

    SimulatedPlugins& Plugins() { return plugins_; }
    SimulatedPlayer Player() const;
    bool LoggedIn() const;
    // Makes `player` the one the session names and logs them in, or logs out (none); publishes
    // the session only when it changes.
    void SetPlayer(const std::optional<SimulatedPlayer>& player);
    SimulatedPlugin& Login() { return *login_; }
    SimulatedPlatformConfig& PlatformConfig() { return *platformConfig_; }
    SimulatedSummoner& Summoner() { return *summoner_; }
    SimulatedChat& Chat() { return *chat_; }
    SimulatedPlayerNotifications& Notifications() { return *notifications_; }
    SimulatedMessagingService& Messaging() { return *messaging_; }
    PushRelay& Relay() { return relay_; }

    // The configured player's SUCCEEDED session.
    OwnedHostValue Session() const;
    // Publishes that session (Update), or its removal.
    void LogIn();
    void LogOut();

    // The answer of the simulated plugin that serves the request's path, or none when no
    // simulated plugin does.
    std::optional<HttpResponse> Handle(const HttpRequest& request);
    // True when Handle would answer the request (a simulated plugin serves its path).
    bool Serves(const HttpRequest& request) const;

  private:
    std::optional<HttpResponse> HandleChange(const HttpRequest& request,
                                             const std::string& path,
                                             const std::optional<OwnedHostValue>& body);
    HttpResponse Forward(SimulatedPlugin& plugin,
                         const HttpRequest& request,
                         const std::string& path,
                         const std::optional<OwnedHostValue>& body);

    mutable Platform::Mutex playerMutex_;
    SimulatedPlayer player_ ZC_GUARDED_BY(playerMutex_);
    bool loggedIn_ ZC_GUARDED_BY(playerMutex_) = true;
    SimulatedPlugins plugins_;
    std::shared_ptr<SimulatedPlugin> login_;
    std::shared_ptr<SimulatedPlatformConfig> platformConfig_;
    std::shared_ptr<SimulatedSummoner> summoner_;
    std::shared_ptr<SimulatedChat> chat_;
    std::shared_ptr<SimulatedPlayerNotifications> notifications_;
    std::shared_ptr<SimulatedMessagingService> messaging_;
    PushRelay relay_;
};

// The HTTP form of a simulated plugin's answer.
HttpResponse HttpFromSimulatedAnswer(const SimulatedAnswer& answer);

}  // namespace Kolm::Host
