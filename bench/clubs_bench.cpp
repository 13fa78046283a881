// The clubs paths a player waits for, through the plugin's real export: the login that ends
// with the membership published, a push about one club in which one member joined and one
// left, and the clubs panel's two reads (the clubs, a club's members). Each runs against a
// world of 10 clubs of 10, 100 or 1,000 members that the in-memory clubs web service holds,
// built at start through the service's own requests.
//
// Beside each path, in the same run, its floor: reading the same web-service answer into the
// service records, and converting the same replies and published values for the host (the
// work any implementation of these paths must do).
//
// Goals (ratios of medians in one run): every path at most 3x its floor at 1,000 members; the
// time at 1,000 members at most 12x the time at 100 for every path; the two reads at most 2x
// their floor.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_conversion.h"
#include "binding/binding_type_registry.h"
#include "binding/host_value_conversion.h"
#include "clubs/model/clubs_api_types.h"
#include "clubs/model/clubs_service_types.h"
#include "clubs/model/clubs_type_registration.h"
#include "formats/json.h"
#include "host/boundary/host_api_table.h"
#include "host/boundary/owned_host_value.h"
#include "host/boundary/plugin_library.h"
#include "host/clubs_web_service/clubs_web_service.h"
#include "host/simulated/host_event_bus.h"
#include "host/simulated/simulated_chat.h"
#include "host/simulated/simulated_messaging_service.h"
#include "host/simulated/simulated_platform_config.h"
#include "host/simulated/simulated_player_notifications.h"
#include "host/simulated/simulated_plugins.h"
#include "host/simulated/simulated_summoner.h"

namespace {

namespace Api = Kolm::Client::Clubs::Api;
using Kolm::Host::OwnedHostValue;

constexpr const char* kServiceUrl = "https://clubs.bench";
constexpr const char* kPlatformId = "EUW1";
constexpr uint64_t kAccountId = 1;
constexpr uint64_t kSummonerId = 1000001;
constexpr const char* kToken = "player-token";
constexpr int kClubs = 10;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "clubs_bench: %s\n", what.c_str());
    std::abort();
}

// The world: our player owns ten clubs of `size` members; every other member is a player of
// their own, in one club only. Club 0 has one more player, who joins it as another leaves; the
// web service's answers for that club before and after are kept for the push.
struct World {
    explicit World(int size);

    std::string Act(uint64_t account,
                    const std::string& method,
                    const std::string& path,
                    const std::string& body = "");
    uint64_t AddPlayer(const std::string& name);
    void Join(const std::string& clubKey, uint64_t account);

    Kolm::Host::ClubsWebService service;
    // Summoner id, name and icon of every player, for the summoner plugin.
    struct Summoner {
        uint64_t id;
        std::string name;
        int32_t icon;
    };
    std::vector<Summoner> summoners;
    std::vector<std::string> clubKeys;
    std::string pushClubPath;           // "/v1/clubs/<key of club 0>"
    std::string clubBefore, clubAfter;  // club 0's answers around the change
    uint64_t nextAccount = 100;
    uint64_t leaver = 0;  // the member of club 0 who leaves it
};

uint64_t World::AddPlayer(const std::string& name) {
    const uint64_t account = nextAccount++;
    const uint64_t summonerId = 1000000 + account;
    if (!service.AddPlayer({kPlatformId, account, summonerId, "t-" + std::to_string(account)})) {
        Fail("player not added");
    }
    summoners.push_back({summonerId, name, static_cast<int32_t>(account % 50)});
    return account;
}

std::string World::Act(uint64_t account,
                       const std::string& method,
                       const std::string& path,
                       const std::string& body) {
    Kolm::Host::WebResponse answer =
        service.HandleAs(account, method, std::string(kServiceUrl) + path, body);
    if (answer.status >= 300) {
        Fail(method + " " + path + ": " + answer.body);
    }
    return std::move(answer.body);
}

void World::Join(const std::string& clubKey, uint64_t account) {
    const std::string invite = R"({"clubKey":")" + clubKey + R"(","inviteeSummonerId":)" +
                               std::to_string(1000000 + account) + "}";
    Act(kAccountId, "POST", "/v1/clubs/" + clubKey + "/invites", invite);
    Act(account, "POST",
        std::string("/v1/membership/") + kPlatformId + "/" + std::to_string(account) + "/invites/" +
            clubKey,
        R"({"status":1})");
}

