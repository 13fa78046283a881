#include "host/serving/openapi_clubs_answers.h"

#include <map>
#include <utility>

namespace Kolm::Host {
namespace {

constexpr const char* kClub = "CLUB_NOT_FOUND";
constexpr const char* kPlayer = "CLUB_PLAYER_NOT_FOUND";
constexpr const char* kNomination = "CLUB_NOMINATION_NOT_FOUND";
constexpr const char* kInvite = "CLUB_INVITE_NOT_FOUND";

}  // namespace

ClubsOperationAnswers ClubsAnswers(std::string_view method, std::string_view pathTemplate) {
    using Key = std::pair<std::string, std::string>;
    static const std::string base = "/zun-clubs/v1/clubs";
    static const std::string club = base + "/{clubKey}";
    static const std::map<Key, ClubsOperationAnswers> answers = {
        {{"PATCH", base + "/membership/preferences"}, {{}, false, true}},
        {{"POST", base + "/membership"}, {{}, false, true}},
        {{"PATCH", base + "/invitations"}, {{kInvite}, false, true}},
        {{"GET", club}, {{kClub}, false, false}},
        {{"PATCH", club}, {{kClub}, false, true}},
        {{"DELETE", club}, {{kClub}, false, true}},
        {{"GET", club + "/motd"}, {{}, true, false}},
        {{"PATCH", club + "/motd"}, {{kClub}, false, true}},
        {{"GET", club + "/members"}, {{kClub}, false, false}},
        {{"GET", club + "/nominations"}, {{kClub}, false, false}},
        {{"GET", club + "/invitations"}, {{kClub}, false, false}},
        {{"DELETE", club + "/members/{summonerId}"}, {{kClub, kPlayer}, false, true}},
        {{"POST", club + "/members/{summonerId}"}, {{kClub, kPlayer}, false, true}},
        {{"DELETE", club + "/invitations/{summonerId}"}, {{kClub, kPlayer}, false, true}},
        {{"POST", club + "/promotions/{summonerId}"}, {{kClub, kPlayer}, false, true}},
        {{"DELETE", club + "/promotions/{summonerId}"}, {{kClub, kPlayer}, false, true}},
        {{"DELETE", club + "/nominations/{summonerId}"}, {{kClub, kNomination}, false, true}},
        {{"POST", club + "/nominations/{summonerId}"}, {{}, false, true}},
        {{"POST", club + "/invitations/{summonerId}"}, {{kClub}, false, true}},
    };
    const auto found = answers.find({std::string(method), std::string(pathTemplate)});
    return found != answers.end() ? found->second : ClubsOperationAnswers{};
}

std::string RequestBodyExample(std::string_view typeName) {
    // From worlds/default.json: Fenwick's club "Night Owls" (club-1) and Aurelia's invitation
    // to "Lantern Keepers" (club-2).
    static const std::map<std::string, std::string, std::less<>> examples = {
        {"ClubName", R"({"name":"Ember Guild"})"},
        {"ClubTag", R"({"tag":"OWL"})"},
        {"ClubMOTD", R"({"motd":"Raid night is Thursday."})"},
        {"ClubPreferences", R"({"primaryClubKey":"club-1","shareClubAffiliation":true})"},
        {"ClubInvite",
         R"({"clubKey":"club-2","clubName":"Lantern Keepers","status":"ACCEPTED",)"
         R"("inviterAccountId":1002,"inviterSummonerId":2002,"inviterSummonerName":"Aurelia",)"
         R"("inviteeAccountId":1001,"inviteeSummonerId":2001})"},
    };
    const auto found = examples.find(typeName);
    return found != examples.end() ? found->second : std::string();
}

std::string PathParameterExample(std::string_view name) {
    if (name == "clubKey") {
        return "\"club-1\"";
    }
    if (name == "summonerId") {
        return "2004";  // Corvina, a member of Night Owls
    }
    return {};
}

}  // namespace Kolm::Host
