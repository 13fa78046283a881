// ClubsServiceClient: every request the plugin makes of the remote clubs web service. It holds
// the service's base URL and the headers that authenticate the player, builds each request from
// a path and an optional body, hands it to the host's HTTP transport and turns the answer into
// an ApiResponse: the decoded service record, or a failure with a status and the service's
// "errorCode". It neither retries nor caches, logs nothing, and keeps no state across calls.
//
// Calls are synchronous on the caller's thread; the client holds no lock, so Configure and the
// calls are made one at a time (the clubs handlers never overlap).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "api/api_response.h"
#include "api/http_method.h"
#include "api/http_transport.h"
#include "clubs/model/clubs_service_types.h"
#include "clubs/service/service_transport.h"

namespace Kolm {
class BindingTypeRegistry;
}

namespace Kolm::Client::Clubs {

// The player the membership paths name, as the plugin knows them at the moment of a call.
struct ClubsServicePlayer {
    std::string platformId;
    uint64_t accountId = 0;
};

class ClubsServiceClient {
  public:
    // Carries one request to the host and returns its answer (normally
    // SendThroughConnection of the plugin).
    using SendFunction = ServiceSendFunction;
    using PlayerFunction = std::function<ClubsServicePlayer()>;
    using Headers = std::unordered_map<std::string, std::string>;

    // The option handed to the host with every request, and its flag byte.
    static constexpr uint32_t kRequestSetting = 20;
    static constexpr uint8_t kRequestFlag = 1;

    // `registry` must outlive the client and hold the clubs records.
    ClubsServiceClient(const BindingTypeRegistry& registry,
                       SendFunction send,
                       PlayerFunction player);

    // Replaces the base URL and the default headers. `enabled` is recorded only: requests made
    // while clubs is off go to the bare path.
    void Configure(bool enabled, std::string baseUrl, const Headers& headers);

    bool Enabled() const { return enabled_; }
    const std::string& BaseUrl() const { return baseUrl_; }
    const Headers& DefaultHeaders() const { return defaultHeaders_; }

    ApiResponse<Api::PlayerMembershipDto> GetMembership();
    ApiResponse<Api::PlayerMembershipWithNotificationsDto> InitMembership();
    ApiResponse<Api::PlayerMembershipDto> UpdatePreferences(
        const Api::PlayerMembershipPreferencesDto& preferences);
    ApiResponse<Api::PlayerMembershipDto> LeaveClub(const std::string& clubKey);
    // Only an accepted (1) or rejected (2) invitation has a path; any other status posts to the
    // base URL itself.
    ApiResponse<Api::PlayerMembershipDto> AnswerInvite(const Api::MembershipInviteDto& invite);

    ApiResponse<Api::ClubDto> CreateClub(const std::string& name);
    ApiResponse<Api::ClubDto> GetClub(const std::string& clubKey);
    // The tag and the message go out as the body text itself.
    ApiResponse<Api::ClubDto> SetTag(const std::string& clubKey, const std::string& tag);
    ApiResponse<Api::ClubDto> SetMotd(const std::string& clubKey, const std::string& motd);

    ApiResponse<Api::ClubMembershipDto> Invite(const std::string& clubKey,
                                               const Api::BaseMembershipInviteDto& invite);
    // `id` is the player id the caller chose (a summoner id for Nominate, account ids for the
    // others).
    ApiResponse<Api::ClubMembershipDto> Nominate(const std::string& clubKey, uint64_t id);
    ApiResponse<Api::ClubMembershipDto> RejectNomination(const std::string& clubKey, uint64_t id);
    ApiResponse<Api::ClubMembershipDto> Promote(const std::string& clubKey, uint64_t id);
    ApiResponse<Api::ClubMembershipDto> Demote(const std::string& clubKey, uint64_t id);
    ApiResponse<Api::ClubMembershipDto> RemoveMember(const std::string& clubKey, uint64_t id);
    ApiResponse<Api::ClubMembershipDto> TransferOwnership(const std::string& clubKey, uint64_t id);

  private:
    template <class Answer>
    ApiResponse<Answer> Call(HttpMethod method, const std::string& path, std::string body);
    template <class Answer, class Record>
    ApiResponse<Answer> CallWithRecord(HttpMethod method,
                                       const std::string& path,
                                       const Record& record);
    // A bodiless POST on a club member's path: the key and the id fill "%1" and "%2".
    ApiResponse<Api::ClubMembershipDto> MemberCall(const char* pathTemplate,
                                                   const std::string& clubKey,
                                                   uint64_t id);
    // "/v1/membership/<platformId>/<accountId>" followed by `rest`.
    std::string MembershipPath(const std::string& rest) const;

    const BindingTypeRegistry& registry_;
    SendFunction send_;
    PlayerFunction player_;
    bool enabled_ = false;
    Headers defaultHeaders_;
    std::string baseUrl_;
    uint32_t requestSetting_ = kRequestSetting;
};

}  // namespace Kolm::Client::Clubs
