// The clubs REST endpoint table and the handlers that only read the model or announce a view:
// the read queries, the preferences update and the view notice.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "api/api_registry.h"
#include "clubs/clubs_manager.h"
#include "clubs/clubs_publish.h"
#include "clubs/service/clubs_service_client.h"

namespace Kolm::Client::Clubs {

namespace {

template <class T>
ClubsManager::Response<T> ClubNotFound() {
    return ClubsManager::Response<T>::Failure(404, kClubNotFound);
}

// Registers one row of the table. The handler runs with the clubs lock held for its whole run;
// a request that reaches the plugin on a thread already inside a clubs handler (the host ran it
// while that handler waited on a host call) is refused rather than shown a half-updated model.
template <class R, class... Params>
EndpointBuilder Row(ApiRegistry& api,
                    HttpMethod method,
                    const char* path,
                    ClubsManager& manager,
                    ClubsManager::Response<R> (ClubsManager::*handler)(Params...)) {
    std::string label = std::string(HttpMethodName(method)) + " " + path;
    std::function<ClubsManager::Response<R>(Params...)> locked = [&manager, handler,
                                                                  label](Params... arguments) {
        ClubsLock::RequestScope scope(manager.Lock(), label.c_str());
        if (!scope.Entered()) {
            return ClubsManager::Response<R>::Failure(503, kClubsBusy);
        }
        return (manager.*handler)(std::move(arguments)...);
    };
    return api.RegisterEndpoint(method, path, std::move(locked));
}

}  // namespace

void ClubsManager::RegisterEndpoints(ApiRegistry& api) {
    using M = ClubsManager;
    const auto get = HttpMethod::Get;
    const auto patch = HttpMethod::Patch;
    const auto post = HttpMethod::Post;
    const auto del = HttpMethod::Delete;
    const char* clubPath = "/zun-clubs/v1/clubs/{clubKey}";
    const char* membersPath = "/zun-clubs/v1/clubs/{clubKey}/members/{summonerId}";
    const char* nominationsPath = "/zun-clubs/v1/clubs/{clubKey}/nominations/{summonerId}";
    const char* invitationsPath = "/zun-clubs/v1/clubs/{clubKey}/invitations/{summonerId}";
    const char* promotionsPath = "/zun-clubs/v1/clubs/{clubKey}/promotions/{summonerId}";

    // Routes match in this order; the literal paths come before "{clubKey}" so that, for
    // example, "membership" and "invitations" are never taken for club keys.
    Row(api, get, kMembershipPath, *this, &M::ReadMembership);
    Row(api, get, kMembershipPreferencesPath, *this, &M::ReadPreferences);
    Row(api, patch, kMembershipPreferencesPath, *this, &M::ChangePreferences)
        .BodyArgument("preferences");
    Row(api, post, kMembershipPath, *this, &M::CreateClub).BodyArgument("name");
    Row(api, get, kInvitationsPath, *this, &M::ReadPendingInvites);
    Row(api, patch, kInvitationsPath, *this, &M::AnswerInvitation).BodyArgument("invitation");
    Row(api, get, kClubsPath, *this, &M::ReadActiveClubs);
    Row(api, get, clubPath, *this, &M::ReadClub).PathArgument("clubKey");
    Row(api, patch, clubPath, *this, &M::SetClubTag).PathArgument("clubKey").BodyArgument("tag");
    Row(api, del, clubPath, *this, &M::LeaveClub).PathArgument("clubKey");
    Row(api, post, "/zun-clubs/v1/clubs/{clubKey}/view", *this, &M::NoticeClubView)
        .PathArgument("clubKey");
    Row(api, get, "/zun-clubs/v1/clubs/{clubKey}/motd", *this, &M::ReadClubMotd)
        .PathArgument("clubKey");
    Row(api, patch, "/zun-clubs/v1/clubs/{clubKey}/motd", *this, &M::SetClubMotd)
        .PathArgument("clubKey")
        .BodyArgument("motd");
    Row(api, get, "/zun-clubs/v1/clubs/{clubKey}/members", *this, &M::ReadActiveMembers)
        .PathArgument("clubKey");
    Row(api, del, membersPath, *this, &M::RemoveMember)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    Row(api, post, membersPath, *this, &M::TransferOwnership)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    Row(api, get, "/zun-clubs/v1/clubs/{clubKey}/nominations", *this, &M::ReadNominatedMembers)
        .PathArgument("clubKey");
    Row(api, post, nominationsPath, *this, &M::NominateMember)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    Row(api, del, nominationsPath, *this, &M::RejectNomination)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    Row(api, get, "/zun-clubs/v1/clubs/{clubKey}/invitations", *this, &M::ReadInvitedMembers)
        .PathArgument("clubKey");
    Row(api, post, invitationsPath, *this, &M::InviteMember)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    // Withdrawing an invitation is removing the invited member.
    Row(api, del, invitationsPath, *this, &M::RemoveMember)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    Row(api, post, promotionsPath, *this, &M::PromoteMember)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
    Row(api, del, promotionsPath, *this, &M::DemoteMember)
        .PathArgument("clubKey")
        .PathArgument("summonerId");
}

ClubsManager::Response<Api::PlayerClubMembership> ClubsManager::ReadMembership() {
    return Response<Api::PlayerClubMembership>(membership);
}

ClubsManager::Response<Api::ClubPreferences> ClubsManager::ReadPreferences() {
    return Response<Api::ClubPreferences>(membership.preferences);
}

ClubsManager::Response<Api::ClubPreferences> ClubsManager::ChangePreferences(
    Api::ClubPreferences preferences) {
    if (serviceClient == nullptr) {
        return Response<Api::ClubPreferences>::Failure(500, kClubsNotStarted);
    }
    Api::PlayerMembershipPreferencesDto request;
    request.primaryActiveClubKey = std::move(preferences.primaryClubKey);
    request.shareClubAffiliation = preferences.shareClubAffiliation;
    auto answer = serviceClient->UpdatePreferences(request);
    if (!answer.Succeeded()) {
        return Response<Api::ClubPreferences>::FailureOf(answer);
    }
    ApplyMembership(answer.value);
    Response<Api::ClubPreferences> reply(membership.preferences);
    SortActiveClubs();
    PublishUpdate(kClubsPath, membership.activeClubs);
    return reply;
}

ClubsManager::Response<std::vector<Api::ClubInvite>> ClubsManager::ReadPendingInvites() {
    return Response<std::vector<Api::ClubInvite>>(membership.pendingInvites);
}

ClubsManager::Response<std::vector<Api::PlayerClub>> ClubsManager::ReadActiveClubs() {
    return Response<std::vector<Api::PlayerClub>>(membership.activeClubs);
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::ReadClub(std::string clubKey) {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return ClubNotFound<Api::PlayerClub>();
    }
    return Response<Api::PlayerClub>(*club);
}

ClubsManager::Response<Kolm::BindingProperty> ClubsManager::NoticeClubView(std::string clubKey) {
    // The key is announced as given, held or not; nothing in the model changes.
    PublishUpdate(kClubViewPath, clubKey);
    return Response<Kolm::BindingProperty>(Kolm::BindingProperty(), 200);
}

ClubsManager::Response<std::string> ClubsManager::ReadClubMotd(std::string clubKey) {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        // Unlike the other per-club reads this is a value reply: an empty text with 404.
        return Response<std::string>(std::string(), 404);
    }
    return Response<std::string>(club->motd, 200);
}

ClubsManager::Response<std::vector<Api::ClubMember>> ClubsManager::ReadActiveMembers(
    std::string clubKey) {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return ClubNotFound<std::vector<Api::ClubMember>>();
    }
    return Response<std::vector<Api::ClubMember>>(club->members.activeMembers);
}

ClubsManager::Response<std::vector<Api::ClubMember>> ClubsManager::ReadNominatedMembers(
    std::string clubKey) {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return ClubNotFound<std::vector<Api::ClubMember>>();
    }
    return Response<std::vector<Api::ClubMember>>(club->members.nominatedMembers);
}

ClubsManager::Response<std::vector<Api::ClubMember>> ClubsManager::ReadInvitedMembers(
    std::string clubKey) {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return ClubNotFound<std::vector<Api::ClubMember>>();
    }
    return Response<std::vector<Api::ClubMember>>(club->members.invitedMembers);
}

}  // namespace Kolm::Client::Clubs
