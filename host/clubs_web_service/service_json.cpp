#include "host/clubs_web_service/service_json.h"

#include <cerrno>
#include <cstdlib>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "host/boundary/bounded_json.h"
#include "host/clubs_web_service/json_field.h"

namespace Kolm::Host {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void WritePlayerInfo(Writer& w, const ServicePlayer& player) {
    w.StartObject();
    JsonField(w, "currentPlatformId", player.platformId);
    JsonField(w, "currentAccountId", player.accountId);
    JsonField(w, "summonerId", player.summonerId);
    w.EndObject();
}

// An entry of a player the service no longer knows still names the account.
ServicePlayer PlayerOf(const ServiceData& data, uint64_t accountId) {
    if (const PlayerRecord* record = data.FindPlayer(accountId))
        return record->player;
    ServicePlayer unknown;
    unknown.accountId = accountId;
    return unknown;
}

void WriteEntries(Writer& w,
                  const ServiceData& data,
                  const char* key,
                  const std::vector<ClubEntry>& entries) {
    w.Key(key);
    w.StartArray();
    for (const ClubEntry& entry : entries) {
        w.StartObject();
        w.Key("playerInfo");
        WritePlayerInfo(w, PlayerOf(data, entry.accountId));
        JsonField(w, "since", entry.since);
        JsonField(w, "role", entry.role);
        w.EndObject();
    }
    w.EndArray();
}

void WriteClubMembership(Writer& w, const ServiceData& data, const ServiceClub& club) {
    w.StartObject();
    JsonField(w, "clubKey", club.key);
    WriteEntries(w, data, "activeMembers", club.active);
    WriteEntries(w, data, "invitedMembers", club.invited);
    WriteEntries(w, data, "removedMembers", club.removed);
    WriteEntries(w, data, "nominatedMembers", club.nominated);
    w.EndObject();
}

void WritePermissionMap(Writer& w, const PermissionMap& permissions) {
    w.StartObject();
    for (const auto& [role, names] : permissions) {
        w.Key(role.c_str());
        w.StartArray();
        for (const std::string& name : names)
            w.String(name.c_str());
        w.EndArray();
    }
    w.EndObject();
}

void WriteClubData(Writer& w,
                   const ServiceData& data,
                   const ServiceClub& club,
                   uint64_t viewerAccountId) {
    w.StartObject();
    JsonField(w, "clubKey", club.key);
    JsonField(w, "name", club.name);
    JsonField(w, "tag", club.tag);
    JsonField(w, "description", club.description);
    JsonField(w, "motd", club.motd);
    JsonField(w, "createdTs", club.createdTs);
    JsonField(w, "lastModifiedTs", club.lastModifiedTs);
    JsonField(w, "jid", club.jid);
    JsonField(w, "role", RoleIn(club, viewerAccountId));
    w.Key("permissionMap");
    WritePermissionMap(w, data.config.permissions);
    w.EndObject();
}

void WriteClub(Writer& w,
               const ServiceData& data,
               const ServiceClub& club,
               uint64_t viewerAccountId) {
    w.StartObject();
    w.Key("clubData");
    WriteClubData(w, data, club, viewerAccountId);
    w.Key("membership");
    WriteClubMembership(w, data, club);
    JsonField(w, "platformId", club.platformId);
    JsonField(w, "resourceUri", "/v1/clubs/" + club.key);
    w.EndObject();
}

void WriteInvite(Writer& w,
                 const ServiceData& data,
                 const ServiceClub& club,
                 const ClubEntry& invitation) {
    const ServicePlayer inviter = PlayerOf(data, invitation.byAccountId);
    const ServicePlayer invitee = PlayerOf(data, invitation.accountId);
    w.StartObject();
    JsonField(w, "clubKey", club.key);
    JsonField(w, "clubName", club.name);
    w.Key("status");
    w.Int(0);
    JsonField(w, "inviterPlatformId", inviter.platformId);
    JsonField(w, "inviterAccountId", inviter.accountId);
    JsonField(w, "inviterSummonerId", inviter.summonerId);
    JsonField(w, "inviteePlatformId", invitee.platformId);
    JsonField(w, "inviteeSummonerId", invitee.summonerId);
    JsonField(w, "inviteeAccountId", invitee.accountId);
    w.EndObject();
}

void WriteReferences(Writer& w,
                     const char* key,
                     const std::vector<std::pair<std::string, std::string>>& references) {
    w.Key(key);
    w.StartArray();
    for (const auto& [clubKey, clubName] : references) {
        w.StartObject();
        JsonField(w, "clubKey", clubKey);
        JsonField(w, "clubName", clubName);
        w.EndObject();
    }
    w.EndArray();
}

void WriteServerConfig(Writer& w, const ClubsServiceLimits& limits) {
    w.StartObject();
    for (const auto& [key, field] : ReportedLimitNumbers()) {
        w.Key(key);
        w.Int(limits.*field);
    }
    w.Key("clubNominationsEnabled");
    w.Bool(limits.clubNominationsEnabled);
    w.EndObject();
}

// The presence text the service issues: opaque to clients, stable for one state.
std::string PresenceText(const PlayerRecord& player) {
    return "clubs-presence:" + player.player.platformId + ":" +
           std::to_string(player.player.accountId) + ":" + player.primaryClubKey + ":" +
           (player.shareClubAffiliation ? "shared" : "private");
}

void WriteMembership(Writer& w,
                     const ServiceData& data,
                     const PlayerRecord& player,
                     const std::vector<ClubPlace>& places) {
    const uint64_t accountId = player.player.accountId;
    w.StartObject();
    w.Key("player");
    WritePlayerInfo(w, player.player);
    w.Key("activeClubs");
    w.StartArray();
    for (const ClubPlace& place : places) {
        if (place.active)
            WriteClub(w, data, *place.club, accountId);
    }
    w.EndArray();
    w.Key("pendingInvites");
    w.StartArray();
    for (const ClubPlace& place : places) {
        if (place.invited)
            WriteInvite(w, data, *place.club, *place.invited);
    }
    w.EndArray();
    WriteReferences(w, "removedClubs", player.removedClubs);
    WriteReferences(w, "revokedInviteClubs", player.revokedInviteClubs);
    JsonField(w, "resourceUri",
              "/v1/membership/" + player.player.platformId + "/" + std::to_string(accountId));
    w.Key("clubsServerConfig");
    WriteServerConfig(w, data.config.limits);
    w.Key("playerClubPreferences");
    w.StartObject();
    JsonField(w, "primaryActiveClubKey", player.primaryClubKey);
    w.Key("shareClubAffiliation");
    w.Bool(player.shareClubAffiliation);
    w.EndObject();
    JsonField(w, "secureClubPresenceInfoString", PresenceText(player));
    w.EndObject();
}

template <class Fill>
std::string Written(Fill fill) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    fill(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject())
        return nullptr;
    const auto found = object.FindMember(name);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

}  // namespace

