#include "host/clubs_web_service/service_json.h"

#include <cerrno>
#include <cstdlib>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Kolm::Host {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void Text(Writer& w, const char* key, const std::string& value) {
    w.Key(key);
    w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void Unsigned(Writer& w, const char* key, uint64_t value) {
    w.Key(key);
    w.Uint64(value);
}

void Signed(Writer& w, const char* key, int64_t value) {
    w.Key(key);
    w.Int64(value);
}

void WritePlayerInfo(Writer& w, const ServicePlayer& player) {
    w.StartObject();
    Text(w, "currentPlatformId", player.platformId);
    Unsigned(w, "currentAccountId", player.accountId);
    Unsigned(w, "summonerId", player.summonerId);
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
        Signed(w, "since", entry.since);
        Text(w, "role", entry.role);
        w.EndObject();
    }
    w.EndArray();
}

void WriteClubMembership(Writer& w, const ServiceData& data, const ServiceClub& club) {
    w.StartObject();
    Text(w, "clubKey", club.key);
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
    Text(w, "clubKey", club.key);
    Text(w, "name", club.name);
    Text(w, "tag", club.tag);
    Text(w, "description", club.description);
    Text(w, "motd", club.motd);
    Signed(w, "createdTs", club.createdTs);
    Signed(w, "lastModifiedTs", club.lastModifiedTs);
    Text(w, "jid", club.jid);
    Text(w, "role", RoleIn(club, viewerAccountId));
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
    Text(w, "platformId", club.platformId);
    Text(w, "resourceUri", "/v1/clubs/" + club.key);
    w.EndObject();
}

void WriteInvite(Writer& w,
                 const ServiceData& data,
                 const ServiceClub& club,
                 const ClubEntry& invitation) {
    const ServicePlayer inviter = PlayerOf(data, invitation.byAccountId);
    const ServicePlayer invitee = PlayerOf(data, invitation.accountId);
    w.StartObject();
    Text(w, "clubKey", club.key);
    Text(w, "clubName", club.name);
    w.Key("status");
    w.Int(0);
    Text(w, "inviterPlatformId", inviter.platformId);
    Unsigned(w, "inviterAccountId", inviter.accountId);
    Unsigned(w, "inviterSummonerId", inviter.summonerId);
    Text(w, "inviteePlatformId", invitee.platformId);
    Unsigned(w, "inviteeSummonerId", invitee.summonerId);
    Unsigned(w, "inviteeAccountId", invitee.accountId);
    w.EndObject();
}

void WriteReferences(Writer& w,
                     const char* key,
                     const std::vector<std::pair<std::string, std::string>>& references) {
    w.Key(key);
    w.StartArray();
    for (const auto& [clubKey, clubName] : references) {
        w.StartObject();
        Text(w, "clubKey", clubKey);
        Text(w, "clubName", clubName);
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

void WriteMembership(Writer& w, const ServiceData& data, const PlayerRecord& player) {
    const uint64_t accountId = player.player.accountId;
    w.StartObject();
    w.Key("player");
    WritePlayerInfo(w, player.player);
    w.Key("activeClubs");
    w.StartArray();
    for (const auto& [key, club] : data.clubs) {
        if (FindEntry(club.active, accountId))
            WriteClub(w, data, club, accountId);
    }
    w.EndArray();
    w.Key("pendingInvites");
    w.StartArray();
    for (const auto& [key, club] : data.clubs) {
        if (const ClubEntry* invitation = FindEntry(club.invited, accountId))
            WriteInvite(w, data, club, *invitation);
    }
    w.EndArray();
    WriteReferences(w, "removedClubs", player.removedClubs);
    WriteReferences(w, "revokedInviteClubs", player.revokedInviteClubs);
    Text(w, "resourceUri",
         "/v1/membership/" + player.player.platformId + "/" + std::to_string(accountId));
    w.Key("clubsServerConfig");
    WriteServerConfig(w, data.config.limits);
    w.Key("playerClubPreferences");
    w.StartObject();
    Text(w, "primaryActiveClubKey", player.primaryClubKey);
    w.Key("shareClubAffiliation");
    w.Bool(player.shareClubAffiliation);
    w.EndObject();
    Text(w, "secureClubPresenceInfoString", PresenceText(player));
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
    return Written([&](Writer& w) { WriteMembership(w, data, player); });
}

std::string MembershipWithNotificationsJson(const ServiceData& data, const PlayerRecord& player) {
    return Written([&](Writer& w) {
        w.StartObject();
        w.Key("playerMembership");
        WriteMembership(w, data, player);
        w.Key("membershipNotifications");
        w.StartArray();
        for (const ServiceNotice& notice : player.notices) {
            w.StartObject();
            Text(w, "clubKey", notice.clubKey);
            Text(w, "name", notice.clubName);
            Text(w, "role", notice.role);
            Text(w, "status", notice.status);
            Text(w, "action", notice.action);
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
    });
}

std::string ErrorJson(int status, const std::string& errorCode, const std::string& message) {
    return Written([&](Writer& w) {
        w.StartObject();
        Text(w, "errorCode", errorCode);
        w.Key("httpStatus");
        w.Int(status);
        Text(w, "message", message);
        w.EndObject();
    });
}

std::optional<rapidjson::Document> ParseObject(const std::string& body) {
    rapidjson::Document document;
    document.Parse(body.data(), body.size());
    if (document.HasParseError() || !document.IsObject())
        return std::nullopt;
    return document;
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
