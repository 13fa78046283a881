#include "host/worlds/world_document.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "host/boundary/bounded_json.h"
#include "host/clubs_web_service/json_field.h"
#include "host/clubs_web_service/service_rules.h"
#include "host/worlds/yaml_to_json.h"

namespace Kolm::Host {
namespace {

using Json = rapidjson::Value;

// Reads the members of one JSON object, remembering where it is for the error message. The
// first problem met is kept; later reads of a failed reader do nothing.
class Reader {
  public:
    Reader(const Json& object, std::string where, std::string& error)
        : object_(object), where_(std::move(where)), error_(error) {
        if (!object.IsObject()) {
            Fail(where_, "must be an object");
        }
    }

    bool Ok() const { return error_.empty(); }
    const std::string& Where() const { return where_; }

    // Refuses members other than `known`.
    void Only(const std::vector<const char*>& known) {
        if (!Ok()) {
            return;
        }
        for (const auto& member : object_.GetObject()) {
            bool found = false;
            for (const char* name : known) {
                found = found || member.name == name;
            }
            if (!found) {
                Fail(Path(member.name.GetString()), "is not a field of this record");
                return;
            }
        }
    }

    const Json* Find(const char* name, bool required) {
        if (!Ok()) {
            return nullptr;
        }
        const auto member = object_.FindMember(name);
        if (member == object_.MemberEnd()) {
            if (required) {
                Fail(Path(name), "is missing");
            }
            return nullptr;
        }
        return &member->value;
    }

    template <class T>
    void Unsigned(const char* name, T& field, bool required = false) {
        if (const Json* value = Find(name, required)) {
            if (!value->IsUint64() || value->GetUint64() > static_cast<uint64_t>(T(~T(0)))) {
                Fail(Path(name), "must be a whole number of at least 0");
            } else {
                field = static_cast<T>(value->GetUint64());
            }
        }
    }
    // A signed whole number that fits T (int32_t or int64_t).
    template <class T>
    void Signed(const char* name, T& field) {
        if (const Json* value = Find(name, false)) {
            if (!value->Is<T>()) {
                Fail(Path(name), "must be a whole number");
            } else {
                field = value->Get<T>();
            }
        }
    }
    void Text(const char* name, std::string& field, bool required = false) {
        if (const Json* value = Find(name, required)) {
            if (!value->IsString()) {
                Fail(Path(name), "must be a text");
            } else {
                field.assign(value->GetString(), value->GetStringLength());
            }
        }
    }
    void Bool(const char* name, bool& field) {
        if (const Json* value = Find(name, false)) {
            if (!value->IsBool()) {
                Fail(Path(name), "must be true or false");
            } else {
                field = value->GetBool();
            }
        }
    }
    // Calls `each` with a reader of every element of the array `name`.
    void Array(const char* name,
               bool required,
               const std::function<void(const Json&, const std::string&)>& each) {
        const Json* value = Find(name, required);
        if (value == nullptr) {
            return;
        }
        if (!value->IsArray()) {
            Fail(Path(name), "must be an array");
            return;
        }
        for (rapidjson::SizeType i = 0; i < value->Size() && Ok(); ++i) {
            each((*value)[i], Path(name) + "[" + std::to_string(i) + "]");
        }
    }

    std::string Path(const char* name) const {
        return where_.empty() ? std::string(name) : where_ + "." + name;
    }
    void Fail(const std::string& where, const std::string& what) {
        if (Ok()) {
            error_ = (where.empty() ? std::string("the world") : where) + ": " + what;
        }
    }

