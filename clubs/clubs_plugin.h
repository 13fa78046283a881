// ClubsPlugin: the clubs feature's plugin object, the one instance the host loads. It collects
// the facts clubs needs before it can work (a usable login session, the two platform switches,
// the platform id and the web service's address), follows their changes, and decides in
// ConfigureClubs whether the web-service client is enabled and the membership loaded.
//
// Thread rule: the resource-event handlers run under the manager's clubs lock (see
// clubs_lock.h), so they never overlap each other, the REST handlers or the push handlers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "binding/binding_property.h"
#include "clubs/model/clubs_external_records.h"
#include "plugin/host_types.h"
#include "plugin/plugin_base.h"

namespace Kolm::Client::Clubs {

class ClubsManager;
class ClubsServiceClient;

// The resources the start-up follows.
inline constexpr const char* kLoginSessionPath = "/zun-login/v1/session";
inline constexpr const char* kClubsEnabledPath =
    "/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled";
inline constexpr const char* kClubsQRXEnabledPath =
    "/zun-platform-config/v1/namespaces/Clubs/ClubsQRXEnabled";
inline constexpr const char* kPlatformIdPath =
    "/zun-platform-config/v1/namespaces/LoginDataPacket/platformId";
inline constexpr const char* kClubServiceUrlPath =
    "/zun-platform-config/v1/namespaces/Clubs/ClubServiceUrl";

class ClubsPlugin : public PluginBase {
  public:
    static constexpr const char* kShortName = "zun-clubs";

    ClubsPlugin();
    ~ClubsPlugin() override;

    void Shutdown() override;
    // Registers the clubs records and the 24 endpoints of the clubs API.
    void RegisterApi() override;
    // Creates the web-service client and follows the login session and the four
    // platform-configuration values; reads nothing and calls no service itself.
    bool Start() override;

    // The handlers below expect the clubs lock to be held (the observers take it).
    void OnLoginSession(const ResourceEvent<Api::LoginSession>& event);
    void OnClubsEnabled(PluginResourceEventType type, const BindingProperty& value);
    void OnClubsQRXEnabled(PluginResourceEventType type, const BindingProperty& value);
    void OnPlatformId(PluginResourceEventType type, const BindingProperty& value);
    void OnClubServiceUrl(PluginResourceEventType type, const BindingProperty& value);

    // The one enable decision: configures the client either way and, when every condition
    // holds, loads the membership.
    void ConfigureClubs();
    void ReloadIfLoggedIn();

    std::string platformId;
    std::string clubServiceUrl;
    uint64_t summonerId = 0;
    uint64_t accountId = 0;
    std::string idToken;
    bool loggedIn = false;
    bool clubsEnabled = false;
    bool clubsQRXEnabled = false;
    std::shared_ptr<ClubsManager> manager;
    std::shared_ptr<ClubsServiceClient> serviceClient;

  private:
    // Follows one platform-configuration value with `handler`, under the clubs lock.
    void ObservePlatformValue(const char* path,
                              void (ClubsPlugin::*handler)(PluginResourceEventType,
                                                           const BindingProperty&));
};

}  // namespace Kolm::Client::Clubs
