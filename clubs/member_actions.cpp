// REST handlers that change one member of a club: invite, remove or withdraw an invitation,
// promote, demote, transfer ownership, nominate and reject a nomination. Not served yet: they
// answer 501 so that no caller takes them for done.
#include <cstdint>
#include <string>

#include "clubs/clubs_manager.h"

namespace Kolm::Client::Clubs {

namespace {

ClubsManager::Response<Api::ClubMemberLists> NotImplemented() {
    return ClubsManager::Response<Api::ClubMemberLists>::Failure(501, "Not implemented");
}

}  // namespace

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::RemoveMember(std::string, uint64_t) {
    return NotImplemented();
}

ClubsManager::Response<Api::PlayerClub> ClubsManager::TransferOwnership(std::string, uint64_t) {
    return Response<Api::PlayerClub>::Failure(501, "Not implemented");
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::NominateMember(std::string, uint64_t) {
    return NotImplemented();
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::RejectNomination(std::string, uint64_t) {
    return NotImplemented();
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::InviteMember(std::string, uint64_t) {
    return NotImplemented();
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::PromoteMember(std::string, uint64_t) {
    return NotImplemented();
}

ClubsManager::Response<Api::ClubMemberLists> ClubsManager::DemoteMember(std::string, uint64_t) {
    return NotImplemented();
}

}  // namespace Kolm::Client::Clubs
