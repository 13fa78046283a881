// REST handlers that change a club as a whole: create, leave, set the tag, set the message of
// the day. Each one calls the web service first and takes its answer as the new truth; a
// refusal is passed on unchanged and leaves the held model and the published resources alone.
#include <string>
#include <utility>

#include "clubs/clubs_manager.h"
#include "clubs/service/clubs_service_client.h"
#include "clubs/toast_kinds.h"

namespace Kolm::Client::Clubs {

namespace {

template <class T>
ClubsManager::Response<T> NotStarted() {
    return ClubsManager::Response<T>::Failure(500, kClubsNotStarted);
}

// Sets `leaving` for the lifetime of the scope and clears it on every way out.
class LeavingScope {
  public:
    explicit LeavingScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~LeavingScope() { flag_ = false; }
    LeavingScope(const LeavingScope&) = delete;
    LeavingScope& operator=(const LeavingScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

ClubsManager::Response<Api::PlayerClub> ClubsManager::CreateClub(Api::ClubName name) {
    if (serviceClient == nullptr) {
        return NotStarted<Api::PlayerClub>();
    }
    // Name rules are the service's: its refusal comes back as the reply.
    auto created = serviceClient->CreateClub(name.name);
    if (!created.Succeeded()) {
        return Response<Api::PlayerClub>::FailureOf(created);
    }
    // The membership read stores, publishes and follows the new club with everything else.
    auto fresh = serviceClient->GetMembership();
    if (fresh.Succeeded()) {
        ApplyMembership(fresh.value);
    }
    if (const Api::PlayerClub* club = FindClub(created.value.clubData.clubKey)) {
        return Response<Api::PlayerClub>(*club);
    }
    // The club exists at the service but is not held (the read failed or did not list it yet):
    // the creation still succeeded, so the reply is the service's club; the next membership
    // read or push brings it into the model.
    return Response<Api::PlayerClub>(MapServiceClub(created.value));
}

ClubsManager::Response<Api::PlayerClubMembership> ClubsManager::LeaveClub(std::string clubKey) {
    const Api::PlayerClub* club = FindClub(clubKey);
    if (club == nullptr) {
        return Response<Api::PlayerClubMembership>::Failure(404, kClubNotFound);
    }
    if (serviceClient == nullptr) {
        return NotStarted<Api::PlayerClubMembership>();
    }
    // Taken before the call: applying the answer drops the club.
    const std::string clubName = club->name;
    auto answer = serviceClient->LeaveClub(clubKey);
    if (!answer.Succeeded()) {
        return Response<Api::PlayerClubMembership>::FailureOf(answer);
    }
    if (auto existing = ReadPlayerNotifications()) {
        PostClubNotification(clubKey, clubName, Toast::kTypeClub, Toast::kTitle, Toast::kLeave,
                             *existing);
    }
    {
        // The leave toast says it all: the club's vanishing raises no "removed" toast.
        LeavingScope scope(leaving);
        ApplyMembership(answer.value);
    }
    return Response<Api::PlayerClubMembership>(membership);
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::SetClubTag(std::string clubKey,
                                                                 Api::ClubTag tag) {
    if (serviceClient == nullptr) {
        return NotStarted<Api::PlayerClub>();
    }
    return ApplyClubAnswer(clubKey, serviceClient->SetTag(clubKey, tag.tag));
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::SetClubMotd(std::string clubKey,
                                                                  Api::ClubMOTD motd) {
    if (serviceClient == nullptr) {
        return NotStarted<Api::PlayerClub>();
    }
    return ApplyClubAnswer(clubKey, serviceClient->SetMotd(clubKey, motd.motd));
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::ApplyClubAnswer(
    const std::string& clubKey,
    const Kolm::ApiResponse<Api::ClubDto>& answer) {
    if (!answer.Succeeded()) {
        return Response<Api::PlayerClub>::FailureOf(answer);
    }
    const Api::PlayerClub* held = FindClub(clubKey);
    if (held == nullptr) {
        // The club went away while the call was under way (a push, another action): the change
        // is real, so the reply is the service's club, but there is no held copy to refresh.
        return Response<Api::PlayerClub>(MapServiceClub(answer.value));
    }
    RefreshClub(*held, answer.value);
    if (const Api::PlayerClub* now = FindClub(clubKey)) {
        return Response<Api::PlayerClub>(*now);
    }
    return Response<Api::PlayerClub>(MapServiceClub(answer.value));
}

}  // namespace Kolm::Client::Clubs
