#include "clubs/clubs_plugin.h"

#include <string>
#include <utility>

#include "api/api_registry.h"
#include "clubs/clubs_manager.h"
#include "clubs/model/clubs_type_registration.h"
#include "clubs/service/clubs_service_client.h"
#include "clubs/service/service_transport.h"
#include "logging/logger.h"
#include "plugin/resource_events.h"

namespace Kolm::Client::Clubs {

namespace {

// Traces that only a debug build writes.
void DebugTrace([[maybe_unused]] const char* format, [[maybe_unused]] const std::string& text) {
#ifndef NDEBUG
    Log(kLogOkay, kLogGroupDbg, format, text.c_str());
#endif
}

bool IsCreateOrUpdate(PluginResourceEventType type) {
    return type == PluginResourceEventType::Create || type == PluginResourceEventType::Update;
}

}  // namespace

ClubsPlugin::ClubsPlugin() : manager(std::make_shared<ClubsManager>()) {}

ClubsPlugin::~ClubsPlugin() = default;

void ClubsPlugin::Shutdown() {
    PluginConnection::Shutdown();
}

void ClubsPlugin::RegisterApi() {
    Kolm::ApiRegistry& api = GetApiRegistry();
    Api::RegisterClubsTypes(api.Types());
    manager->RegisterEndpoints(api);
}

bool ClubsPlugin::Start() {
    serviceClient = std::make_shared<ClubsServiceClient>(
        GetApiRegistry().Types(), SendThroughConnection(*this), [this] {
            return ClubsServicePlayer{platformId, accountId};
        });
    manager->Attach(serviceClient, this);

    ObserveResource<Api::LoginSession>(
        *this, kLoginSessionPath, [this](const ResourceEvent<Api::LoginSession>& event) {
            manager->Lock().RunEvent("login session event",
                                     [this, event] { OnLoginSession(event); });
        });
    ObservePlatformValue(kClubsEnabledPath, &ClubsPlugin::OnClubsEnabled);
    ObservePlatformValue(kClubsQRXEnabledPath, &ClubsPlugin::OnClubsQRXEnabled);
    ObservePlatformValue(kPlatformIdPath, &ClubsPlugin::OnPlatformId);
    ObservePlatformValue(kClubServiceUrlPath, &ClubsPlugin::OnClubServiceUrl);
    return true;
}

void ClubsPlugin::ObservePlatformValue(const char* path,
                                       void (ClubsPlugin::*handler)(PluginResourceEventType,
                                                                    const BindingProperty&)) {
    std::string label = std::string("platform configuration event ") + path;
    ObserveResource<BindingProperty>(
        *this, path, [this, handler, label](const ResourceEvent<BindingProperty>& event) {
            manager->Lock().RunEvent(
                label, [this, handler, event] { (this->*handler)(event.eventType, event.data); });
        });
}

void ClubsPlugin::OnLoginSession(const ResourceEvent<Api::LoginSession>& event) {
    const Api::LoginSession& session = event.data;
    if (!IsCreateOrUpdate(event.eventType)) {
        // The session is gone: forget who was logged in, keep everything else.
        loggedIn = false;
        summonerId = 0;
        accountId = 0;
        idToken.clear();
        return;
    }
    const bool wasLoggedIn = loggedIn;
    loggedIn = session.state == Api::LoginSessionState::SUCCEEDED && session.accountId != 0 &&
               session.summonerId != 0;
    // Only the step from logged out to logged in takes the session's ids and token; updates
    // while logged in (a refreshed token included) and losing the session change nothing else.
    if (!wasLoggedIn && loggedIn) {
        summonerId = session.summonerId;
        accountId = session.accountId;
        idToken = session.idToken;
        ReloadIfLoggedIn();
    }
}

void ClubsPlugin::OnClubsEnabled(PluginResourceEventType type, const BindingProperty& value) {
    if (IsCreateOrUpdate(type)) {
        clubsEnabled = value.ToBool();
        ConfigureClubs();
    }
}

void ClubsPlugin::OnClubsQRXEnabled(PluginResourceEventType type, const BindingProperty& value) {
    if (IsCreateOrUpdate(type)) {
        clubsQRXEnabled = value.ToBool();
        ConfigureClubs();
    }
}

void ClubsPlugin::OnPlatformId(PluginResourceEventType type, const BindingProperty& value) {
    if (IsCreateOrUpdate(type)) {
        platformId = value.ToString();
        ConfigureClubs();
    }
}

void ClubsPlugin::OnClubServiceUrl(PluginResourceEventType type, const BindingProperty& value) {
    if (IsCreateOrUpdate(type)) {
        clubServiceUrl = value.ToString();
        ConfigureClubs();
    }
}

void ClubsPlugin::ReloadIfLoggedIn() {
    if (loggedIn) {
        ConfigureClubs();
    }
}

void ClubsPlugin::ConfigureClubs() {
    const bool enabled = clubsEnabled && clubsQRXEnabled && !clubServiceUrl.empty() &&
                         !idToken.empty() && loggedIn && !platformId.empty();
    const ClubsServiceClient::Headers headers = {
        {"Authorization", "JwtBearer " + idToken},
        {"Content-type", "application/json"},
    };
    if (!enabled) {
        Log(kLogOkay, kLogGroupGen, "zun-clubs: Clubs is NOT enabled");
        serviceClient->Configure(false, std::string(), headers);
        return;
    }
    Log(kLogOkay, kLogGroupGen, "zun-clubs: Clubs is enabled");
    DebugTrace("zun-clubs: Clubs URL: %s", clubServiceUrl);
    serviceClient->Configure(true, clubServiceUrl, headers);
    manager->LoadMembership();
}

}  // namespace Kolm::Client::Clubs
