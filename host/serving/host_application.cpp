#include "host/serving/host_application.h"

#include "host/serving/console_site.h"
#include "host/serving/openapi_document.h"

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

std::string Version(uint32_t major, uint32_t minor, uint32_t patch) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

}  // namespace

HostApplication::HostApplication(HostOptions options, LogSink log)
    : options_(std::move(options)), log_(std::move(log)) {}

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
    CurlTransport::Global();
    if (options_.clubsServiceUrl.empty()) {
        embedded_ = std::make_unique<EmbeddedClubsService>(options_.player);
        if (!embedded_->Seed(error) || !embedded_->Start(options_.servicePort, error)) {
            return kExitSetup;
        }
        clubsServiceUrl_ = embedded_->BaseUrl();
    } else {
        clubsServiceUrl_ = options_.clubsServiceUrl;
    }
    platform_ = std::make_unique<PlatformSimulation>(bus_, options_.player, clubsServiceUrl_);
    if (embedded_ != nullptr) {
        for (const SeedPlayer& seed : embedded_->Players()) {
            platform_->Summoner().AddSummoner(seed.player.summonerId, seed.name,
                                              seed.profileIconId);
        }
        platform_->Relay().Follow(embedded_->Service());
    }
    events_ = std::make_unique<EventStream>(bus_);
    host_ = std::make_unique<ServingHost>(
        bus_, platform_->Plugins(), transport_,
        [this](int32_t level, const char* line) { WritePluginLog(level, line); });

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
    server_ = std::make_unique<HttpServer>(
        serverOptions, [this](const HttpRequest& request) { return Handle(request); });
    if (!server_->Start(error)) {
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
    if (record_.callbacks->Init(record_.instance, &host_->Context()) == 0) {
        *error = "the plugin's Init failed";
        return kExitInitFailed;
    }
    ready_ = true;
    return kExitClean;
}

void HostApplication::Stop() {
    if (server_ != nullptr) {
        server_->Stop();
    }
    if (platform_ != nullptr) {
        platform_->Relay().Stop();
    }
    if (loaded_) {
        ready_ = false;
        record_.callbacks->Shutdown(record_.instance);
        loaded_ = false;
    }
    events_.reset();
    if (embedded_ != nullptr) {
        embedded_->Stop();
    }
}

HttpResponse HostApplication::Handle(const HttpRequest& request) {
    const std::string_view path = request.Path();
    const std::string_view prefix = kHostPrefix;
    HttpResponse response;
    if (std::optional<HttpResponse> console = ServeConsole(request)) {
        response = std::move(*console);
    } else if (path == "/" || path.substr(0, prefix.size() + 1) == std::string(prefix) + "/" ||
               path == prefix) {
        response = HandleHostPath(
            request, path == "/" ? "" : path.substr(std::min(path.size(), prefix.size())));
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
    if (rest == "/events") {
        return request.method == "GET"
                   ? events_->Open(request)
                   : HttpResponse::Error(404, "the event stream is read with GET");
    }
    if (rest == "/openapi.json") {
        return request.method == "GET" ? HttpResponse::Json(200, openApi_)
                                       : HttpResponse::Error(404, "the document is read with GET");
    }
    constexpr std::string_view kService = "/clubs-service";
    if (rest.substr(0, kService.size()) == kService) {
        if (embedded_ == nullptr) {
            return HttpResponse::Error(404, "the clubs web service is not embedded in this host");
        }
        return embedded_->HandleAdmin(request, rest.substr(kService.size()));
    }
    if (rest.empty() || rest == "/") {
        return Index();
    }
    return HttpResponse::Error(404, "no host path " + std::string(kHostPrefix) + std::string(rest));
}

HttpResponse HostApplication::Index() const {
    const std::string base = BaseUrl();
    std::string body = "{\"plugin\":" + JsonQuote(PluginName()) +
                       ",\"membership\":" + JsonQuote(base + "/zun-clubs/v1/clubs/membership") +
                       ",\"openapi\":" + JsonQuote(base + kHostPrefix + "/openapi.json") +
                       ",\"events\":" + JsonQuote(base + kHostPrefix + "/events") +
                       ",\"clubsService\":" + JsonQuote(clubsServiceUrl_) +
                       ",\"toasts\":" + JsonQuote(base + "/player-notifications/v1/notifications") +
                       ",\"session\":" + JsonQuote(base + "/zun-login/v1/session") + "}";
    return HttpResponse::Json(200, body);
}

}  // namespace Kolm::Host
