// REST handlers that change a club as a whole: create, leave, set the tag, set the message of
// the day. Not served yet: they answer 501 so that no caller takes them for done.
#include <string>

#include "clubs/clubs_manager.h"

namespace Kolm::Client::Clubs {

namespace {

template <class T>
ClubsManager::Response<T> NotImplemented() {
    return ClubsManager::Response<T>::Failure(501, "Not implemented");
}

}  // namespace

ClubsManager::Response<Api::PlayerClub> ClubsManager::CreateClub(Api::ClubName) {
    return NotImplemented<Api::PlayerClub>();
}

ClubsManager::Response<Api::PlayerClubMembership> ClubsManager::LeaveClub(std::string) {
    return NotImplemented<Api::PlayerClubMembership>();
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::SetClubTag(std::string, Api::ClubTag) {
    return NotImplemented<Api::PlayerClub>();
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::SetClubMotd(std::string, Api::ClubMOTD) {
    return NotImplemented<Api::PlayerClub>();
}

}  // namespace Kolm::Client::Clubs
