#include "host/serving/platform_simulation.h"

#include <rapidjson/document.h>

#include "host/boundary/bounded_json.h"
#include "host/serving/request_bridge.h"

namespace Kolm::Host {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

HttpResponse HttpFromSimulatedAnswer(const SimulatedAnswer& answer) {
    HttpResponse response;
    if (answer.hasError) {
        response = HttpResponse::Error(answer.status == 0 ? 500 : static_cast<int>(answer.status),
                                       answer.errorText.value_or(""));
    } else {
        response = HttpResponse::Json(answer.status == 0 ? 200 : static_cast<int>(answer.status),
                                      answer.value.ToJson());
    }
    return response;
}

PlatformSimulation::PlatformSimulation(HostEventBus& bus,
                                       SimulatedPlayer player,
                                       std::string clubServiceUrl)
    : player_(std::move(player)),
      plugins_(bus),
      login_(plugins_.Add("/zun-login")),
      platformConfig_(std::make_shared<SimulatedPlatformConfig>()),
      summoner_(std::make_shared<SimulatedSummoner>()),
      chat_(std::make_shared<SimulatedChat>()),
      notifications_(std::make_shared<SimulatedPlayerNotifications>()),
      messaging_(std::make_shared<SimulatedMessagingService>()),
      relay_(*messaging_) {
    plugins_.Add(platformConfig_);
    plugins_.Add(summoner_);
    plugins_.Add(chat_);
    plugins_.Add(notifications_);
    plugins_.Add(messaging_);
    login_->SetResource(kSessionPath, Session());
    platformConfig_->SetNamespaceValue("Clubs", "ClubsEnabled", OwnedHostValue::Bool(true));
    platformConfig_->SetNamespaceValue("Clubs", "ClubsQRXEnabled", OwnedHostValue::Bool(true));
    platformConfig_->SetNamespaceValue("Clubs", "ClubServiceUrl",
                                       OwnedHostValue::String(clubServiceUrl));
    platformConfig_->SetNamespaceValue("Clubs", "ClubsMemberIcon",
                                       OwnedHostValue::String(kMemberIcon));
    platformConfig_->SetNamespaceValue("Clubs", "ClubsActiveIcon",
                                       OwnedHostValue::String(kActiveIcon));
    platformConfig_->SetNamespaceValue("LoginDataPacket", "platformId",
                                       OwnedHostValue::String(player_.platformId));
    summoner_->AddSummoner(player_.summonerId, player_.summonerName, player_.profileIconId);
}

SimulatedPlayer PlatformSimulation::Player() const {
    const Platform::MutexLock lock(playerMutex_);
    return player_;
}

bool PlatformSimulation::LoggedIn() const {
    const Platform::MutexLock lock(playerMutex_);
    return loggedIn_;
}

void PlatformSimulation::SetPlayer(const std::optional<SimulatedPlayer>& player) {
    {
        const Platform::MutexLock lock(playerMutex_);
        const bool same = player ? loggedIn_ && player->platformId == player_.platformId &&
                                       player->accountId == player_.accountId &&
                                       player->summonerId == player_.summonerId &&
                                       player->summonerName == player_.summonerName &&
                                       player->idToken == player_.idToken
                                 : !loggedIn_;
        if (same) {
            return;
        }
        if (player) {
            player_ = *player;
        }
    }
    if (player) {
        LogIn();
    } else {
        LogOut();
    }
}

OwnedHostValue PlatformSimulation::Session() const {
    const SimulatedPlayer player = Player();
    std::vector<std::pair<std::string, OwnedHostValue>> fields;
    fields.emplace_back("state", OwnedHostValue::String("SUCCEEDED"));
    fields.emplace_back("accountId", OwnedHostValue::Unsigned(player.accountId));
    fields.emplace_back("summonerId", OwnedHostValue::Unsigned(player.summonerId));
    fields.emplace_back("idToken", OwnedHostValue::String(player.idToken));
    fields.emplace_back("username", OwnedHostValue::String(player.summonerName));
    return OwnedHostValue::Structure(std::move(fields));
}

void PlatformSimulation::LogIn() {
    {
        const Platform::MutexLock lock(playerMutex_);
        loggedIn_ = true;
    }
    login_->Publish(ResourceEventType::Update, kSessionPath, Session());
}

void PlatformSimulation::LogOut() {
    {
        const Platform::MutexLock lock(playerMutex_);
        loggedIn_ = false;
    }
    login_->Publish(ResourceEventType::Delete, kSessionPath, OwnedHostValue::Null());
}

std::optional<HttpResponse> PlatformSimulation::Handle(const HttpRequest& request) {
    const std::string path = PercentDecodePath(request.Path());
    const std::shared_ptr<SimulatedPlugin> plugin = plugins_.Find(path);
    if (plugin == nullptr) {
        return std::nullopt;
    }
    std::optional<OwnedHostValue> body;
    if (!request.body.empty()) {
        OwnedHostValue::JsonRead read = OwnedHostValue::ReadJson(request.body);
        body = std::move(read.value);
        // The messaging service's payload is any text; everything else takes JSON.
        if (!body && !StartsWith(path, SimulatedMessagingService::kMessagePath)) {
            return HttpResponse::Error(400, read.refusal.empty() ? "the body is not valid JSON"
                                                                 : "the body " + read.refusal);
        }
    }
    if (std::optional<HttpResponse> changed = HandleChange(request, path, body)) {
        return changed;
    }
    return Forward(*plugin, request, path, body);
}

bool PlatformSimulation::Serves(const HttpRequest& request) const {
    return plugins_.Find(PercentDecodePath(request.Path())) != nullptr;
}

std::optional<HttpResponse> PlatformSimulation::HandleChange(
    const HttpRequest& request,
    const std::string& path,
    const std::optional<OwnedHostValue>& body) {
    const std::string& method = request.method;
    if (path == kSessionPath && method == "PUT") {
        if (!body) {
            return HttpResponse::Error(400, "PUT of the session takes the session as JSON body");
        }
        login_->Publish(ResourceEventType::Update, kSessionPath, *body);
        return HttpResponse::Json(200, body->ToJson());
    }
    if (path == kSessionPath && method == "DELETE") {
        LogOut();
        return HttpResponse::Json(200, "null");
    }
    if (path == std::string(kSessionPath) + "/login" && method == "POST") {
        LogIn();
        return HttpResponse::Json(200, Session().ToJson());
    }
    const std::string namespaces = SimulatedPlatformConfig::kNamespacesPath;
    if (StartsWith(path, namespaces) && (method == "PUT" || method == "DELETE")) {
        const std::string rest = path.substr(namespaces.size());
        const std::size_t slash = rest.find('/');
        if (slash == std::string::npos || slash == 0 || slash + 1 >= rest.size() ||
            rest.find('/', slash + 1) != std::string::npos) {
            return HttpResponse::Error(404,
                                       "a value's path is " + namespaces + "<namespace>/<key>");
        }
        if (method == "PUT" && !body) {
            return HttpResponse::Error(400,
                                       "PUT of a configuration value takes its JSON value as body");
        }
        platformConfig_->SetNamespaceValue(
            rest.substr(0, slash), rest.substr(slash + 1),
            method == "PUT" ? *body : OwnedHostValue::Null(),
            method == "PUT" ? ResourceEventType::Update : ResourceEventType::Delete);
        return HttpResponse::Json(200, method == "PUT" ? body->ToJson() : "null");
    }
    const std::string summoners = SimulatedSummoner::kSummonerPath;
    if (StartsWith(path, summoners) && method == "PUT") {
        const std::optional<uint64_t> id = ParseDecimal(path.substr(summoners.size()));
        rapidjson::Document document;
        if (!id || !ParseBoundedJson(request.body, document) || !document.IsObject() ||
            !document.HasMember("displayName") || !document["displayName"].IsString()) {
            return HttpResponse::Error(
                400, "PUT " + summoners +
                         "<id> takes {\"displayName\": text, \"profileIconId\": number}");
        }
        const int32_t icon =
            document.HasMember("profileIconId") && document["profileIconId"].IsInt()
                ? document["profileIconId"].GetInt()
                : 0;
        summoner_->AddSummoner(*id, document["displayName"].GetString(), icon);
        return std::nullopt;  // answered by the summoner's own GET below
    }
    const std::string blocked = std::string(SimulatedChat::kBlockedPlayersPath) + "/";
    if (StartsWith(path, blocked) && method == "DELETE") {
        const std::optional<uint64_t> id = ParseDecimal(path.substr(blocked.size()));
        if (!id) {
            return HttpResponse::Error(400, "DELETE " + blocked + "<summoner id>");
        }
        chat_->Unblock(*id);
        return HttpResponse::Json(200, "null");
    }
    const std::string messages = SimulatedMessagingService::kMessagePath;
    if (StartsWith(path, messages) && method == "POST") {
        const std::string resource = path.substr(messages.size());
        if (resource.empty()) {
            return HttpResponse::Error(400,
                                       "POST " + messages + "<resource> with the payload as body");
        }
        relay_.Push(resource, request.body);
        return HttpResponse::Json(202, "{\"queued\":" + JsonQuote(resource) + "}");
    }
    return std::nullopt;
}

HttpResponse PlatformSimulation::Forward(SimulatedPlugin& plugin,
                                         const HttpRequest& request,
                                         const std::string& path,
                                         const std::optional<OwnedHostValue>& body) {
    SimulatedRequest call;
    call.method = MethodCode(request.method);
    call.methodName = call.method == HOST_METHOD_OTHER ? request.method : "";
    // A PUT of a summoner was stored above; what it answers is the summoner as read.
    const bool storedSummoner =
        request.method == "PUT" && StartsWith(path, SimulatedSummoner::kSummonerPath);
    if (storedSummoner) {
        call.method = HOST_METHOD_GET;
    }
    call.path = path;
    call.query = std::string(request.Query());
    call.uri = call.query.empty() ? path : path + "?" + call.query;
    if (body && !storedSummoner) {
        call.arguments.push_back({std::nullopt, *body});
    }
    return HttpFromSimulatedAnswer(plugin.Answer(call));
}

}  // namespace Kolm::Host