// The service's own member limit is lifted: the worlds here are as large as the clubs get.
Kolm::Host::ClubsServiceConfig ConfigFor(int size) {
    Kolm::Host::ClubsServiceConfig config;
    config.limits.maxClubMembers = size + 2;
    return config;
}

World::World(int size) : service(ConfigFor(size)) {
    if (!service.AddPlayer({kPlatformId, kAccountId, kSummonerId, kToken})) {
        Fail("player not added");
    }
    summoners.push_back({kSummonerId, "Carl", 7});
    for (int c = 0; c < kClubs; ++c) {
        const std::string name = "Club " + std::to_string(c);
        Act(kAccountId, "POST", "/v1/clubs?clubName=Club%20" + std::to_string(c));
        clubKeys.push_back(*service.FindClubKeyByName(name));
        // Mixed-case names, so that the member order's lower-casing has work to do.
        for (int m = 1; m < size; ++m) {
            Join(clubKeys.back(), AddPlayer((m % 2 ? "Player" : "player") + std::to_string(m)));
        }
        if (c == 0) {
            leaver = nextAccount - 1;
        }
    }
    const std::string& key = clubKeys.front();
    pushClubPath = "/v1/clubs/" + key;
    const uint64_t joiner = AddPlayer("Newcomer");
    clubBefore = Act(kAccountId, "GET", pushClubPath);
    Join(key, joiner);
    Act(kAccountId, "POST", pushClubPath + "/remove/" + std::to_string(leaver));
    clubAfter = Act(kAccountId, "GET", pushClubPath);
}

World& WorldOf(int size) {
    static std::map<int, std::unique_ptr<World>> worlds;
    std::unique_ptr<World>& world = worlds[size];
    if (!world) {
        world = std::make_unique<World>(size);
    }
    return *world;
}

Kolm::Host::PluginLibrary& Library() {
    static std::unique_ptr<Kolm::Host::PluginLibrary> library = [] {
        std::string error;
        auto opened = Kolm::Host::PluginLibrary::Open(ZC_PLUGIN_LIBRARY_PATH, &error);
        if (!opened) {
            Fail(error);
        }
        return opened;
    }();
    return *library;
}

// A host around one plugin instance with nothing but what the paths need: the simulated
// plugins on an event bus, the world's web service, and no records (a host that recorded
// every published value would measure itself).
class BenchHost {
  public:
    explicit BenchHost(World& world);
    ~BenchHost();
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    // Everything but the service URL: the session, both switches and the platform id.
    void Prepare();
    // The service URL, which makes the plugin load and publish the membership.
    void Login();

    const HostFunctionEntry& Endpoint(uint32_t method, const std::string& pathTemplate) const;
    // Dispatches a request as the host does, converts nothing, and releases the response.
    void Call(const HostFunctionEntry& entry, const std::string& uri);
    // The reply of a GET as a native record (outside the measured loops).
    template <class T>
    T Read(const std::string& pathTemplate, const std::string& uri);

    World& world;
    Kolm::Host::HostEventBus bus;
    Kolm::Host::SimulatedPlugins plugins{bus};
    std::shared_ptr<Kolm::Host::SimulatedPlugin> login;
    std::shared_ptr<Kolm::Host::SimulatedPlatformConfig> platformConfig;
    std::shared_ptr<Kolm::Host::SimulatedPlayerNotifications> notifications;
    std::shared_ptr<Kolm::Host::SimulatedSummoner> summoner;
    std::shared_ptr<Kolm::Host::SimulatedMessagingService> messaging;
    // When set, GETs of club 0 are answered with this text instead of the service's.
    const std::string* pushClubAnswer = nullptr;

  private:
    friend struct Kolm::Host::HostApiTable<BenchHost>;
    static BenchHost& From(const HostApi* api) {
        return Kolm::Host::HostApiTable<BenchHost>::OwnerOf(api);
    }

