// ClubsTestHost: the host side for the clubs tests. It loads the real plugin library through
// its export, hands it a complete host table, and plays the parts around it: the login plugin,
// the platform-configuration, player-notifications, summoner and chat plugins (simulated plugins
// on an event bus), the messaging service's topics, and the clubs web service (the in-memory one).
// It calls the plugin's REST endpoints the way a host does and records what the plugin publishes,
// asks and logs.
//
// Thread rules: every member may be used from several threads at once; the records are guarded
// by one mutex that is never held while the plugin or a scripted hook runs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/boundary/host_api_table.h"
#include "host/boundary/plugin_library.h"
#include "host/clubs_web_service/clubs_web_service.h"
#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_chat.h"
#include "host/simulated/simulated_messaging_service.h"
#include "host/simulated/simulated_platform_config.h"
#include "host/simulated/simulated_player_notifications.h"
#include "host/simulated/simulated_plugin.h"
#include "host/simulated/simulated_plugins.h"
#include "host/simulated/simulated_summoner.h"
#include "logging/log_record.h"
#include "plugin/host_boundary.h"

namespace Kolm::ClubsTest {

using nlohmann::json;

inline constexpr const char* kServiceUrl = "https://clubs.test";
inline constexpr const char* kPlatformId = "EUW1";
inline constexpr uint64_t kAccountId = 2001;
inline constexpr uint64_t kSummonerId = 3001;
inline constexpr const char* kToken = "token-a";

// What an endpoint handler wrote into its response record.
struct RestReply {
    bool hasError = false;
    std::string errorText;
    uint32_t status = 0;
    json value;  // the result value as JSON (null when there is none)
};

// One line the plugin logged: the level WriteLog passed (kLogOkay ... kLogAlways) and the text.
// The group mask does not cross the host table; clubs_log_groups_test.cpp checks it in process.
struct LogLine {
    int32_t level = 0;
    std::string text;
    bool operator==(const LogLine&) const = default;
};

// One resource event the plugin published (its "OnJsonApiEvent" copy).
struct PublishedEvent {
    std::string uri;
    int eventType = -1;
    json data;
};

class ClubsTestHost {
  public:
    using ServiceHook = std::function<std::optional<Host::WebResponse>(const Host::WebRequest&)>;

    // Opens the plugin library and runs its load; EXPECTs it to succeed.
    ClubsTestHost();
    // Shuts the plugin down when it was started.
    ~ClubsTestHost();

    // Calls the plugin's Init with the host table; the result of Init.
    bool Init();

    // --- The plugins around the clubs plugin ---

    // The login plugin's session, as a resource event (and its value for later reads).
    void SetSession(int state,
                    uint64_t accountId,
                    uint64_t summonerId,
                    const std::string& token,
                    Host::ResourceEventType type = Host::ResourceEventType::Update);
    void DeleteSession();
    // A platform-configuration value at `path`; `value` as JSON text ("true", "\"EUW1\"").
    void SetPlatformValue(const std::string& path,
                          const std::string& valueJson,
                          Host::ResourceEventType type = Host::ResourceEventType::Update);
    // Session, both switches, platform id and service URL, so that clubs is enabled.
    void EnableClubs();
    // A push message on the player's membership topic.
    void SendMembershipMessage();

    // The player the tests act as, known to the web service under kAccountId and kToken.
    void AddDefaultPlayer();

    // --- The plugin's REST API ---
    RestReply Call(uint32_t method,
                   const std::string& uri,
                   const std::string& body = {},
                   const std::string& contentType = "application/json");
    struct EndpointInfo {
        std::string name;
        uint32_t method = 0;
        std::string pathTemplate;
        std::vector<uint32_t> argumentLocations;
    };
    // The function entries of the plugin's API description, in order.
    std::vector<EndpointInfo> Endpoints() const;
    // The JSON names of a registered structure's fields, in order (empty when not registered).
    std::vector<std::string> TypeFields(const std::string& typeName) const;
    // The function name of the endpoint the host picks for this request (empty: none).
    std::string EndpointFor(uint32_t method, const std::string& uri) const;

    // --- Records ---
    std::vector<PublishedEvent> Published() const;
    std::vector<PublishedEvent> PublishedOn(const std::string& uri) const;
    std::vector<Host::WebRequest> ServiceRequests() const;
    std::vector<LogLine> LogLines() const;
    // How many lines of this level and text were logged.
    long CountLines(int32_t level, const std::string& text) const;
    void ClearRecords();

    // Runs before the web service answers, on the requesting thread; an answer returned by
    // the hook is given instead of the service's.
    void SetServiceHook(ServiceHook hook);

    Host::HostEventBus bus;
    Host::SimulatedPlugins plugins{bus};
    Host::ClubsWebService service;
    std::shared_ptr<Host::SimulatedPlugin> login;
    std::shared_ptr<Host::SimulatedPlatformConfig> platformConfig;
    std::shared_ptr<Host::SimulatedPlayerNotifications> notifications;
    std::shared_ptr<Host::SimulatedSummoner> summoner;
    std::shared_ptr<Host::SimulatedChat> chat;
    std::shared_ptr<Host::SimulatedMessagingService> messaging;

  private:
    friend struct Host::HostApiTable<ClubsTestHost>;
    static ClubsTestHost& From(const HostApi* api);

    static void ZC_HOST_CALL SendRemotingRequest(const HostApi* api,
                                                 HostResponse* response,
                                                 const HostRequest* request);
    static void ZC_HOST_CALL SendHttpRequest(const HostApi* api,
                                             HostHttpResponse* response,
                                             const HostHttpRequest* request);
    static void ZC_HOST_CALL SendEvent(const HostApi* api, const HostEventRecord* event);
    static void ZC_HOST_CALL SubscribeHostEvent(const HostApi* api,
                                                const char* eventName,
                                                uint32_t clientWord,
                                                HostEventCallback callback,
                                                void* userData,
                                                uint32_t kind);
    static void ZC_HOST_CALL UnsubscribeHostEvent(const HostApi* api,
                                                  const char* eventName,
                                                  uint32_t clientWord);
    static void ZC_HOST_CALL
    Reserved5(const HostApi*, uint32_t, uint32_t, uint32_t, double, uint32_t) {}
    static void ZC_HOST_CALL HostYield(const HostApi*) {}
    static void ZC_HOST_CALL BeginWait(const HostApi*, const char*, uint32_t) {}
    static uint64_t ZC_HOST_CALL EndWait(const HostApi*) { return 0; }
    static void ZC_HOST_CALL WriteLog(const HostApi* api, int32_t level, const char* line);

    const HostFunctionEntry* PickEndpoint(uint32_t method, const std::string& uri) const;

    // A thread's last web-service answer, kept until that thread's next request as a host's
    // transport would. The host holds them, not thread_local storage: the Windows toolchain
    // destroys a thread_local object after it has released the object's storage.
    struct HttpAnswer {
        std::string body;
        std::vector<std::pair<std::string, std::string>> headerTexts;
        std::vector<HostHeader> headers;
    };
    HttpAnswer& KeptAnswerOfThisThread();

    std::unique_ptr<Host::PluginLibrary> library_;
    PluginLoadRecord record_{};
    Host::HostApiTable<ClubsTestHost> table_{this};
    HostContext context_{};
    bool started_ = false;

    mutable std::mutex mutex_;
    ServiceHook serviceHook_;
    std::vector<PublishedEvent> published_;
    std::vector<Host::WebRequest> serviceRequests_;
    std::vector<LogLine> logLines_;
    std::map<std::thread::id, HttpAnswer> httpAnswers_;
};

}  // namespace Kolm::ClubsTest
