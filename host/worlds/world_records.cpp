#include "host/worlds/world_records.h"

#include "host/documents/record_reader.h"
#include "host/documents/record_schema.h"

namespace Kolm::Host {

std::optional<FieldProblem> RecordMap<WorldPlayerText>::Finish(WorldPlayerText& player) {
    const std::string id = std::to_string(player.record.player.accountId);
    if (player.record.player.token.empty()) {
        player.record.player.token = "local-token-" + id;
    }
    if (player.profile.name.empty()) {
        player.profile.name = "Player " + id;
    }
    return std::nullopt;
}

std::optional<FieldProblem> RecordMap<WorldClubText>::Finish(WorldClubText& text) {
    ServiceClub& club = text.club;
    if (club.key.empty()) {
        return FieldProblem{"key", "must not be empty"};
    }
    for (std::size_t i = 0; i < club.active.size(); ++i) {
        if (club.active[i].role.empty()) {
            return FieldProblem{"active[" + std::to_string(i) + "].role", "is missing"};
        }
    }
    // Entries of the other lists may leave their role to the list they are in.
    const std::pair<std::vector<ClubEntry>*, const char*> lists[] = {
        {&club.invited, "INVITEE"}, {&club.nominated, "NOMINEE"}, {&club.removed, "MEMBER"}};
    for (const auto& [entries, role] : lists) {
        for (ClubEntry& entry : *entries) {
            if (entry.role.empty()) {
                entry.role = role;
            }
        }
    }
    return std::nullopt;
}

void ValueMap<WorldConfigText>::Read(const rapidjson::Value& json,
                                     WorldConfigText& config,
                                     const Where& where,
                                     DocumentReader& reader) {
    if (!json.IsObject()) {
        reader.Fail(where, "must be an object of namespaces");
        return;
    }
    config.values.clear();
    for (const auto& space : json.GetObject()) {
        const std::string name(space.name.GetString(), space.name.GetStringLength());
        if (!space.value.IsObject()) {
            reader.Fail(where.Field(name), "must be an object of keys and values");
            return;
        }
        for (const auto& entry : space.value.GetObject()) {
            config.values.push_back(
                {name, std::string(entry.name.GetString(), entry.name.GetStringLength()),
                 CompactJson(entry.value)});
        }
    }
}

void ValueMap<WorldConfigText>::Describe(SchemaWriter& schema) {
    SchemaWriter::JsonWriter& w = schema.Json();
    w.StartObject();
    w.Key("type");
    w.String("object");
    w.Key("description");
    w.String("namespace -> key -> any JSON value");
    w.Key("additionalProperties");
    w.StartObject();
    w.Key("type");
    w.String("object");
    w.Key("additionalProperties");
    w.StartObject();
    w.EndObject();
    w.EndObject();
    w.EndObject();
}

}  // namespace Kolm::Host
