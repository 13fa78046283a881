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

// The body as a JSON object, or nothing when it is not one.
std::optional<rapidjson::Document> ParseObject(const std::string& body);

// Members of a request body. Numbers are also accepted as decimal texts, the way lenient
// services read them; a missing member or one of another shape gives nothing.
std::optional<uint64_t> ReadUnsigned(const rapidjson::Value& object, const char* name);
std::optional<int64_t> ReadSigned(const rapidjson::Value& object, const char* name);
std::optional<std::string> ReadText(const rapidjson::Value& object, const char* name);
std::optional<bool> ReadBool(const rapidjson::Value& object, const char* name);

}  // namespace Kolm::Host
