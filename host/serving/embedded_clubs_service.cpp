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

EmbeddedClubsService::EmbeddedClubsService(const SimulatedPlayer& player) {
    const std::string& platform = player.platformId;
    players_.push_back({{platform, player.accountId, player.summonerId, player.idToken},
                        player.summonerName,
                        player.profileIconId});
    const char* const names[] = {"Aurelia", "Bram", "Corvina", "Dace"};
    for (uint64_t i = 0; i < 4; ++i) {
        const uint64_t account = 1002 + i;
        players_.push_back({{platform, account, 2002 + i, "local-token-" + std::to_string(account)},
                            names[i],
                            static_cast<int32_t>(10 + i)});
    }
}

EmbeddedClubsService::~EmbeddedClubsService() {
    Stop();
}

bool EmbeddedClubsService::Step(uint64_t accountId,
                                const char* method,
                                const std::string& url,
                                const std::string& body,
                                std::string* error) {
    const WebResponse answer = service_.HandleAs(accountId, method, url, body);
    if (answer.status >= 200 && answer.status < 300) {
        return true;
    }
    if (error != nullptr) {
        *error = std::string("seeding the clubs web service: ") + method + " " + url + " -> " +
                 std::to_string(answer.status) + " " + answer.body;
    }
    return false;
}

bool EmbeddedClubsService::Seed(std::string* error) {
    for (const SeedPlayer& seed : players_) {
        if (!service_.AddPlayer(seed.player)) {
            if (error != nullptr) {
                *error =
                    "the player's account id, summoner id or token collides with a seed "
                    "player (accounts 1002-1005, summoners 2002-2005)";
            }
            return false;
        }
    }
    const uint64_t self = players_.front().player.accountId;
    const std::string platform = players_.front().player.platformId;
    const std::string summoner = std::to_string(players_.front().player.summonerId);
    auto invite = [](uint64_t summonerId) {
        return "{\"inviteeSummonerId\":" + std::to_string(summonerId) + "}";
    };
    auto accept = [&](uint64_t account, const std::string& key) {
        return Step(
            account, "POST",
            "/v1/membership/" + platform + "/" + std::to_string(account) + "/invites/" + key,
            "{\"status\":1}", error);
    };
    auto create = [&](uint64_t account, const std::string& query, const std::string& name,
                      std::string& key) {
        if (!Step(account, "POST", "/v1/clubs?clubName=" + query, "", error)) {
            return false;
        }
        key = service_.FindClubKeyByName(name).value_or("");
        return !key.empty();
    };
    std::string owls, lanterns, tide;
    return create(self, "Night%20Owls", "Night Owls", owls) &&
           Step(self, "PUT", "/v1/clubs/" + owls + "/motd", "Raid night is Thursday.", error) &&
           Step(self, "POST", "/v1/clubs/" + owls + "/invites", invite(2004), error) &&
           accept(1004, owls) &&
           Step(self, "POST", "/v1/clubs/" + owls + "/invites", invite(2003), error) &&
           create(1002, "Lantern%20Keepers", "Lantern Keepers", lanterns) &&
           Step(1002, "POST", "/v1/clubs/" + lanterns + "/invites", invite(2003), error) &&
           accept(1003, lanterns) &&
           Step(1002, "POST", "/v1/clubs/" + lanterns + "/invites",
                "{\"inviteeSummonerId\":" + summoner + "}", error) &&
           create(1003, "Tidewatch", "Tidewatch", tide) &&
           Step(1003, "POST", "/v1/clubs/" + tide + "/invites", invite(2005), error) &&
           accept(1005, tide);
}

bool EmbeddedClubsService::Start(uint16_t port, std::string* error) {
    HttpServer::Options options;
    options.port = port;
    options.workers = 8;
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
        if (request.method != "GET") {
            return HttpResponse::Error(404, "the player list is read with GET");
        }
        std::string list = "[";
        for (const SeedPlayer& seed : players_) {
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
    bool known = false;
    for (const SeedPlayer& seed : players_) {
        known = known || seed.player.accountId == *account;
    }
    if (!known) {
        return HttpResponse::Error(404, "no player with account id " + std::to_string(*account));
    }
    std::string url(rest.substr(slash));
    if (!request.Query().empty()) {
        url += "?" + std::string(request.Query());
    }
    return FromWeb(service_.HandleAs(*account, request.method, url, request.body));
}

}  // namespace Kolm::Host
