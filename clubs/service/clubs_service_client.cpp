#include "clubs/service/clubs_service_client.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "binding/binding_conversion.h"
#include "clubs/service/service_path_encoding.h"
#include "formats/json.h"

namespace Kolm::Client::Clubs {
namespace {

using HttpBaseTransport::Request;

constexpr const char* kUnknownError = "UNKNOWN_ERROR";
constexpr const char* kSerializingFailed = "Error serializing server request";
constexpr const char* kDeserializingFailed = "Error deserializing server response";
constexpr const char* kLineSeparator = "\r\n";

// Fills "%1".."%9" of a path template. Unlike the message formatter it has no length limit, so
// a long key cannot cut a path short, and the texts put in are never expanded again.
std::string FillPath(std::string_view pathTemplate, std::initializer_list<std::string> texts) {
    const std::string* arguments = texts.begin();
    std::string path;
    for (size_t i = 0; i < pathTemplate.size(); ++i) {
        const char next = i + 1 < pathTemplate.size() ? pathTemplate[i + 1] : '\0';
        const size_t index = static_cast<size_t>(next - '1');
        if (pathTemplate[i] == '%' && next >= '1' && next <= '9' && index < texts.size()) {
            path += arguments[index];
            ++i;
        } else {
            path += pathTemplate[i];
        }
    }
    return path;
}

bool IsSuccessStatus(uint32_t status) {
    return status >= 200 && status <= 299;
}

// True when the exchange itself failed; the answer's error text then says why (the transport's
// message, or the conversion message when the host's answer could not be taken over).
bool ExchangeFailed(const ServiceHttpAnswer& answer) {
    return answer.transportCode != 0 || answer.conversionFailed || !answer.errorText.empty() ||
           !IsSuccessStatus(answer.status);
}

// A refusal: the text is the body's "errorCode", or the JSON reader's message when the body is
// not JSON. An empty body reads as an empty value and so has no "errorCode"; a code with no text
// (empty, null, a list or a structure) counts as none, so that every refusal says something.
template <class Answer>
ApiResponse<Answer> Refusal(const ServiceHttpAnswer& response) {
    const BindingResult parsed = ParseJson(response.body);
    if (!parsed.Succeeded()) {
        return ApiResponse<Answer>::Failure(response.status, parsed.ErrorText());
    }
    const std::string code = parsed.value.Find(BindingHashedKey("errorCode")).ToString();
    return ApiResponse<Answer>::Failure(response.status, code.empty() ? kUnknownError : code);
}

}  // namespace

ClubsServiceClient::ClubsServiceClient(const BindingTypeRegistry& registry,
                                       SendFunction send,
                                       PlayerFunction player)
    : registry_(registry), send_(std::move(send)), player_(std::move(player)) {}

void ClubsServiceClient::Configure(bool enabled, std::string baseUrl, const Headers& headers) {
    enabled_ = enabled;
    baseUrl_ = std::move(baseUrl);
    defaultHeaders_.clear();
    defaultHeaders_.insert(headers.begin(), headers.end());
}

template <class Answer>
ApiResponse<Answer> ClubsServiceClient::Call(HttpMethod method,
                                             const std::string& path,
                                             std::string body) {
    Request request;
    request.method = static_cast<uint32_t>(method);
    request.url = baseUrl_ + path;
    request.headers.insert(defaultHeaders_.begin(), defaultHeaders_.end());
    request.body = std::move(body);
    request.setting = requestSetting_;
    request.flag = kRequestFlag;

    const ServiceHttpAnswer response = send_ ? send_(request) : ServiceHttpAnswer{};

    if (response.transportCode == 0 && !IsSuccessStatus(response.status)) {
        return Refusal<Answer>(response);
    }
    if (ExchangeFailed(response)) {
        return ApiResponse<Answer>::Failure(500, "Failed to get response from url: " + request.url +
                                                     " : '" + response.errorText + "'");
    }
    ApiResponse<Answer> result;
    if (!FromJsonText(result.value, response.body, &registry_)) {
        return ApiResponse<Answer>::Failure(500, kDeserializingFailed);
    }
    result.status = response.status;
    return result;
}

template <class Answer, class Record>
ApiResponse<Answer> ClubsServiceClient::CallWithRecord(HttpMethod method,
                                                       const std::string& path,
                                                       const Record& record) {
    JsonText body = ToJsonText(record, &registry_, kLineSeparator);
    if (!body.success) {
        return ApiResponse<Answer>::Failure(500, kSerializingFailed);
    }
    return Call<Answer>(method, path, std::move(body.text));
}

std::string ClubsServiceClient::MembershipPath(const std::string& rest) const {
    const ClubsServicePlayer player = player_ ? player_() : ClubsServicePlayer{};
    return FillPath("/v1/membership/%1/%2",
                    {EncodePathSegment(player.platformId), std::to_string(player.accountId)}) +
           rest;
}

ApiResponse<Api::PlayerMembershipDto> ClubsServiceClient::GetMembership() {
    return Call<Api::PlayerMembershipDto>(HttpMethod::Get, MembershipPath(""), {});
}

ApiResponse<Api::PlayerMembershipWithNotificationsDto> ClubsServiceClient::InitMembership() {
    return Call<Api::PlayerMembershipWithNotificationsDto>(HttpMethod::Get, MembershipPath("/init"),
                                                           {});
}

ApiResponse<Api::PlayerMembershipDto> ClubsServiceClient::UpdatePreferences(
    const Api::PlayerMembershipPreferencesDto& preferences) {
    return CallWithRecord<Api::PlayerMembershipDto>(HttpMethod::Put, MembershipPath(""),
                                                    preferences);
}

ApiResponse<Api::PlayerMembershipDto> ClubsServiceClient::LeaveClub(const std::string& clubKey) {
    return Call<Api::PlayerMembershipDto>(
        HttpMethod::Post, MembershipPath("/leave/" + EncodePathSegment(clubKey)), {});
}

ApiResponse<Api::PlayerMembershipDto> ClubsServiceClient::AnswerInvite(
    const Api::MembershipInviteDto& invite) {
    const bool answered = invite.status == static_cast<int32_t>(Api::ClubInviteStatus::ACCEPTED) ||
                          invite.status == static_cast<int32_t>(Api::ClubInviteStatus::REJECTED);
    const std::string path =
        answered ? MembershipPath("/invites/" + EncodePathSegment(invite.clubKey)) : "";
    return CallWithRecord<Api::PlayerMembershipDto>(HttpMethod::Post, path, invite);
}

ApiResponse<Api::ClubDto> ClubsServiceClient::CreateClub(const std::string& name) {
    return Call<Api::ClubDto>(HttpMethod::Post,
                              FillPath("/v1/clubs?clubName=%1", {EncodeQueryValue(name)}), {});
}

ApiResponse<Api::ClubDto> ClubsServiceClient::GetClub(const std::string& clubKey) {
    return Call<Api::ClubDto>(HttpMethod::Get,
                              FillPath("/v1/clubs/%1", {EncodePathSegment(clubKey)}), {});
}

ApiResponse<Api::ClubDto> ClubsServiceClient::SetTag(const std::string& clubKey,
                                                     const std::string& tag) {
    return Call<Api::ClubDto>(HttpMethod::Put,
                              FillPath("/v1/clubs/%1/tag", {EncodePathSegment(clubKey)}), tag);
}

ApiResponse<Api::ClubDto> ClubsServiceClient::SetMotd(const std::string& clubKey,
                                                      const std::string& motd) {
    return Call<Api::ClubDto>(HttpMethod::Put,
                              FillPath("/v1/clubs/%1/motd", {EncodePathSegment(clubKey)}), motd);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::Invite(
    const std::string& clubKey,
    const Api::BaseMembershipInviteDto& invite) {
    return CallWithRecord<Api::ClubMembershipDto>(
        HttpMethod::Post, FillPath("/v1/clubs/%1/invites", {EncodePathSegment(clubKey)}), invite);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::MemberCall(const char* pathTemplate,
                                                                   const std::string& clubKey,
                                                                   uint64_t id) {
    return Call<Api::ClubMembershipDto>(
        HttpMethod::Post, FillPath(pathTemplate, {EncodePathSegment(clubKey), std::to_string(id)}),
        {});
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::Nominate(const std::string& clubKey,
                                                                 uint64_t id) {
    return MemberCall("/v1/clubs/%1/nominate/%2", clubKey, id);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::RejectNomination(const std::string& clubKey,
                                                                         uint64_t id) {
    return MemberCall("/v1/clubs/%1/nominate/%2/reject", clubKey, id);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::Promote(const std::string& clubKey,
                                                                uint64_t id) {
    return MemberCall("/v1/clubs/%1/promote/%2", clubKey, id);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::Demote(const std::string& clubKey,
                                                               uint64_t id) {
    return MemberCall("/v1/clubs/%1/demote/%2", clubKey, id);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::RemoveMember(const std::string& clubKey,
                                                                     uint64_t id) {
    return MemberCall("/v1/clubs/%1/remove/%2", clubKey, id);
}

ApiResponse<Api::ClubMembershipDto> ClubsServiceClient::TransferOwnership(
    const std::string& clubKey,
    uint64_t id) {
    return MemberCall("/v1/clubs/%1/ownership/%2", clubKey, id);
}

}  // namespace Kolm::Client::Clubs
