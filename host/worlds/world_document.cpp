#include "host/worlds/world_document.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "host/boundary/bounded_json.h"
#include "host/clubs_web_service/service_rules.h"
#include "host/documents/record_reader.h"
#include "host/documents/record_writer.h"
#include "host/worlds/world_records.h"
#include "host/worlds/yaml_to_json.h"

namespace Kolm::Host {
namespace {

// Moves the document's players into the world; "" or what is wrong and where.
std::string TakePlayers(WorldText& text, World& world) {
    for (std::size_t i = 0; i < text.players.size(); ++i) {
        WorldPlayerText& player = text.players[i];
        const uint64_t accountId = player.record.player.accountId;
        if (!world.service.players.emplace(accountId, std::move(player.record)).second) {
            return "players[" + std::to_string(i) + "]: a second player with account id " +
                   std::to_string(accountId);
        }
        world.profiles[accountId] = std::move(player.profile);
    }
    // Without the member the first player listed is logged in; null logs nobody in.
    if (!text.loggedInAccountId) {
        if (!text.players.empty()) {
            world.loggedInAccountId = text.players.front().record.player.accountId;
        }
    } else if (const std::optional<uint64_t>& accountId = text.loggedInAccountId->value) {
        if (!world.service.FindPlayer(*accountId)) {
            return "loggedInAccountId: " + std::to_string(*accountId) + " is not a player";
        }
        world.loggedInAccountId = accountId;
    }
    return {};
}

// Moves the document's clubs into the world, giving what a club left out from the world
// around it.
std::string TakeClubs(WorldText& text, World& world) {
    const PlayerRecord* player = world.LoggedInPlayer();
    const std::string platformId = player != nullptr ? player->player.platformId : "LOC1";
    for (std::size_t i = 0; i < text.clubs.size(); ++i) {
        ServiceClub& club = text.clubs[i].club;
        if (club.platformId.empty()) {
            club.platformId = platformId;
        }
        for (int64_t* stamp : {&club.createdTs, &club.lastModifiedTs}) {
            if (*stamp == kUnstamped) {
                *stamp = world.clock;
            }
        }
        if (club.jid.empty()) {
            club.jid = club.key + "@" + world.service.config.chatDomain;
        }
        const std::string key = club.key;
        if (!world.service.clubs.emplace(key, std::move(club)).second) {
            return "clubs[" + std::to_string(i) + "].key: a second club with key \"" + key + "\"";
        }
    }
    return {};
}

World FromText(WorldText&& text, std::string& error) {
    World world;
    world.clock = text.service.clock;
    world.clockFrozen = text.service.clockFrozen;
    world.service.config.chatDomain = std::move(text.service.chatDomain);
    world.service.config.limits = text.service.limits;
    world.platformConfig = std::move(text.platformConfig.values);
    world.blockedPlayers = std::move(text.blockedPlayers);
    error = TakePlayers(text, world);
    if (error.empty()) {
        error = TakeClubs(text, world);
    }
    return world;
}

WorldText ToText(const World& world) {
    WorldText text;
    text.loggedInAccountId = Nullable<uint64_t>{world.loggedInAccountId};
    text.players.reserve(world.service.players.size());
    for (const auto& [accountId, record] : world.service.players) {
        const auto profile = world.profiles.find(accountId);
        text.players.push_back(
            {record, profile != world.profiles.end() ? profile->second : WorldProfile{}});
    }
    text.blockedPlayers = world.blockedPlayers;
    text.platformConfig.values = world.platformConfig;
    text.service = {world.clock, world.clockFrozen, world.service.config.chatDomain,
                    world.service.config.limits};
    text.clubs.reserve(world.service.clubs.size());
    for (const auto& [key, club] : world.service.clubs) {
        text.clubs.push_back({club});
    }
    return text;
}

}  // namespace

WorldFormat WorldFormatOfFile(std::string_view fileName) {
    auto endsWith = [&](std::string_view suffix) {
        return fileName.size() >= suffix.size() &&
               fileName.substr(fileName.size() - suffix.size()) == suffix;
    };
    return endsWith(".yaml") || endsWith(".yml") ? WorldFormat::Yaml : WorldFormat::Json;
}

WorldParse ParseWorld(std::string_view text, WorldFormat format) {
    std::string json(text);
    if (format == WorldFormat::Yaml) {
        YamlToJsonResult converted = YamlToJson(text);
        if (!converted.error.empty()) {
            return {std::nullopt, "the world is not valid YAML: " + converted.error};
        }
        json = std::move(converted.json);
    }
    rapidjson::Document document;
    // A configuration value sits three levels down (platformConfig, namespace, key) and may
    // itself nest as deep as any value the host stores, so that every world the host writes
    // reads back.
    const BoundedJson read = ParseBoundedJson(json, document, kMaxJsonNesting + 3);
    if (!read.refusal.empty()) {
        return {std::nullopt, "the world " + read.refusal};
    }
    if (!read) {
        return {std::nullopt, "the world is not valid JSON (at offset " +
                                  std::to_string(read.result.Offset()) + ")"};
    }
    WorldText laidOut;
    std::string error = ReadDocument(document, laidOut, FieldNaming::Path, "the world");
    World world;
    if (error.empty()) {
        world = FromText(std::move(laidOut), error);
    }
    if (error.empty()) {
        error = CheckServiceData(world.service);
    }
    if (!error.empty()) {
        return {std::nullopt, error};
    }
    return {std::move(world), {}};
}

std::string WriteWorld(const World& world) {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(buffer);
    w.SetIndent(' ', 2);
    WriteValue(w, ToText(world));
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

}  // namespace Kolm::Host