  private:
    const Json& object_;
    std::string where_;
    std::string& error_;
};

std::string Compact(const Json& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

void ReadReferences(Reader& reader,
                    const char* name,
                    std::vector<std::pair<std::string, std::string>>& references,
                    std::string& error) {
    reader.Array(name, false, [&](const Json& value, const std::string& where) {
        Reader item(value, where, error);
        item.Only({"key", "name"});
        std::pair<std::string, std::string> reference;
        item.Text("key", reference.first, true);
        item.Text("name", reference.second);
        references.push_back(std::move(reference));
    });
}

void ReadPlayer(const Json& value, const std::string& where, World& world, std::string& error) {
    Reader reader(value, where, error);
    reader.Only({"accountId", "summonerId", "name", "profileIconId", "platformId", "token",
                 "primaryClubKey", "shareClubAffiliation", "notices", "removedClubs",
                 "revokedInvites"});
    PlayerRecord record;
    ServicePlayer& player = record.player;
    player.platformId = "LOC1";
    WorldProfile profile;
    reader.Unsigned("accountId", player.accountId, true);
    reader.Unsigned("summonerId", player.summonerId, true);
    reader.Text("name", profile.name);
    reader.Signed("profileIconId", profile.profileIconId);
    reader.Text("platformId", player.platformId);
    player.token = "local-token-" + std::to_string(player.accountId);
    reader.Text("token", player.token);
    reader.Text("primaryClubKey", record.primaryClubKey);
    reader.Bool("shareClubAffiliation", record.shareClubAffiliation);
    reader.Array("notices", false, [&](const Json& item, const std::string& at) {
        Reader notice(item, at, error);
        notice.Only({"clubKey", "clubName", "role", "status", "action"});
        ServiceNotice read{"", "", "", "UNREAD", ""};
        notice.Text("clubKey", read.clubKey, true);
        notice.Text("clubName", read.clubName);
        notice.Text("role", read.role);
        notice.Text("status", read.status);
        notice.Text("action", read.action, true);
        record.notices.push_back(std::move(read));
    });
    ReadReferences(reader, "removedClubs", record.removedClubs, error);
    ReadReferences(reader, "revokedInvites", record.revokedInviteClubs, error);
    if (!reader.Ok()) {
        return;
    }
    if (profile.name.empty()) {
        profile.name = "Player " + std::to_string(player.accountId);
    }
    if (!world.service.players.emplace(player.accountId, record).second) {
        reader.Fail(where, "a second player with account id " + std::to_string(player.accountId));
        return;
    }
    world.profiles[player.accountId] = profile;
}

void ReadEntries(Reader& club,
                 const char* name,
                 const char* defaultRole,
                 std::vector<ClubEntry>& entries,
                 std::string& error) {
    club.Array(name, false, [&](const Json& value, const std::string& where) {
        Reader reader(value, where, error);
        reader.Only({"accountId", "role", "since", "by"});
        ClubEntry entry;
        entry.role = defaultRole;
        reader.Unsigned("accountId", entry.accountId, true);
        reader.Text("role", entry.role, *defaultRole == '\0');
        reader.Signed("since", entry.since);
        reader.Unsigned("by", entry.byAccountId);
        entries.push_back(std::move(entry));
    });
}

void ReadClub(const Json& value, const std::string& where, World& world, std::string& error) {
    Reader reader(value, where, error);
    reader.Only({"key", "name", "tag", "motd", "description", "platformId", "createdTs",
                 "lastModifiedTs", "jid", "active", "invited", "nominated", "removed"});
    ServiceClub club;
    const PlayerRecord* player = world.LoggedInPlayer();
    club.platformId = player != nullptr ? player->player.platformId : "LOC1";
    club.createdTs = club.lastModifiedTs = world.clock;
    reader.Text("key", club.key, true);
    reader.Text("name", club.name, true);
    reader.Text("tag", club.tag);
    reader.Text("motd", club.motd);
    reader.Text("description", club.description);
    reader.Text("platformId", club.platformId);
    reader.Signed("createdTs", club.createdTs);
    reader.Signed("lastModifiedTs", club.lastModifiedTs);
    reader.Text("jid", club.jid);
    ReadEntries(reader, "active", "", club.active, error);
    ReadEntries(reader, "invited", "INVITEE", club.invited, error);
    ReadEntries(reader, "nominated", "NOMINEE", club.nominated, error);
    ReadEntries(reader, "removed", "MEMBER", club.removed, error);
    if (!reader.Ok()) {
        return;
    }
    if (club.jid.empty()) {
        club.jid = club.key + "@" + world.service.config.chatDomain;
    }
    const std::string key = club.key;
    if (key.empty()) {
        reader.Fail(reader.Path("key"), "must not be empty");
    } else if (!world.service.clubs.emplace(key, std::move(club)).second) {
        reader.Fail(reader.Path("key"), "a second club with key \"" + key + "\"");
    }
}

void ReadLimits(Reader& service, ClubsServiceLimits& limits, std::string& error) {
    const Json* value = service.Find("limits", false);
    if (value == nullptr) {
        return;
    }
    Reader reader(*value, service.Path("limits"), error);
    std::vector<const char*> known = {"clubNominationsEnabled", "maxClubMembers"};
    for (const auto& [name, field] : ReportedLimitNumbers()) {
        known.push_back(name);
        reader.Signed(name, limits.*field);
    }
    reader.Only(known);
    reader.Bool("clubNominationsEnabled", limits.clubNominationsEnabled);
    reader.Signed("maxClubMembers", limits.maxClubMembers);
}

void ReadPlatform(Reader& top, World& world, std::string& error) {
    top.Array("blockedPlayers", false, [&](const Json& value, const std::string& where) {
        Reader reader(value, where, error);
        reader.Only({"summonerId", "name"});
        WorldBlockedPlayer blocked;
        reader.Unsigned("summonerId", blocked.summonerId, true);
        reader.Text("name", blocked.name);
        world.blockedPlayers.push_back(std::move(blocked));
    });
    const Json* config = top.Find("platformConfig", false);
    if (config == nullptr) {
        return;
    }
    if (!config->IsObject()) {
        top.Fail("platformConfig", "must be an object of namespaces");
        return;
    }
    for (const auto& space : config->GetObject()) {
        const std::string name = space.name.GetString();
        if (!space.value.IsObject()) {
            top.Fail("platformConfig." + name, "must be an object of keys and values");
            return;
        }
        for (const auto& entry : space.value.GetObject()) {
            world.platformConfig.push_back({name, entry.name.GetString(), Compact(entry.value)});
        }
    }
}

World ReadWorld(const Json& document, std::string& error) {
    World world;
    world.clock = world.service.config.startTime;
    Reader top(document, "", error);
    top.Only(
        {"loggedInAccountId", "players", "blockedPlayers", "platformConfig", "service", "clubs"});
    if (const Json* service = top.Find("service", false)) {
        Reader reader(*service, "service", error);
        reader.Only({"clock", "clockFrozen", "chatDomain", "limits"});
        reader.Signed("clock", world.clock);
        reader.Bool("clockFrozen", world.clockFrozen);
        reader.Text("chatDomain", world.service.config.chatDomain);
        ReadLimits(reader, world.service.config.limits, error);
    }
    std::optional<uint64_t> first;
    top.Array("players", true, [&](const Json& value, const std::string& where) {
        ReadPlayer(value, where, world, error);
        if (!first && value.IsObject() && value.HasMember("accountId") &&
            value["accountId"].IsUint64()) {
            first = value["accountId"].GetUint64();
        }
    });
    // Without the member the first player listed is logged in; null logs nobody in.
    const Json* loggedIn = top.Find("loggedInAccountId", false);
    if (loggedIn == nullptr) {
        world.loggedInAccountId = first;
    } else if (!loggedIn->IsNull()) {
        uint64_t accountId = 0;
        top.Unsigned("loggedInAccountId", accountId);
        if (top.Ok() && !world.service.FindPlayer(accountId)) {
            top.Fail("loggedInAccountId", std::to_string(accountId) + " is not a player");
        }
        world.loggedInAccountId = accountId;
    }
    ReadPlatform(top, world, error);
    top.Array("clubs", true, [&](const Json& value, const std::string& where) {
        ReadClub(value, where, world, error);
    });
    return world;
}

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

void WriteReferences(Writer& w,
                     const char* name,
                     const std::vector<std::pair<std::string, std::string>>& references) {
    w.Key(name);
    w.StartArray();
    for (const auto& [key, clubName] : references) {
        w.StartObject();
        JsonField(w, "key", key);
        JsonField(w, "name", clubName);
        w.EndObject();
    }
    w.EndArray();
}

void WritePlayer(Writer& w, const World& world, const PlayerRecord& record) {
    const ServicePlayer& player = record.player;
    const auto profile = world.profiles.find(player.accountId);
    w.StartObject();
    JsonField(w, "accountId", player.accountId);
    JsonField(w, "summonerId", player.summonerId);
    JsonField(w, "name", profile != world.profiles.end() ? profile->second.name : "");
    JsonField(w, "profileIconId",
              profile != world.profiles.end() ? profile->second.profileIconId : 0);
    JsonField(w, "platformId", player.platformId);
    JsonField(w, "token", player.token);
    JsonField(w, "primaryClubKey", record.primaryClubKey);
    JsonField(w, "shareClubAffiliation", record.shareClubAffiliation);
    w.Key("notices");
    w.StartArray();
    for (const ServiceNotice& notice : record.notices) {
        w.StartObject();
        JsonField(w, "clubKey", notice.clubKey);
        JsonField(w, "clubName", notice.clubName);
        JsonField(w, "role", notice.role);
        JsonField(w, "status", notice.status);
        JsonField(w, "action", notice.action);
        w.EndObject();
    }
    w.EndArray();
    WriteReferences(w, "removedClubs", record.removedClubs);
    WriteReferences(w, "revokedInvites", record.revokedInviteClubs);
    w.EndObject();
}

void WriteEntries(Writer& w, const char* name, const std::vector<ClubEntry>& entries) {
    w.Key(name);
    w.StartArray();
    for (const ClubEntry& entry : entries) {
        w.StartObject();
        JsonField(w, "accountId", entry.accountId);
        JsonField(w, "role", entry.role);
        JsonField(w, "since", entry.since);
        JsonField(w, "by", entry.byAccountId);
        w.EndObject();
    }
    w.EndArray();
}

void WriteClub(Writer& w, const ServiceClub& club) {
    w.StartObject();
    JsonField(w, "key", club.key);
    JsonField(w, "name", club.name);
    JsonField(w, "tag", club.tag);
    JsonField(w, "motd", club.motd);
    JsonField(w, "description", club.description);
    JsonField(w, "platformId", club.platformId);
    JsonField(w, "createdTs", club.createdTs);
    JsonField(w, "lastModifiedTs", club.lastModifiedTs);
    JsonField(w, "jid", club.jid);
    WriteEntries(w, "active", club.active);
    WriteEntries(w, "invited", club.invited);
    WriteEntries(w, "nominated", club.nominated);
    WriteEntries(w, "removed", club.removed);
    w.EndObject();
}

void WriteLimits(Writer& w, const ClubsServiceLimits& limits) {
    w.StartObject();
    for (const auto& [key, field] : ReportedLimitNumbers()) {
        w.Key(key);
        w.Int(limits.*field);
    }
    JsonField(w, "maxClubMembers", limits.maxClubMembers);
    JsonField(w, "clubNominationsEnabled", limits.clubNominationsEnabled);
    w.EndObject();
}

void WritePlatformConfig(Writer& w, const World& world) {
    // Grouped by namespace in the order the namespaces first appear.
    std::vector<std::vector<const WorldConfigValue*>> spaces;
    std::map<std::string_view, std::size_t> spaceIndex;
    for (const WorldConfigValue& value : world.platformConfig) {
        const auto [index, added] = spaceIndex.emplace(value.nameSpace, spaces.size());
        if (added) {
            spaces.emplace_back();
        }
        spaces[index->second].push_back(&value);
    }
    w.StartObject();
    for (const std::vector<const WorldConfigValue*>& values : spaces) {
        const std::string& space = values.front()->nameSpace;
        w.Key(space.c_str(), static_cast<rapidjson::SizeType>(space.size()));
        w.StartObject();
        for (const WorldConfigValue* value : values) {
            w.Key(value->key.c_str(), static_cast<rapidjson::SizeType>(value->key.size()));
            w.RawValue(value->json.c_str(), value->json.size(), rapidjson::kObjectType);
        }
        w.EndObject();
    }
    w.EndObject();
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
    std::string error;
    World world = ReadWorld(document, error);
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
    Writer w(buffer);
    w.SetIndent(' ', 2);
    w.StartObject();
    w.Key("loggedInAccountId");
    if (world.loggedInAccountId) {
        w.Uint64(*world.loggedInAccountId);
    } else {
        w.Null();
    }
    w.Key("players");
    w.StartArray();
    for (const auto& [accountId, record] : world.service.players) {
        WritePlayer(w, world, record);
    }
    w.EndArray();
    w.Key("blockedPlayers");
    w.StartArray();
    for (const WorldBlockedPlayer& blocked : world.blockedPlayers) {
        w.StartObject();
        JsonField(w, "summonerId", blocked.summonerId);
        JsonField(w, "name", blocked.name);
        w.EndObject();
    }
    w.EndArray();
    w.Key("platformConfig");
    WritePlatformConfig(w, world);
    w.Key("service");
    w.StartObject();
    JsonField(w, "clock", world.clock);
    if (world.clockFrozen)
        JsonField(w, "clockFrozen", true);
    JsonField(w, "chatDomain", world.service.config.chatDomain);
    w.Key("limits");
    WriteLimits(w, world.service.config.limits);
    w.EndObject();
    w.Key("clubs");
    w.StartArray();
    for (const auto& [key, club] : world.service.clubs) {
        WriteClub(w, club);
    }
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

}  // namespace Kolm::Host
