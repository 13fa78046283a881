#include "host/serving/host_world.h"

#include <set>
#include <utility>

#include "host/clubs_web_service/service_rules.h"

namespace Kolm::Host {
namespace {

// The host sets the service's address itself; a world neither carries nor changes it.
bool IsHostOwned(const WorldConfigValue& value) {
    return value.nameSpace == "Clubs" && value.key == "ClubServiceUrl";
}

}  // namespace

std::optional<SimulatedPlayer> HostWorld::LoggedInPlayer(const World& world) {
    const PlayerRecord* record = world.LoggedInPlayer();
    if (record == nullptr) {
        return std::nullopt;
    }
    SimulatedPlayer player;
    player.platformId = record->player.platformId;
    player.accountId = record->player.accountId;
    player.summonerId = record->player.summonerId;
    player.idToken = record->player.token;
    if (const auto profile = world.profiles.find(player.accountId);
        profile != world.profiles.end()) {
        player.summonerName = profile->second.name;
        player.profileIconId = profile->second.profileIconId;
    }
    return player;
}

std::string HostWorld::OverridePlayer(World& world, const PlayerFlags& flags) {
    if (!flags.Any()) {
        return {};
    }
    if (world.LoggedInPlayer() == nullptr) {
        return "the player flags name the logged-in player, and this world logs nobody in";
    }
    const uint64_t from = *world.loggedInAccountId;
    const uint64_t to = flags.accountId.value_or(from);
    PlayerRecord record = world.service.players.at(from);
    WorldProfile profile = world.profiles.at(from);
    record.player.accountId = to;
    record.player.platformId = flags.platformId.value_or(record.player.platformId);
    record.player.summonerId = flags.summonerId.value_or(record.player.summonerId);
    record.player.token = flags.idToken.value_or(record.player.token);
    profile.name = flags.summonerName.value_or(profile.name);
    if (to != from && world.service.FindPlayer(to) != nullptr) {
        return "account id " + std::to_string(to) + " belongs to another player of the world";
    }
    world.service.players.erase(from);
    world.profiles.erase(from);
    world.service.players[to] = record;
    world.profiles[to] = profile;
    world.loggedInAccountId = to;
    for (auto& [key, club] : world.service.clubs) {
        for (std::vector<ClubEntry>* list :
             {&club.active, &club.invited, &club.nominated, &club.removed}) {
            for (ClubEntry& entry : *list) {
                entry.accountId = entry.accountId == from ? to : entry.accountId;
                entry.byAccountId = entry.byAccountId == from ? to : entry.byAccountId;
            }
        }
    }
    const std::string broken = CheckServiceData(world.service);
    return broken.empty() ? std::string()
                          : "the player flags clash with the world (" + broken + ")";
}

void HostWorld::Apply(const World& world) {
    const Platform::MutexLock lock(mutex_);
    service_.Load(world);
    ApplyPlatform(world);
}

void HostWorld::ApplyPlatform(const World& world) {
    for (const auto& [accountId, record] : world.service.players) {
        const WorldProfile& profile = world.profiles.at(accountId);
        platform_.Summoner().AddSummoner(record.player.summonerId, profile.name,
                                         profile.profileIconId);
    }
    for (const SimulatedChat::BlockedPlayer& blocked : platform_.Chat().BlockedPlayers()) {
        platform_.Chat().Unblock(blocked.id);
    }
    for (const WorldBlockedPlayer& blocked : world.blockedPlayers) {
        platform_.Chat().Block(blocked.summonerId, blocked.name);
    }
    SimulatedPlatformConfig& config = platform_.PlatformConfig();
    std::set<std::pair<std::string, std::string>> kept;
    for (const WorldConfigValue& value : world.platformConfig) {
        kept.emplace(value.nameSpace, value.key);
    }
    for (const WorldConfigValue& old : config_) {
        if (kept.count({old.nameSpace, old.key}) == 0) {
            config.SetNamespaceValue(old.nameSpace, old.key, OwnedHostValue::Null(),
                                     ResourceEventType::Delete);
        }
    }
    config_.clear();
    for (const WorldConfigValue& value : world.platformConfig) {
        if (IsHostOwned(value)) {
            continue;
        }
        const std::string path = std::string(SimulatedPlatformConfig::kNamespacesPath) +
                                 value.nameSpace + "/" + value.key;
        std::optional<OwnedHostValue> parsed = OwnedHostValue::FromJson(value.json);
        const std::optional<OwnedHostValue> held = config.Resource(path);
        if (parsed && (!held || held->ToJson() != parsed->ToJson())) {
            config.SetNamespaceValue(value.nameSpace, value.key, std::move(*parsed));
        }
        config_.push_back(value);
    }
    platform_.SetPlayer(LoggedInPlayer(world));
}

World HostWorld::Current() const {
    const Platform::MutexLock lock(mutex_);
    World world;
    world.service = service_.Service().Snapshot(&world.clock, &world.clockFrozen);
    for (const SeedPlayer& player : service_.Players()) {
        world.profiles[player.player.accountId] = {player.name, player.profileIconId};
    }
    if (platform_.LoggedIn()) {
        const SimulatedPlayer player = platform_.Player();
        if (world.service.FindPlayer(player.accountId) != nullptr) {
            world.loggedInAccountId = player.accountId;
        }
    }
    for (const SimulatedChat::BlockedPlayer& blocked : platform_.Chat().BlockedPlayers()) {
        world.blockedPlayers.push_back({blocked.id, blocked.name});
    }
    // The values the world set, as they are now (a person may have changed them since).
    for (const WorldConfigValue& value : config_) {
        const std::string path = std::string(SimulatedPlatformConfig::kNamespacesPath) +
                                 value.nameSpace + "/" + value.key;
        if (const std::optional<OwnedHostValue> held = platform_.PlatformConfig().Resource(path)) {
            world.platformConfig.push_back({value.nameSpace, value.key, held->ToJson()});
        }
    }
    return world;
}

}  // namespace Kolm::Host
