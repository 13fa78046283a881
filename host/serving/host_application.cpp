#include "host/serving/host_application.h"

#include <fstream>
#include <sstream>

#include "host/serving/clock_endpoints.h"
#include "host/serving/console_site.h"
#include "host/serving/fault_endpoints.h"
#include "host/serving/journal_endpoints.h"
#include "host/serving/openapi_document.h"
#include "host/serving/world_endpoint.h"
#include "host/simulated/simulated_plugin.h"
#include "host/worlds/default_world.h"
#include "host/worlds/world_document.h"
#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

namespace Kolm::Host {
namespace {

const char* LevelName(int32_t level) {
    switch (level) {
        case 0:
            return "OKAY";
        case 1:
            return "WARN";
        case 2:
            return "ERROR";
        case 3:
            return "ALWAYS";
        default:
            return "LEVEL?";
    }
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(Kolm::Platform::Utf8Path(path), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Version(uint32_t major, uint32_t minor, uint32_t patch) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

bool IsUnder(std::string_view path, std::string_view prefix) {
    return path.substr(0, prefix.size()) == prefix &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

// "/" and the host's REST paths.
bool IsHostPath(std::string_view path) {
    return path == "/" || IsUnder(path, HostApplication::kHostPrefix);
}

// The paths that Handle serves before the simulated plugins: the console's and the host's.
bool IsHostOrConsolePath(std::string_view path) {
    return IsHostPath(path) || IsUnder(path, kConsolePath.substr(0, kConsolePath.size() - 1));
}

// The REST server's lanes. The plugin's calls can wait a long time (it serialises its clubs
// handlers, and a fault rule may delay each one), so they get a lane of their own and cannot
// take the workers that the host's own paths need to answer at once, the fault rules' included.
// The host's changes that the plugin hears at once (a simulated plugin's change, a new world:
// their events run the plugin's handlers on the calling thread) wait for those same handlers,
// so they have a lane of their own too, and the host's reads and fault rules never queue
// behind them. Each lane bounds its queue: with its workers the plugin lane holds at most 272
// of the server's 512 connections and each host lane 68, so a flood of waiting requests in one
// lane is refused with 503 before it can leave the others without a connection.
// Waits for journal entries hold their worker for up to a minute, so they have a lane of their
// own as well, bounded like the others, and never take a worker from the host's other paths.
enum Lane : std::size_t {
    kPluginLane = 0,
    kHostLane = 1,
    kHostChangeLane = 2,
    kJournalWaitLane = 3
};

std::vector<HttpServer::Lane> ServerLanes() {
    std::vector<HttpServer::Lane> lanes(4);
    lanes[kJournalWaitLane].workers = 8;
    lanes[kJournalWaitLane].maxWaiting = 24;
    lanes[kJournalWaitLane].fullMessage =
        "too many waits for the request journal are under way; this one was not started, try "
        "again later";
    lanes[kPluginLane].workers = 16;
    lanes[kPluginLane].maxWaiting = 256;
    lanes[kPluginLane].fullMessage =
        "too many calls are waiting for the plugin; this one was not started, try again later";
    for (const Lane lane : {kHostLane, kHostChangeLane}) {
        lanes[lane].workers = 4;
        lanes[lane].maxWaiting = 64;
        lanes[lane].fullMessage =
            "too many requests are waiting for the host; this one was not started, try again "
            "later";
    }
    return lanes;
}

// A cause names its request by method and target, cut to this many bytes of the target.
constexpr std::size_t kMaxCauseTargetBytes = 256;

bool IsReading(const HttpRequest& request) {
    return request.method == "GET" || request.method == "HEAD";
}

}  // namespace

HostApplication::HostApplication(HostOptions options, LogSink log)
    : options_(std::move(options)),
      log_(std::move(log)),
      faults_([this](const FaultRule& rule,
                     std::string_view service,
                     std::string_view method,
                     std::string_view path) { FaultApplied(rule, service, method, path); }),
      journal_(RequestJournal::kDefaultMaxBytes,
               [this](const JournalEntry* entry) { PublishJournalEntry(entry); }) {}

void HostApplication::PublishJournalEntry(const JournalEntry* entry) {
    if (EventStream* events = events_.get()) {
        const std::string json = JournalEventJson(entry);
        const std::string uri = JournalEventUri(entry);
        events->Publish(ResourceEventName("/zun-clubs-host/v1/requests"), json, uri);
        events->Publish(BusEventFeed::kPlainEventName, json, uri);
    }
}

void HostApplication::FaultApplied(const FaultRule& rule,
                                   std::string_view service,
                                   std::string_view method,
                                   std::string_view path) {
    if (log_) {
        log_("fault rule " + rule.id + " applied to " + std::string(service) + " " +
             std::string(method) + " " + std::string(path) + ": " + FaultRuleSummaryJson(rule));
    }
    if (EventStream* events = events_.get()) {
        const std::string json = FaultEventJson(rule, service, method, path);
        const std::string uri = FaultEventUri(rule);
        events->Publish(ResourceEventName("/zun-clubs-host/v1/faults"), json, uri);
        events->Publish(BusEventFeed::kPlainEventName, json, uri);
    }
}

std::optional<World> HostApplication::StartingWorld(std::string* error) const {
    std::string text(DefaultWorldJson());
    WorldFormat format = WorldFormat::Json;
    if (!options_.worldFile.empty()) {
        const std::optional<std::string> read = ReadFile(options_.worldFile);
        if (!read) {
            *error = "cannot read the world " + options_.worldFile;
            return std::nullopt;
        }
        text = *read;
        format = WorldFormatOfFile(options_.worldFile);
    }
    WorldParse parsed = ParseWorld(text, format);
    if (!parsed.world) {
        *error = "the world " + (options_.worldFile.empty() ? "built in" : options_.worldFile) +
                 ": " + parsed.error;
        return std::nullopt;
    }
    if (const std::string clash = HostWorld::OverridePlayer(*parsed.world, options_.player);
        !clash.empty()) {
        *error = clash;
        return std::nullopt;
    }
    return parsed.world;
}

int HostApplication::StartPlatform(std::string* error) {
    if (!options_.faultsFile.empty()) {
        const std::optional<std::string> rules = ReadFile(options_.faultsFile);
        const std::string refused = rules ? faults_.AddAll(*rules) : "cannot read the file";
        if (!refused.empty()) {
            *error = "the fault rules " + options_.faultsFile + ": " + refused;
            return kExitUsage;
        }
    }
    if (!options_.clubsServiceUrl.empty()) {
        if (!options_.worldFile.empty()) {
            *error = "--world needs the embedded clubs web service; leave out --clubs-service-url";
            return kExitUsage;
        }
        clubsServiceUrl_ = options_.clubsServiceUrl;
        SimulatedPlayer player;
        player.platformId = options_.player.platformId.value_or(player.platformId);
        player.accountId = options_.player.accountId.value_or(player.accountId);
        player.summonerId = options_.player.summonerId.value_or(player.summonerId);
        player.summonerName = options_.player.summonerName.value_or(player.summonerName);
        player.idToken = options_.player.idToken.value_or(player.idToken);
        platform_ = std::make_unique<PlatformSimulation>(bus_, player, clubsServiceUrl_);
        return kExitClean;
    }
    const std::optional<World> world = StartingWorld(error);
    if (!world) {
        return kExitUsage;
    }
    embedded_ = std::make_unique<EmbeddedClubsService>();
    if (!embedded_->Start(options_.servicePort, options_.allowedOrigins, error)) {
        return kExitSetup;
    }
    clubsServiceUrl_ = embedded_->BaseUrl();
    platform_ = std::make_unique<PlatformSimulation>(
        bus_, HostWorld::LoggedInPlayer(*world).value_or(SimulatedPlayer{}), clubsServiceUrl_);
    world_ = std::make_unique<HostWorld>(*embedded_, *platform_);
    world_->Apply(*world);
    snapshots_ = std::make_unique<WorldSnapshots>(*world);
    platform_->Relay().Follow(embedded_->Service());
    return kExitClean;
}

int HostApplication::ReadStartingScenario(std::string* error) {
    if (options_.scenarioFile.empty()) {
        return kExitClean;
    }
    const std::optional<std::string> text = ReadFile(options_.scenarioFile);
    if (!text) {
        *error = "cannot read the scenario " + options_.scenarioFile;
        return kExitUsage;
    }
    ScenarioParse parsed = ParseScenario(*text, ScenarioFormatOfFile(options_.scenarioFile));
    if (!parsed.scenario) {
        *error = "the scenario " + options_.scenarioFile + ": " + parsed.error;
        return kExitUsage;
    }
    startingScenario_ = std::move(parsed.scenario);
    return kExitClean;
}

void HostApplication::PublishScenarioEvent(const std::string& json, const std::string& uri) {
    if (EventStream* events = events_.get()) {
        events->Publish(ResourceEventName("/zun-clubs-host/v1/scenarios"), json, uri);
        events->Publish(BusEventFeed::kPlainEventName, json, uri);
    }
}

void HostApplication::ExportWorld() {
    if (options_.exportWorldFile.empty() || world_ == nullptr) {
        return;
    }
    // Written beside the old file and renamed over it: a stop cut short leaves the old world.
    std::string error;
    const bool written = Kolm::Platform::WriteFileAtomically(options_.exportWorldFile,
                                                             WriteWorld(world_->Current()), &error);
    if (log_) {
        log_(written ? "world written to " + options_.exportWorldFile
                     : "cannot write the world to " + options_.exportWorldFile + ": " + error);
    }
}

WorldRestoreSteps HostApplication::RestoreSteps() {
    WorldRestoreSteps steps;
    steps.beforeReset = [this] { faults_.Clear(); };
    steps.awaitPlugin = [this] { platform_->Relay().Drain(); };
    // After the plugin has heard the reset: its notices and the calls it made for the reset go.
    steps.afterReset = [this] {
        platform_->Notifications().Clear();
        journal_.Clear();
    };
    steps.resetClears = {"faultRules", "toasts", "requests"};
    return steps;
}

HostApplication::~HostApplication() {
    Stop();
}

const char* HostApplication::PluginName() const {
    return loaded_ && record_.shortName != nullptr ? record_.shortName : "";
}

void HostApplication::WritePluginLog(int32_t level, const char* line) {
    if (log_) {
        log_(std::string("plugin [") + LevelName(level) + "] " + line);
    }
}

int HostApplication::Start(LoadZunClubsFunction entry, std::string* error) {
    HttpTransport::Global();
    if (const int code = ReadStartingScenario(error); code != kExitClean) {
        return code;
    }
    if (const int code = StartPlatform(error); code != kExitClean) {
        return code;
    }
    EventStream::Options streamOptions;
    streamOptions.plainEventName = BusEventFeed::kPlainEventName;
    events_ = std::make_unique<EventStream>(std::move(streamOptions));
    feed_ = std::make_unique<BusEventFeed>(bus_, *events_);
    scenarios_ = std::make_unique<ScenarioRuns>(
        [this](const HttpRequest& request) { return Handle(request); },
        [this](const std::string& json, const std::string& uri) {
            PublishScenarioEvent(json, uri);
        });
    host_ = std::make_unique<ServingHost>(
        bus_, platform_->Plugins(), transport_,
        [this](int32_t level, const char* line) { WritePluginLog(level, line); });
    host_->UseFaults(&faults_);
    host_->UseJournal(&journal_);

    record_ = PluginLoadRecord{};
    record_.versionMajor = options_.apiMajor;
    record_.versionMinor = options_.apiMinor;
    record_.versionPatch = options_.apiPatch;
    entry(&record_);
    if (record_.callbacks == nullptr || record_.instance == nullptr) {
        *error = "the plugin refused the host's plugin-API version " +
                 Version(options_.apiMajor, options_.apiMinor, options_.apiPatch) +
                 " (the plugin's own version is " +
                 Version(record_.versionMajor, record_.versionMinor, record_.versionPatch) + ")";
        return kExitRefused;
    }
    loaded_ = true;
    // A copy: make_unique forwards by reference, and the packed record's field is unaligned.
    const HostApiDescription* description = record_.apiDescription;
    bridge_ = std::make_unique<RequestBridge>(description);

    HttpServer::Options serverOptions;
    serverOptions.port = options_.port;
    serverOptions.allowedOrigins = options_.allowedOrigins;
    serverOptions.lanes = ServerLanes();
    serverOptions.limits.bodyLimit =
        [otherwise = serverOptions.limits.maxBodyBytes](const HttpRequest& head) {
            return HostBodyLimit(head, std::string(kHostPrefix) + "/world", otherwise);
        };
    server_ = std::make_unique<HttpServer>(
        serverOptions, [this](const HttpRequest& request) { return Handle(request); },
        [this](const HttpRequest& request) -> std::size_t { return LaneOf(request); });
    if (!server_->Bind(error)) {
        server_.reset();
        return kExitSetup;
    }
    if (record_.apiDescription != nullptr) {
        OpenApiInfo info;
        info.title = std::string(PluginName()) + " REST API";
        info.version = Version(record_.versionMajor, record_.versionMinor, record_.versionPatch);
        info.serverUrl = BaseUrl();
        info.eventStreamPath = std::string(kHostPrefix) + "/events";
        openApi_ = BuildOpenApiDocument(*record_.apiDescription, info);
    }
    const JournalCauseScope cause("host", "plugin start");
    if (record_.callbacks->Init(record_.instance, &host_->Context()) == 0) {
        *error = "the plugin's Init failed";
        return kExitInitFailed;
    }
    ready_ = true;
    // Listening only now: a client that reaches the port finds the plugin started.
    if (!server_->Start(error)) {
        return kExitSetup;
    }
    if (startingScenario_) {
        const HttpResponse started = scenarios_->Start(std::move(*startingScenario_));
        startingScenario_.reset();
        if (log_) {
            log_("scenario " + options_.scenarioFile +
                 (started.status == 201 ? " started as " + std::string(kHostPrefix) + "/scenarios/1"
                                        : " not started: " + started.body));
        }
    }
    return kExitClean;
}

void HostApplication::Stop() {
    // Calls held by a fault rule's latency would keep the server's workers (and so the stop)
    // waiting for as long as the rule says.
    faults_.EndWaits();
    journal_.EndWaits();
    if (scenarios_ != nullptr) {
        scenarios_->StopAll();
    }
    if (server_ != nullptr) {
        server_->Stop();
    }
    if (platform_ != nullptr) {
        platform_->Relay().Stop();
    }
    if (loaded_) {
        ready_ = false;
        const JournalCauseScope cause("host", "plugin stop");
        record_.callbacks->Shutdown(record_.instance);
        loaded_ = false;
    }
    feed_.reset();
    events_.reset();
    ExportWorld();
    world_.reset();
    snapshots_.reset();
    if (embedded_ != nullptr) {
        embedded_->Stop();
    }
}

std::size_t HostApplication::LaneOf(const HttpRequest& request) const {
    const std::string_view path = request.Path();
    if (platform_->Serves(request)) {
        return IsReading(request) ? kHostLane : kHostChangeLane;
    }
    if (!IsHostOrConsolePath(path)) {
        return kPluginLane;
    }
    if (path == std::string(kHostPrefix) + "/requests/wait") {
        return kJournalWaitLane;
    }
    const bool worldChange =
        IsUnder(path, std::string(kHostPrefix) + "/world") && !IsReading(request);
    return worldChange ? kHostChangeLane : kHostLane;
}

HttpResponse HostApplication::Handle(const HttpRequest& request) {
    const std::string_view path = request.Path();
    const std::string_view prefix = kHostPrefix;
    // The calls the plugin makes while this request is handled name it as their cause.
    const JournalCauseScope cause(
        "request", request.method + " " + request.target.substr(0, kMaxCauseTargetBytes));
    HttpResponse response;
    if (std::optional<HttpResponse> console = ServeConsole(request)) {
        response = std::move(*console);
    } else if (IsHostPath(path)) {
        // Any change through the host's paths may move the clock (a set, a new world, a stamp).
        ClubsWebService* service =
            embedded_ != nullptr && !IsReading(request) ? &embedded_->Service() : nullptr;
        const std::optional<ClubsWebService::ClockReading> clock =
            service != nullptr ? std::optional(service->Clock()) : std::nullopt;
        response = HandleHostPath(
            request, path == "/" ? "" : path.substr(std::min(path.size(), prefix.size())));
        if (clock && events_ != nullptr) {
            PublishClockIfMoved(*events_, *clock, service->Clock());
        }
    } else if (std::optional<HttpResponse> simulated = platform_->Handle(request)) {
        response = std::move(*simulated);
    } else if (!ready_) {
        response = HttpResponse::Error(503, "the plugin is not started");
    } else {
        response = bridge_->Handle(request);
    }
    if (!options_.quiet && log_) {
        log_("http " + request.method + " " + request.target + " -> " +
             std::to_string(response.status));
    }
    return response;
}

HttpResponse HostApplication::HandleHostPath(const HttpRequest& request, std::string_view rest) {
    const bool reading = IsReading(request);
    if (rest == "/events") {
        return request.method == "GET"
                   ? events_->Open(request)
                   : HttpResponse::NotAllowed("GET", "the event stream is read with GET");
    }
    if (rest == "/openapi.json") {
        return reading ? HttpResponse::Json(200, openApi_)
                       : HttpResponse::NotAllowed("GET, HEAD", "the document is read with GET");
    }
    constexpr std::string_view kRequests = "/requests";
    if (IsUnder(rest, kRequests)) {
        return HandleJournalRequest(request, rest.substr(kRequests.size()), journal_);
    }
    constexpr std::string_view kFaults = "/faults";
    if (IsUnder(rest, kFaults)) {
        return HandleFaultRequest(request, rest.substr(kFaults.size()), faults_);
    }
    constexpr std::string_view kScenarios = "/scenarios";
    if (IsUnder(rest, kScenarios)) {
        return scenarios_ != nullptr ? scenarios_->Handle(request, rest.substr(kScenarios.size()))
                                     : HttpResponse::Error(503, "the host is not started");
    }
    constexpr std::string_view kClock = "/clock";
    if (IsUnder(rest, kClock)) {
        if (embedded_ == nullptr) {
            return HttpResponse::Error(404,
                                       "the clock lives in the embedded clubs web service, "
                                       "not embedded in this host");
        }
        return HandleClockRequest(request, rest.substr(kClock.size()), embedded_->Service());
    }
    constexpr std::string_view kWorld = "/world";
    if (IsUnder(rest, kWorld)) {
        if (world_ == nullptr) {
            return HttpResponse::Error(
                404,
                "the world lives in the embedded clubs web service, not embedded in this host");
        }
        return rest == kWorld ? HandleWorldRequest(request, *world_)
                              : HandleWorldSnapshotRequest(request, rest.substr(kWorld.size()),
                                                           *world_, *snapshots_, RestoreSteps());
    }
    constexpr std::string_view kService = "/clubs-service";
    if (rest.substr(0, kService.size()) == kService) {
        if (embedded_ == nullptr) {
            return HttpResponse::Error(404, "the clubs web service is not embedded in this host");
        }
        return embedded_->HandleAdmin(request, rest.substr(kService.size()));
    }
    if (rest.empty() || rest == "/") {
        return reading ? Index()
                       : HttpResponse::NotAllowed("GET, HEAD", "the index is read with GET");
    }
    return HttpResponse::Error(404, "no host path " + std::string(kHostPrefix) + std::string(rest));
}

HttpResponse HostApplication::Index() const {
    const std::string base = BaseUrl();
    std::string body = "{\"plugin\":" + JsonQuote(PluginName()) +
                       ",\"membership\":" + JsonQuote(base + "/zun-clubs/v1/clubs/membership") +
                       ",\"openapi\":" + JsonQuote(base + kHostPrefix + "/openapi.json") +
                       ",\"events\":" + JsonQuote(base + kHostPrefix + "/events") +
                       ",\"world\":" + JsonQuote(base + kHostPrefix + "/world") +
                       ",\"faults\":" + JsonQuote(base + kHostPrefix + "/faults") +
                       ",\"clock\":" + JsonQuote(base + kHostPrefix + "/clock") +
                       ",\"requests\":" + JsonQuote(base + kHostPrefix + "/requests") +
                       ",\"scenarios\":" + JsonQuote(base + kHostPrefix + "/scenarios") +
                       ",\"clubsService\":" + JsonQuote(clubsServiceUrl_) +
                       ",\"toasts\":" + JsonQuote(base + "/player-notifications/v1/notifications") +
                       ",\"session\":" + JsonQuote(base + "/zun-login/v1/session") + "}";
    return HttpResponse::Json(200, body);
}

}  // namespace Kolm::Host