    static void ZC_HOST_CALL SendRemotingRequest(const HostApi* api,
                                                 HostResponse* response,
                                                 const HostRequest* request) {
        From(api).plugins.Answer(*response, *request);
    }
    static void ZC_HOST_CALL SendHttpRequest(const HostApi* api,
                                             HostHttpResponse* response,
                                             const HostHttpRequest* request);
    static void ZC_HOST_CALL SendEvent(const HostApi* api, const HostEventRecord* event) {
        From(api).bus.Publish(event->eventName, event->payload);
    }
    static void ZC_HOST_CALL SubscribeHostEvent(const HostApi* api,
                                                const char* eventName,
                                                uint32_t clientWord,
                                                HostEventCallback callback,
                                                void* userData,
                                                uint32_t kind) {
        From(api).bus.Subscribe(eventName, clientWord, callback, userData, kind);
    }
    static void ZC_HOST_CALL UnsubscribeHostEvent(const HostApi* api,
                                                  const char* eventName,
                                                  uint32_t clientWord) {
        From(api).bus.Unsubscribe(eventName, clientWord);
    }
    static void ZC_HOST_CALL
    Reserved5(const HostApi*, uint32_t, uint32_t, uint32_t, double, uint32_t) {}
    static void ZC_HOST_CALL HostYield(const HostApi*) {}
    static void ZC_HOST_CALL BeginWait(const HostApi*, const char*, uint32_t) {}
    static uint64_t ZC_HOST_CALL EndWait(const HostApi*) { return 0; }
    static void ZC_HOST_CALL WriteLog(const HostApi*, int32_t, const char*) {}

    void SetPlatformValue(const std::string& path, const std::string& json) {
        platformConfig->SetValue(path, OwnedHostValue::Json(json));
    }

    PluginLoadRecord record_{};
    Kolm::Host::HostApiTable<BenchHost> table_{this};
    HostContext context_{};
    // The last web-service answer, kept until the next request as a host's transport would.
    Kolm::Host::WebResponse answer_;
    std::vector<HostHeader> headers_;
};

BenchHost::BenchHost(World& w) : world(w) {
    login = plugins.Add("/zun-login");
    platformConfig = std::make_shared<Kolm::Host::SimulatedPlatformConfig>();
    plugins.Add(platformConfig);
    notifications = std::make_shared<Kolm::Host::SimulatedPlayerNotifications>();
    notifications->SetRecordLimit(1);
    plugins.Add(notifications);
    summoner = std::make_shared<Kolm::Host::SimulatedSummoner>();
    summoner->SetRecordLimit(1);
    for (const World::Summoner& s : world.summoners) {
        summoner->AddSummoner(s.id, s.name, s.icon);
    }
    plugins.Add(summoner);
    plugins.Add(std::make_shared<Kolm::Host::SimulatedChat>());
    messaging = std::make_shared<Kolm::Host::SimulatedMessagingService>();
    messaging->SetRecordLimit(1);
    plugins.Add(messaging);
    platformConfig->SetNamespaceValue("Clubs", "ClubsMemberIcon",
                                      OwnedHostValue::String("https://icons.bench/member.png"));
    platformConfig->SetNamespaceValue("Clubs", "ClubsActiveIcon",
                                      OwnedHostValue::String("https://icons.bench/active.png"));

    context_.api = &table_.api;
    context_.clientWord = 0xBE7C4;
    record_.versionMajor = 18;
    Library().Entry()(&record_);
    if (record_.callbacks == nullptr || record_.callbacks->Init(record_.instance, &context_) == 0) {
        Fail("the plugin did not start");
    }
}

BenchHost::~BenchHost() {
    record_.callbacks->Shutdown(record_.instance);
}

void BenchHost::Prepare() {
    const std::string session = R"({"state":1,"accountId":)" + std::to_string(kAccountId) +
                                R"(,"summonerId":)" + std::to_string(kSummonerId) +
                                R"(,"idToken":")" + kToken + "\"}";
    login->Publish(Kolm::Host::ResourceEventType::Update, "/zun-login/v1/session",
                   OwnedHostValue::Json(session));
    SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled", "true");
    SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubsQRXEnabled", "true");
    SetPlatformValue("/zun-platform-config/v1/namespaces/LoginDataPacket/platformId",
                     std::string("\"") + kPlatformId + "\"");
}

void BenchHost::Login() {
    SetPlatformValue("/zun-platform-config/v1/namespaces/Clubs/ClubServiceUrl",
                     std::string("\"") + kServiceUrl + "\"");
}

