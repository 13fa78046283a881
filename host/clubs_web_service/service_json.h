// The JSON forms of the clubs web service: its answer records written from the service's
// state, its error body, and tolerant readers of request bodies. Independent of the plugin's
// own JSON code, so that the two sides check each other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "host/clubs_web_service/service_state.h"
#include "host/clubs_web_service/service_url.h"

namespace Kolm::Host {

// A club with its members, the club data's role being the viewer's role in it.
std::string ClubJson(const ServiceData& data, const ServiceClub& club, uint64_t viewerAccountId);

std::string ClubMembershipJson(const ServiceData& data, const ServiceClub& club);

std::string PlayerMembershipJson(const ServiceData& data, const PlayerRecord& player);
// The same with the player's places given (PlacesByAccount), for writing many memberships.
std::string PlayerMembershipJson(const ServiceData& data,
                                 const PlayerRecord& player,
                                 const std::vector<ClubPlace>& places);

// The initial membership read: the membership plus the player's pending notices.
std::string MembershipWithNotificationsJson(const ServiceData& data, const PlayerRecord& player);

// {"errorCode": code, "httpStatus": status, "message": message}
std::string ErrorJson(int status, const std::string& errorCode, const std::string& message);

// The body as a JSON object, or nothing when it is not one. When the body was refused for its
// nesting or a lone surrogate escape (see ParseBoundedJson), `refusal` says so ("the body
// nests deeper than 512 levels (at offset 512)"); else it is left empty.
std::optional<rapidjson::Document> ParseObject(const std::string& body, std::string& refusal);

// Why a request is refused before any handler reads it, or "" when it may go on: a body, path
// segment or query parameter that is not UTF-8 once decoded. Text bodies (a tag, a message of
// the day) are stored as they come, so this is their only check.
std::string RefuseRequestText(const std::string& body, const ServiceUrl& url);

// Members of a request body. Numbers are also accepted as decimal texts, the way lenient
// services read them; a missing member or one of another shape gives nothing.
std::optional<uint64_t> ReadUnsigned(const rapidjson::Value& object, const char* name);
std::optional<int64_t> ReadSigned(const rapidjson::Value& object, const char* name);
std::optional<std::string> ReadText(const rapidjson::Value& object, const char* name);
std::optional<bool> ReadBool(const rapidjson::Value& object, const char* name);

}  // namespace Kolm::Host
