// ClubsManager: the one held model of the player's clubs (`membership`), the procedures that
// load, change and publish it, and the REST handlers of the clubs API.
//
// Thread rule: every handler takes the manager's `ClubsLock` for its whole run (REST handlers
// through a RequestScope, event and push handlers through RunEvent), so the procedures below
// assume they are alone on the model and take no lock of their own.
//
// The operations are spread over one source file per concern:
//   clubs_manager.cpp        construction, look-ups, club order, publishing helpers
//   membership_state.cpp     LoadMembership, ApplyMembership
//   active_clubs.cpp         ApplyActiveClubs (reconciling the held clubs)
//   pending_invites.cpp      ApplyPendingInvites
//   push_messages.cpp        handlers of the messaging service's topics
//   club_presence.cpp        publishing the presence text
//   clubs_endpoints.cpp      the endpoint table and the read, preferences and view handlers
//   club_actions.cpp         create, leave, tag and message of the day
//   club_refresh.cpp         StoreClub, ApplyMemberLists, CheckOwnerChange, RefreshClub
//   player_notifications.cpp reading the player's notifications, posting toasts
//   summoner_lookups.cpp     summoners' names and icons
//   member_actions.cpp       invite, remove, promote, demote, ownership, nominations
//   invitations.cpp          answering an invitation
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "api/api_response.h"
#include "clubs/clubs_lock.h"
#include "clubs/model/clubs_api_types.h"
#include "clubs/model/clubs_external_records.h"
#include "clubs/model/clubs_service_types.h"
#include "plugin/host_types.h"
#include "plugin/remote_call.h"

namespace Kolm {
class ApiRegistry;
}

namespace Kolm::Client::Clubs {

class ClubsPlugin;
class ClubsServiceClient;

// Paths of the plugin's own resources.
inline constexpr const char* kClubsPath = "/zun-clubs/v1/clubs";
inline constexpr const char* kMembershipPath = "/zun-clubs/v1/clubs/membership";
inline constexpr const char* kMembershipConfigPath = "/zun-clubs/v1/clubs/membership/config";
inline constexpr const char* kMembershipPresencePath = "/zun-clubs/v1/clubs/membership/presence";
inline constexpr const char* kMembershipPreferencesPath =
    "/zun-clubs/v1/clubs/membership/preferences";
inline constexpr const char* kInvitationsPath = "/zun-clubs/v1/clubs/invitations";
inline constexpr const char* kClubViewPath = "/zun-clubs/v1/clubs/view";

// Error texts of the clubs API's own 404 replies.
inline constexpr const char* kClubNotFound = "CLUB_NOT_FOUND";
inline constexpr const char* kClubPlayerNotFound = "CLUB_PLAYER_NOT_FOUND";
inline constexpr const char* kClubNominationNotFound = "CLUB_NOMINATION_NOT_FOUND";
inline constexpr const char* kClubInviteNotFound = "CLUB_INVITE_NOT_FOUND";
// A request refused because its thread is already inside a clubs handler (status 503).
inline constexpr const char* kClubsBusy = "CLUBS_BUSY";
// Any handler that needs the web-service client before Start has run (status 500).
inline constexpr const char* kClubsNotStarted = "zun-clubs: Clubs is not started";

class ClubsManager {
  public:
    template <class T>
    using Response = Kolm::ApiResponse<T>;

    ClubsManager();
    ClubsManager(const ClubsManager&) = delete;
    ClubsManager& operator=(const ClubsManager&) = delete;

    // Start step 2: the shared web-service client and the owning plugin.
    void Attach(std::shared_ptr<ClubsServiceClient> client, ClubsPlugin* owner);

    ClubsLock& Lock() { return lock_; }

    // --- Membership (loading, applying, look-ups) ---

    // Reads the membership (the init read until one answer was applied, then the plain read),
    // applies it and returns a copy of the model; a failed read changes nothing.
    Response<Api::PlayerClubMembership> LoadMembership();

    // Copies a membership answer of the service into the model and publishes it.
    void ApplyMembership(const Api::PlayerMembershipDto& answer);

    // Reconciles the held clubs with a fresh membership's clubs and publishes the list.
    void ApplyActiveClubs(const std::vector<Api::ClubDto>& freshClubs);

    // Rebuilds the pending invitations from a fresh membership and publishes them.
    void ApplyPendingInvites(const std::vector<Api::MembershipInviteDto>& invites);