void BenchHost::SendHttpRequest(const HostApi* api,
                                HostHttpResponse* response,
                                const HostHttpRequest* request) {
    static const char* const kMethods[] = {"",        "DELETE", "GET",  "HEAD",
                                           "OPTIONS", "PATCH",  "POST", "PUT"};
    BenchHost& host = From(api);
    Kolm::Host::WebRequest web;
    web.method = request->method < 8 ? kMethods[request->method] : "";
    web.url = request->url != nullptr ? request->url : "";
    for (uint32_t i = 0; i < request->headerCount; ++i) {
        web.headers[request->headers[i].name] = request->headers[i].value;
    }
    if (request->body != nullptr) {
        web.body.assign(reinterpret_cast<const char*>(request->body), request->bodyLength);
    }
    const std::string& clubPath = host.world.pushClubPath;
    if (host.pushClubAnswer != nullptr && web.method == "GET" && web.url.size() > clubPath.size() &&
        web.url.compare(web.url.size() - clubPath.size(), clubPath.size(), clubPath) == 0) {
        host.answer_ = {200, {{"Content-Type", "application/json"}}, *host.pushClubAnswer};
    } else {
        host.answer_ = host.world.service.Handle(web);
    }
    host.headers_.clear();
    for (const auto& [name, value] : host.answer_.headers) {
        host.headers_.push_back({name.c_str(), value.c_str()});
    }
    *response = HostHttpResponse{};
    response->status = static_cast<uint32_t>(host.answer_.status);
    response->headers = host.headers_.empty() ? nullptr : host.headers_.data();
    response->headerCount = static_cast<uint32_t>(host.headers_.size());
    response->body = reinterpret_cast<const uint8_t*>(host.answer_.body.data());
    response->bodyLength = static_cast<uint32_t>(host.answer_.body.size());
}

const HostFunctionEntry& BenchHost::Endpoint(uint32_t method,
                                             const std::string& pathTemplate) const {
    const HostApiDescription* description = record_.apiDescription;
    for (uint32_t i = 0; description != nullptr && i < description->functionCount; ++i) {
        const HostFunctionEntry& entry = description->functions[i];
        if (entry.method == method && pathTemplate == entry.pathTemplate) {
            return entry;
        }
    }
    Fail("no endpoint " + pathTemplate);
}

void BenchHost::Call(const HostFunctionEntry& entry, const std::string& uri) {
    HostRequest request{};
    request.method = entry.method;
    request.uri = uri.c_str();
    request.dispatchRecord = entry.dispatchRecord;
    HostResponse response{};
    entry.handler(&response, &request);
    benchmark::DoNotOptimize(response.value.kind);
    if (response.hasError) {
        Fail(uri + ": " + (response.errorText != nullptr ? response.errorText : ""));
    }
    response.release(&response);
}

const Kolm::BindingTypeRegistry& Registry() {
    static const Kolm::BindingTypeRegistry* registry = [] {
        auto* types = new Kolm::BindingTypeRegistry();
        types->RegisterBuiltins();
        Api::RegisterClubsTypes(*types);
        return types;
    }();
    return *registry;
}

template <class T>
T BenchHost::Read(const std::string& pathTemplate, const std::string& uri) {
    const HostFunctionEntry& entry = Endpoint(HOST_METHOD_GET, pathTemplate);
    HostRequest request{};
    request.method = HOST_METHOD_GET;
    request.uri = uri.c_str();
    request.dispatchRecord = entry.dispatchRecord;
    HostResponse response{};
    entry.handler(&response, &request);
    Kolm::BindingResult value = Kolm::FromHostValue(response.value, "reply");
    response.release(&response);
    T record{};
    if (!value || !Kolm::ConvertFromBinding(value.value, record, "reply", &Registry())) {
        Fail("unreadable reply of " + uri);
    }
    return record;
}

// A host whose plugin has loaded the world's membership, shared by the push and the reads.
BenchHost& LoggedIn(int size) {
    static std::map<int, std::unique_ptr<BenchHost>> hosts;
    std::unique_ptr<BenchHost>& host = hosts[size];
    if (!host) {
        host = std::make_unique<BenchHost>(WorldOf(size));
        host->Prepare();
        host->Login();
    }
    return *host;
}

// The floor's unit: a value converted for the host the way a reply or a published value is,
// and released.
template <class T>
void ToHost(const T& value) {
    Kolm::BindingResult converted = Kolm::ConvertToBinding(value, &Registry());
    HostValue host{};
    if (!converted || !Kolm::ToHostValue(converted.value, host, &Registry())) {
        Fail("not convertible");
    }
    benchmark::DoNotOptimize(host.kind);
    Kolm::ReleaseHostValue(host);
}

template <class T>
T ReadService(const std::string& json) {
    T record;
    if (!Kolm::FromJsonText(record, json, &Registry())) {
        Fail("unreadable service answer");
    }
    return record;
}

