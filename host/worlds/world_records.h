// The world as its document lays it out, described once: the reader, the writer and the
// OpenAPI schema of a world all come from the maps below. The document differs from the World
// the host runs in a few places (a player's name and icon sit with the player; the service's
// clock and limits sit under "service"), so WorldText holds the document's shape and
// world_document.cpp moves it into a World and back.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <rapidjson/document.h>

#include "host/clubs_web_service/service_rules.h"
#include "host/clubs_web_service/service_state.h"
#include "host/documents/record_map.h"
#include "host/worlds/world.h"

namespace Kolm::Host {

class DocumentReader;
class Where;
class SchemaWriter;

// A time stamp the document left out: the club gets the service's clock.
inline constexpr int64_t kUnstamped = std::numeric_limits<int64_t>::min();

struct WorldPlayerText {
    PlayerRecord record;
    WorldProfile profile;
};

struct WorldClubText {
    ServiceClub club = [] {
        ServiceClub unstamped;
        unstamped.createdTs = unstamped.lastModifiedTs = kUnstamped;
        return unstamped;
    }();
};

struct WorldServiceText {
    int64_t clock = 0;
    bool clockFrozen = false;
    std::string chatDomain;
    ClubsServiceLimits limits;
};

// The platform configuration: namespace, then key, then any JSON value.
struct WorldConfigText {
    std::vector<WorldConfigValue> values;
};

struct WorldText {
    std::optional<Nullable<uint64_t>> loggedInAccountId;
    std::vector<WorldPlayerText> players;
    std::vector<WorldBlockedPlayer> blockedPlayers;
    WorldConfigText platformConfig;
    WorldServiceText service;
    std::vector<WorldClubText> clubs;
};

template <>
struct RecordMap<WorldText> {
    static constexpr const char* kName = "World";
    static constexpr const char* kDescription =
        "Everything the emulated platform knows. Only players and clubs are required; the rest "
        "has defaults.";
    template <class Io>
    static void Map(Io& io, WorldText& world) {
        io.Optional("loggedInAccountId", world.loggedInAccountId,
                    Rules().Describe("Absent: the first player; null: nobody is logged in"));
        io.Required("players", world.players);
        io.Optional("blockedPlayers", world.blockedPlayers);
        io.Optional("platformConfig", world.platformConfig);
        io.Optional("service", world.service);
        io.Required("clubs", world.clubs);
    }
};

template <>
struct RecordMap<WorldPlayerText> {
    static constexpr const char* kName = "WorldPlayer";
    template <class Io>
    static void Map(Io& io, WorldPlayerText& player) {
        ServicePlayer& service = player.record.player;
        io.Required("accountId", service.accountId);
        io.Required("summonerId", service.summonerId);
        io.Optional("name", player.profile.name,
                    Rules().Describe("absent: \"Player <accountId>\""));
        io.Optional("profileIconId", player.profile.profileIconId, 0);
        io.Optional("platformId", service.platformId, "LOC1");
        io.Optional("token", service.token,
                    Rules().Describe("the bearer token; absent: \"local-token-<accountId>\""));
        io.Optional("primaryClubKey", player.record.primaryClubKey);
        io.Optional("shareClubAffiliation", player.record.shareClubAffiliation, false);
        io.Optional("notices", player.record.notices,
                    Rules().Describe("handed to the player with the next membership read"));
        io.Optional("removedClubs", player.record.removedClubs);
        io.Optional("revokedInvites", player.record.revokedInviteClubs);
    }
    static std::optional<FieldProblem> Finish(WorldPlayerText& player);
};

template <>
struct RecordMap<ServiceNotice> {
    static constexpr const char* kName = "WorldNotice";
    template <class Io>
    static void Map(Io& io, ServiceNotice& notice) {
        io.Required("clubKey", notice.clubKey);
        io.Optional("clubName", notice.clubName);
        io.Optional("role", notice.role);
        io.Optional("status", notice.status, "UNREAD");
        io.Required("action", notice.action);
    }
};

// A club by key and name, as a player's removed clubs and revoked invitations list them.
template <>
struct RecordMap<std::pair<std::string, std::string>> {
    static constexpr const char* kName = "WorldClubReference";
    template <class Io>
    static void Map(Io& io, std::pair<std::string, std::string>& club) {
        io.Required("key", club.first);
        io.Optional("name", club.second);
    }
};

template <>
struct RecordMap<WorldBlockedPlayer> {
    static constexpr const char* kName = "WorldBlockedPlayer";
    template <class Io>
    static void Map(Io& io, WorldBlockedPlayer& blocked) {
        io.Required("summonerId", blocked.summonerId);
        io.Optional("name", blocked.name);
    }
};

template <>
struct RecordMap<WorldServiceText> {
    static constexpr const char* kName = "WorldService";
    template <class Io>
    static void Map(Io& io, WorldServiceText& service) {
        static const ClubsServiceConfig defaults;
        io.Optional("clock", service.clock, defaults.startTime,
                    Rules().Describe("the service's last time stamp, in ms since 1970 UTC"));
        io.Optional("clockFrozen", service.clockFrozen, false,
                    Rules().Describe("every new stamp is clock").OmitDefault());
        io.Optional("chatDomain", service.chatDomain, defaults.chatDomain,
                    Rules().Describe("the part of a club's jid after \"@\""));
        io.Optional("limits", service.limits);
    }
};

template <>
struct RecordMap<ClubsServiceLimits> {
    static constexpr const char* kName = "WorldServiceLimits";
    template <class Io>
    static void Map(Io& io, ClubsServiceLimits& limits) {
        static const ClubsServiceLimits defaults;
        for (const auto& [name, field] : ReportedLimitNumbers()) {
            io.Optional(name, limits.*field, defaults.*field);
        }
        io.Optional("maxClubMembers", limits.maxClubMembers, defaults.maxClubMembers,
                    Rules().Describe("active members and invitees a club may have"));
        io.Optional("clubNominationsEnabled", limits.clubNominationsEnabled,
                    defaults.clubNominationsEnabled);
    }
};

template <>
struct RecordMap<WorldClubText> {
    static constexpr const char* kName = "WorldClub";
    template <class Io>
    static void Map(Io& io, WorldClubText& text) {
        ServiceClub& club = text.club;
        io.Required("key", club.key);
        io.Required("name", club.name);
        io.Optional("tag", club.tag);
        io.Optional("motd", club.motd);
        io.Optional("description", club.description);
        io.Optional("platformId", club.platformId,
                    Rules().Describe("absent: the logged-in player's platform"));
        io.Optional("createdTs", club.createdTs, Rules().Describe("absent: the service's clock"));
        io.Optional("lastModifiedTs", club.lastModifiedTs,
                    Rules().Describe("absent: the service's clock"));
        io.Optional("jid", club.jid, Rules().Describe("absent: \"<key>@<chatDomain>\""));
        io.Optional("active", club.active);
        io.Optional("invited", club.invited);
        io.Optional("nominated", club.nominated);
        io.Optional("removed", club.removed);
    }
    static std::optional<FieldProblem> Finish(WorldClubText& text);
};

template <>
struct RecordMap<ClubEntry> {
    static constexpr const char* kName = "WorldClubEntry";
    template <class Io>
    static void Map(Io& io, ClubEntry& entry) {
        io.Required("accountId", entry.accountId);
        io.Optional("role", entry.role,
                    Rules().Describe("OWNER, OFFICER or MEMBER, required when active; elsewhere "
                                     "INVITEE, NOMINEE or MEMBER by the list when absent"));
        io.Optional("since", entry.since);
        io.Optional("by", entry.byAccountId, Rules().Describe("the inviter or nominator"));
    }
};

template <>
struct ValueMap<WorldConfigText> {
    static void Read(const rapidjson::Value& json,
                     WorldConfigText& config,
                     const Where& where,
                     DocumentReader& reader);
    static void Describe(SchemaWriter& schema);

    // Grouped by namespace in the order the namespaces first appear.
    template <class Writer>
    static void Write(Writer& w, const WorldConfigText& config) {
        std::vector<std::vector<const WorldConfigValue*>> spaces;
        std::map<std::string_view, std::size_t> spaceIndex;
        for (const WorldConfigValue& value : config.values) {
            const auto [index, added] = spaceIndex.emplace(value.nameSpace, spaces.size());
            if (added) {
                spaces.emplace_back();
            }
            spaces[index->second].push_back(&value);
        }
        w.StartObject();
        for (const std::vector<const WorldConfigValue*>& values : spaces) {
            Key(w, values.front()->nameSpace);
            w.StartObject();
            for (const WorldConfigValue* value : values) {
                Key(w, value->key);
                w.RawValue(value->json.c_str(), value->json.size(), rapidjson::kObjectType);
            }
            w.EndObject();
        }
        w.EndObject();
    }

  private:
    template <class Writer>
    static void Key(Writer& w, const std::string& text) {
        w.Key(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
    }
};

}  // namespace Kolm::Host