    // Turns the notices of the first membership read into toasts.
    void ProcessMembershipNotifications(
        const std::vector<Api::MembershipNoficationsDto>& notifications);

    // The held club with exactly this key (byte-wise, case-sensitive), or null. The pointer
    // is valid until `membership.activeClubs` next changes.
    Api::PlayerClub* FindClub(const std::string& clubKey);
    const Api::PlayerClub* FindClub(const std::string& clubKey) const;

    // In the held club of that key: the first entry with the summoner id among the active,
    // then the invited, then the nominated members; removed members are not searched.
    const Api::ClubMember* FindMember(const std::string& clubKey, uint64_t summonerId) const;

    // The first pending invitation of the same club and inviter, or null.
    const Api::ClubInvite* FindInvite(const Api::ClubInvite& invite) const;

    // Orders `membership.activeClubs`: the primary club first, the others by case-folded name.
    void SortActiveClubs();

    // --- Shared club procedures (club_refresh.cpp), used by every action and push message ---
    //
    // Each one makes the service's answer the held truth and publishes what it touched; calls
    // to other plugins made on the way (names, icons, toasts) never make them fail.

    // Makes `fresh` the held copy of its club (replacing the entry of the same key, else
    // appending), fills its member lists through ApplyMemberLists and publishes the club and
    // its message of the day. Returns the club as now held.
    Api::PlayerClub StoreClub(const Api::ClubDto& fresh);

    // Replaces the member lists of the held club `fresh.clubKey` (names and icons looked up,
    // owner checked, lists sorted) and publishes them and the club. For a club that is not held
    // nothing changes or is published, and the service's lists are returned as mapped.
    Api::ClubMemberLists ApplyMemberLists(const Api::ClubMembershipDto& fresh);

    // The first active member with the role text "OWNER" (an empty member when there is none).
    // When a known owner (`previousOwnerId` not 0) was replaced, toasts the new owner and
    // publishes it on the club's "/owner" path.
    Api::ClubMember CheckOwnerChange(const std::string& clubKey,
                                     const std::string& clubName,
                                     uint64_t previousOwnerId,
                                     const std::vector<Api::MemberSinceDto>& freshActive);

    // Toasts who joined, left or (for an owner or officer) was nominated since `held`, checks
    // the owner, then stores `fresh`. `held` is taken by value: storing replaces the entry.
    void RefreshClub(Api::PlayerClub held, const Api::ClubDto& fresh);

    // A club the service returned but that is not held: mapped with its member lists, owner and
    // primary flag, without look-ups or publications.
    Api::PlayerClub MapServiceClub(const Api::ClubDto& fresh) const;

    // The reply of an action whose service answer is the whole club (tag, message of the day,
    // ownership): the service's refusal as it stands, else the held club refreshed with the
    // answer and copied, or, when the club is no longer held, the answer mapped.
    Response<Api::PlayerClub> ApplyClubAnswer(const std::string& clubKey,
                                              const Kolm::ApiResponse<Api::ClubDto>& answer);

    // --- Toasts and summoner look-ups (player_notifications.cpp, summoner_lookups.cpp) ---

    // The player's current notifications, for the duplicate test of the posts that follow.
    // A failed read is logged ("zun-clubs: Failed to look up player notifications: %s") and
    // gives none; FetchPlayerNotifications is the silent form.
    std::optional<std::vector<Api::PlayerNotificationResource>> ReadPlayerNotifications();
    RemoteResult<std::vector<Api::PlayerNotificationResource>> FetchPlayerNotifications();

    // Posts a toast about one player of a club (type "club_member", "club" or "club_invite"),
    // unless `existing` already holds one of ours with the same kind, club, player and role.
    // The answer of the post is ignored.
    void PostMemberNotification(uint64_t summonerId,
                                const std::string& summonerName,
                                Api::ClubRole role,
                                const std::string& clubKey,
                                const std::string& clubName,
                                const std::string& type,
                                const std::string& titleKey,
                                const std::string& detailKey,
                                const std::vector<Api::PlayerNotificationResource>& existing);
    // The same about a club as a whole; duplicates are judged by kind and club.
    void PostClubNotification(const std::string& clubKey,
                              const std::string& clubName,
                              const std::string& type,
                              const std::string& titleKey,
                              const std::string& detailKey,
                              const std::vector<Api::PlayerNotificationResource>& existing);