// What refreshing one club publishes: its three member lists, the club (after the lists and
// again when stored) and its message of the day.
void ClubPublications(const Api::PlayerClub& club) {
    ToHost(club.members.activeMembers);
    ToHost(club.members.invitedMembers);
    ToHost(club.members.nominatedMembers);
    ToHost(club);
    ToHost(club);
    ToHost(club.motd);
}

// --- Login: the membership read, mapped, looked up, sorted and published ---

void BM_Login(benchmark::State& state) {
    World& world = WorldOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto host = std::make_unique<BenchHost>(world);
        host->Prepare();
        state.ResumeTiming();
        host->Login();
        state.PauseTiming();
        host.reset();
        state.ResumeTiming();
    }
}

void BM_LoginFloor(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const std::string init = host.world.Act(
        kAccountId, "GET",
        std::string("/v1/membership/") + kPlatformId + "/" + std::to_string(kAccountId) + "/init");
    const auto membership = host.Read<Api::PlayerClubMembership>("/zun-clubs/v1/clubs/membership",
                                                                 "/zun-clubs/v1/clubs/membership");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadService<Api::PlayerMembershipWithNotificationsDto>(init));
        for (const Api::PlayerClub& club : membership.activeClubs) {
            ClubPublications(club);
        }
        ToHost(membership.activeClubs);
        ToHost(membership.pendingInvites);
        ToHost(membership.clubsServerConfig);
        ToHost(membership.secureClubPresenceInfoString);
        ToHost(membership.preferences);
        ToHost(membership);
    }
}

// --- Push: one club in which one member joined and one left ---

void BM_PushJoinedAndLeft(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const std::string resource = "clubs/v1/clubs/" + host.world.clubKeys.front();
    // The plugin holds the club as it is after the change; the answers alternate from there.
    bool after = false;
    for (auto _ : state) {
        host.pushClubAnswer = after ? &host.world.clubAfter : &host.world.clubBefore;
        host.messaging->Deliver(resource, "");
        after = !after;
    }
    host.pushClubAnswer = nullptr;
}

void BM_PushJoinedAndLeftFloor(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const std::string& key = host.world.clubKeys.front();
    const auto club =
        host.Read<Api::PlayerClub>("/zun-clubs/v1/clubs/{clubKey}", "/zun-clubs/v1/clubs/" + key);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadService<Api::ClubDto>(host.world.clubAfter));
        ClubPublications(club);
    }
}

// --- The clubs panel's reads ---

void BM_GetClubs(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const HostFunctionEntry& entry = host.Endpoint(HOST_METHOD_GET, "/zun-clubs/v1/clubs");
    const std::string uri = "/zun-clubs/v1/clubs";
    for (auto _ : state) {
        host.Call(entry, uri);
    }
}

void BM_GetClubsFloor(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const auto clubs =
        host.Read<std::vector<Api::PlayerClub>>("/zun-clubs/v1/clubs", "/zun-clubs/v1/clubs");
    for (auto _ : state) {
        ToHost(clubs);
    }
}

void BM_GetMembers(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const HostFunctionEntry& entry =
        host.Endpoint(HOST_METHOD_GET, "/zun-clubs/v1/clubs/{clubKey}/members");
    const std::string uri = "/zun-clubs/v1/clubs/" + host.world.clubKeys[1] + "/members";
    for (auto _ : state) {
        host.Call(entry, uri);
    }
}

void BM_GetMembersFloor(benchmark::State& state) {
    BenchHost& host = LoggedIn(static_cast<int>(state.range(0)));
    const std::string uri = "/zun-clubs/v1/clubs/" + host.world.clubKeys[1] + "/members";
    const auto members =
        host.Read<std::vector<Api::ClubMember>>("/zun-clubs/v1/clubs/{clubKey}/members", uri);
    for (auto _ : state) {
        ToHost(members);
    }
}

void Sizes(benchmark::internal::Benchmark* bench) {
    bench->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Login)->Apply(Sizes);
BENCHMARK(BM_LoginFloor)->Apply(Sizes);
BENCHMARK(BM_PushJoinedAndLeft)->Apply(Sizes);
BENCHMARK(BM_PushJoinedAndLeftFloor)->Apply(Sizes);
BENCHMARK(BM_GetClubs)->Apply(Sizes);
BENCHMARK(BM_GetClubsFloor)->Apply(Sizes);
BENCHMARK(BM_GetMembers)->Apply(Sizes);
BENCHMARK(BM_GetMembersFloor)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
