// The REST handler with which the player answers an invitation. Not served yet: it answers 501
// so that no caller takes it for done.
#include "clubs/clubs_manager.h"

namespace Kolm::Client::Clubs {

ClubsManager::Response<Api::PlayerClubMembership> ClubsManager::AnswerInvitation(Api::ClubInvite) {
    return Response<Api::PlayerClubMembership>::Failure(501, "Not implemented");
}

}  // namespace Kolm::Client::Clubs
