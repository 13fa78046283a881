#include "host/serving/embedded_clubs_service.h"

#include <optional>

namespace Kolm::Host {
namespace {

HttpResponse FromWeb(const WebResponse& answer) {
    HttpResponse response = HttpResponse::Json(answer.status, answer.body);
    for (const auto& [name, value] : answer.headers) {
        if (name == "Content-Type" || name == "Content-type" || name == "content-type") {
            response.contentType = value;
        } else {
            response.headers.emplace_back(name, value);
        }
    }
    return response;
}

}  // namespace

EmbeddedClubsService::~EmbeddedClubsService() {
    Stop();
}

void EmbeddedClubsService::Load(const World& world) {
    std::vector<SeedPlayer> players;
    for (const auto& [accountId, record] : world.service.players) {
        const auto profile = world.profiles.find(accountId);
        players.push_back({record.player,
                           profile != world.profiles.end() ? profile->second.name : "",
                           profile != world.profiles.end() ? profile->second.profileIconId : 0});
    }
    {
        const Platform::MutexLock lock(playersMutex_);
        players_ = std::move(players);
    }
    service_.Replace(world.service, world.clock, world.clockFrozen);
}

std::vector<SeedPlayer> EmbeddedClubsService::Players() const {
    const Platform::MutexLock lock(playersMutex_);
    return players_;
}

bool EmbeddedClubsService::Knows(uint64_t accountId) const {
    const Platform::MutexLock lock(playersMutex_);
    for (const SeedPlayer& seed : players_) {
        if (seed.player.accountId == accountId) {
            return true;
        }
    }
    return false;
}

bool EmbeddedClubsService::Start(uint16_t port,
                                 std::vector<std::string> allowedOrigins,
                                 std::string* error) {
    HttpServer::Options options;
    options.port = port;
    options.workers = 8;
    options.allowedOrigins = std::move(allowedOrigins);
    server_ = std::make_unique<HttpServer>(
        options, [this](const HttpRequest& request) { return HandleService(request); });
    if (!server_->Start(error)) {
        server_.reset();
        return false;
    }
    return true;
}

void EmbeddedClubsService::Stop() {
    if (server_ != nullptr) {
        server_->Stop();
        server_.reset();
    }
}

std::string EmbeddedClubsService::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(server_ != nullptr ? server_->Port() : 0);
}

HttpResponse EmbeddedClubsService::HandleService(const HttpRequest& request) {
    WebRequest web;
    web.method = request.method;
    web.url = request.target;
    for (const auto& [name, value] : request.headers) {
        web.headers[name] = value;
    }
    web.body = request.body;
    return FromWeb(service_.Handle(web));
}

HttpResponse EmbeddedClubsService::HandleAdmin(const HttpRequest& request, std::string_view rest) {
    if (rest == "/players" || rest == "/players/") {
        if (request.method != "GET" && request.method != "HEAD") {
            return HttpResponse::NotAllowed("GET, HEAD", "the player list is read with GET");
        }
        std::string list = "[";
        for (const SeedPlayer& seed : Players()) {
            list += std::string(list.size() > 1 ? "," : "") +
                    "{\"accountId\":" + std::to_string(seed.player.accountId) +
                    ",\"summonerId\":" + std::to_string(seed.player.summonerId) +
                    ",\"name\":" + JsonQuote(seed.name) +
                    ",\"platformId\":" + JsonQuote(seed.player.platformId) +
                    ",\"idToken\":" + JsonQuote(seed.player.token) + "}";
        }
        return HttpResponse::Json(200, list + "]");
    }
    constexpr std::string_view kAs = "/as/";
    if (rest.substr(0, kAs.size()) != kAs) {
        return HttpResponse::Error(404, "admin paths: /players, /as/<accountId>/<service path>");
    }
    rest.remove_prefix(kAs.size());
    const std::size_t slash = rest.find('/');
    const std::optional<uint64_t> account = ParseDecimal(rest.substr(0, slash));
    if (!account || slash == std::string_view::npos) {
        return HttpResponse::Error(400, "acting as a player: /as/<accountId>/<service path>");
    }
    if (!Knows(*account)) {
        return HttpResponse::Error(404, "no player with account id " + std::to_string(*account));
    }
    std::string url(rest.substr(slash));
    if (!request.Query().empty()) {
        url += "?" + std::string(request.Query());
    }
    return FromWeb(service_.HandleAs(*account, request.method, url, request.body));
}

}  // namespace Kolm::Host