std::string ClubJson(const ServiceData& data, const ServiceClub& club, uint64_t viewerAccountId) {
    return Written([&](Writer& w) { WriteClub(w, data, club, viewerAccountId); });
}

std::string ClubMembershipJson(const ServiceData& data, const ServiceClub& club) {
    return Written([&](Writer& w) { WriteClubMembership(w, data, club); });
}

std::string PlayerMembershipJson(const ServiceData& data, const PlayerRecord& player) {
    return PlayerMembershipJson(data, player, PlacesOf(data, player.player.accountId));
}

std::string PlayerMembershipJson(const ServiceData& data,
                                 const PlayerRecord& player,
                                 const std::vector<ClubPlace>& places) {
    return Written([&](Writer& w) { WriteMembership(w, data, player, places); });
}

std::string MembershipWithNotificationsJson(const ServiceData& data, const PlayerRecord& player) {
    return Written([&](Writer& w) {
        w.StartObject();
        w.Key("playerMembership");
        WriteMembership(w, data, player, PlacesOf(data, player.player.accountId));
        w.Key("membershipNotifications");
        w.StartArray();
        for (const ServiceNotice& notice : player.notices) {
            w.StartObject();
            JsonField(w, "clubKey", notice.clubKey);
            JsonField(w, "name", notice.clubName);
            JsonField(w, "role", notice.role);
            JsonField(w, "status", notice.status);
            JsonField(w, "action", notice.action);
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
    });
}

std::string ErrorJson(int status, const std::string& errorCode, const std::string& message) {
    return Written([&](Writer& w) {
        w.StartObject();
        JsonField(w, "errorCode", errorCode);
        w.Key("httpStatus");
        w.Int(status);
        JsonField(w, "message", message);
        w.EndObject();
    });
}

std::optional<rapidjson::Document> ParseObject(const std::string& body, std::string& refusal) {
    rapidjson::Document document;
    const BoundedJson read = ParseBoundedJson(body, document);
    refusal = read.refusal.empty() ? "" : "the body " + read.refusal;
    if (!read || !document.IsObject())
        return std::nullopt;
    return document;
}

std::string RefuseRequestText(const std::string& body, const ServiceUrl& url) {
    if (!IsUtf8(body))
        return "the body is not UTF-8";
    for (const std::string& segment : url.segments) {
        if (!IsUtf8(segment))
            return "the path is not UTF-8";
    }
    for (const auto& [name, value] : url.query) {
        if (!IsUtf8(name) || !IsUtf8(value))
            return "the query is not UTF-8";
    }
    return {};
}

std::optional<uint64_t> ReadUnsigned(const rapidjson::Value& object, const char* name) {
    const rapidjson::Value* value = Member(object, name);
    if (!value)
        return std::nullopt;
    if (value->IsUint64())
        return value->GetUint64();
    if (!value->IsString() || value->GetStringLength() == 0)
        return std::nullopt;
    const char* text = value->GetString();
    if (*text < '0' || *text > '9')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno == ERANGE || *end != '\0')
        return std::nullopt;
    return static_cast<uint64_t>(parsed);
}

std::optional<int64_t> ReadSigned(const rapidjson::Value& object, const char* name) {
    const rapidjson::Value* value = Member(object, name);
    if (!value)
        return std::nullopt;
    if (value->IsInt64())
        return value->GetInt64();
    if (!value->IsString() || value->GetStringLength() == 0)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(value->GetString(), &end, 10);
    if (errno == ERANGE || *end != '\0')
        return std::nullopt;
    return static_cast<int64_t>(parsed);
}

std::optional<std::string> ReadText(const rapidjson::Value& object, const char* name) {
    const rapidjson::Value* value = Member(object, name);
    if (!value || !value->IsString())
        return std::nullopt;
    return std::string(value->GetString(), value->GetStringLength());
}

std::optional<bool> ReadBool(const rapidjson::Value& object, const char* name) {
    const rapidjson::Value* value = Member(object, name);
    if (!value || !value->IsBool())
        return std::nullopt;
    return value->GetBool();
}

}  // namespace Kolm::Host