    // Fills names and icons of `members` with two calls for the whole list, matched by
    // position; a failed call leaves its field as it was.
    void LookupMemberNamesAndIcons(std::vector<Api::ClubMember>& members);
    // One summoner ("/zun-summoner/v1/summoners/<id>") and the names of several, in id order.
    RemoteResult<Api::SummonerResource> FetchSummoner(uint64_t summonerId);
    RemoteResult<std::vector<Api::SummonerResource>> FetchSummonerNames(
        const std::vector<uint64_t>& summonerIds);

    // --- Push messages of the messaging service ---

    // Follows the player's membership topic, with OnMembershipMessage as its handler.
    void ObserveMembershipTopic();
    void OnMembershipMessage(const ResourceEvent<Api::KolmMessagingServiceMessage>& event);
    // Follows (once) or stops following a club's topic, with OnClubMessage as its handler.
    // Messages that still arrive on a topic no longer followed are ignored.
    void ObserveClubTopic(const std::string& clubKey);
    void DropClubTopic(const std::string& clubKey);
    // Refetches the club the message names (the part of `resource` after its last "/") and
    // refreshes the held copy; a failed read or a club no longer held changes nothing.
    void OnClubMessage(const ResourceEvent<Api::KolmMessagingServiceMessage>& event);

    // --- Presence ---
    void PublishPresence();

    // --- REST handlers, in the order of the endpoint table ---
    void RegisterEndpoints(Kolm::ApiRegistry& registry);

    Response<Api::PlayerClubMembership> ReadMembership();
    Response<Api::ClubPreferences> ReadPreferences();
    Response<Api::ClubPreferences> ChangePreferences(Api::ClubPreferences preferences);
    Response<Api::PlayerClub> CreateClub(Api::ClubName name);
    Response<std::vector<Api::ClubInvite>> ReadPendingInvites();
    Response<Api::PlayerClubMembership> AnswerInvitation(Api::ClubInvite invitation);
    Response<std::vector<Api::PlayerClub>> ReadActiveClubs();
    Response<Api::PlayerClub> ReadClub(std::string clubKey);
    Response<Api::PlayerClub> SetClubTag(std::string clubKey, Api::ClubTag tag);
    Response<Api::PlayerClubMembership> LeaveClub(std::string clubKey);
    Response<Kolm::BindingProperty> NoticeClubView(std::string clubKey);
    Response<std::string> ReadClubMotd(std::string clubKey);
    Response<Api::PlayerClub> SetClubMotd(std::string clubKey, Api::ClubMOTD motd);
    Response<std::vector<Api::ClubMember>> ReadActiveMembers(std::string clubKey);
    Response<Api::ClubMemberLists> RemoveMember(std::string clubKey, uint64_t summonerId);
    Response<Api::PlayerClub> TransferOwnership(std::string clubKey, uint64_t summonerId);
    Response<std::vector<Api::ClubMember>> ReadNominatedMembers(std::string clubKey);
    Response<Api::ClubMemberLists> NominateMember(std::string clubKey, uint64_t summonerId);
    Response<Api::ClubMemberLists> RejectNomination(std::string clubKey, uint64_t summonerId);
    Response<std::vector<Api::ClubMember>> ReadInvitedMembers(std::string clubKey);
    Response<Api::ClubMemberLists> InviteMember(std::string clubKey, uint64_t summonerId);
    Response<Api::ClubMemberLists> PromoteMember(std::string clubKey, uint64_t summonerId);
    Response<Api::ClubMemberLists> DemoteMember(std::string clubKey, uint64_t summonerId);

    // --- Publishing ---

    // Publishes an Update event for one of the plugin's paths; does nothing before Start.
    template <class T>
    void PublishUpdate(const std::string& path, const T& value);

    std::shared_ptr<ClubsServiceClient> serviceClient;
    ClubsPlugin* plugin = nullptr;
    bool leaving = false;
    Api::PlayerClubMembership membership;
    // Keys of the clubs whose topics are followed; equal to the held clubs' keys after each
    // ApplyActiveClubs.
    std::set<std::string> followedClubTopics;

  private:
    ClubsLock lock_;
    // Invitations (club key, inviter summoner id) declined automatically during the outermost
    // ApplyPendingInvites still running, and how deeply that application is nested.
    std::set<std::pair<std::string, uint64_t>> declinedInvites_;
    int inviteApplicationDepth_ = 0;
};

}  // namespace Kolm::Client::Clubs
