// An in-memory clubs web service for tests and the runnable host: the sixteen operations of the
// service under "/v1/membership" and "/v1/clubs", with roles and permissions, limits, invitations,
// nominations and ownership, answered from plain (method, URL, headers, body) requests.
//
// Players are made known with `AddPlayer` and authenticate with the header
// "Authorization: JwtBearer <token>"; `HandleAs` acts as any known player, so a scenario can let
// another player create a club and invite ours. Refusals are JSON bodies with "errorCode"
// (for example 404 "CLUB_NOT_FOUND"). Thread-safe: one mutex guards the state; observers are
// called after it is released, so they may call the service again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/clubs_web_service/service_state.h"
#include "host/clubs_web_service/service_url.h"
#include "host/clubs_web_service/web_exchange.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class ClubsWebService {
  public:
    // Told after every successful change: the topic is the changed thing's resource,
    // "clubs/v1/clubs/<key>" or "clubs/v1/membership/<platformId>/<accountId>", and the payload
    // the compact JSON of its new state (the club as `ClubDto` seen by no member, the
    // membership as `PlayerMembershipDto`). A disbanded club's payload is empty.
    using ChangeObserver =
        std::function<void(const std::string& topic, const std::string& payload)>;

    // A player who never reads their initial membership keeps only this many newest notices,
    // so that a service left running does not grow with every role change.
    static constexpr std::size_t kMaxPendingNotices = 100;

    explicit ClubsWebService(ClubsServiceConfig config = {});

    // Makes a player known. False (and nothing changes) when the account id, the summoner id or
    // the token is already taken, or the token is empty.
    bool AddPlayer(const ServicePlayer& player);

    WebResponse Handle(const WebRequest& request);

    // The request as the known player `accountId` sends it, with that player's token.
    WebResponse HandleAs(uint64_t accountId,
                         const std::string& method,
                         const std::string& url,
                         const std::string& body = "");

    int AddObserver(ChangeObserver observer);
    void RemoveObserver(int id);

    // The whole state and the service's clock, as a world is written from them.
    ServiceData Snapshot(int64_t* clock = nullptr, bool* clockFrozen = nullptr) const;
    // Replaces the whole state, which the caller has checked with CheckServiceData, and tells
    // the observers about every club and every membership whose answer changed (a club that is
    // gone with an empty payload), as the operations do for their own changes.
    void Replace(ServiceData data, int64_t clock, bool clockFrozen = false);

    // The clock that stamps "since", "createdTs" and "lastModifiedTs", in milliseconds since
    // 1970-01-01 UTC. Running, it moves one millisecond ahead before each stamp, so stamps
    // strictly increase; frozen, every stamp is `now` and the reading stays put.
    struct ClockReading {
        int64_t now = 0;
        bool frozen = false;
        bool operator==(const ClockReading&) const = default;
    };
    ClockReading Clock() const;
    // Sets the reading and/or the frozen state. Refused (false, `latest` filled) when `now`
    // is before the newest stamp the service holds: a club's lastModifiedTs must never go back.
    bool SetClock(std::optional<int64_t> now, std::optional<bool> frozen, int64_t* latest);
    // Moves the reading `ms` (> 0) ahead, frozen or not; none, and no change, when that would
    // pass `limit`.
    std::optional<ClockReading> AdvanceClock(int64_t ms, int64_t limit);

    // The key of the club of that exact name, for scenarios that let the service pick keys.
    std::optional<std::string> FindClubKeyByName(const std::string& name) const;

  private:
    struct Call {
        PlayerRecord& caller;
        const std::vector<std::string>& captures;
        const ServiceUrl& url;
        const std::string& body;
    };
    using Handler = WebResponse (ClubsWebService::*)(Call&);
    struct Route {
        const char* method;
        std::vector<std::string> pattern;  // "*" captures one segment
        Handler handler;
    };
    struct Change {
        std::string topic;
        std::string payload;
    };

    static const std::vector<Route>& Routes();
    WebResponse Dispatch(const WebRequest& request, const ServiceUrl& url) ZC_REQUIRES(mutex_);
    PlayerRecord* Authenticate(const WebRequest& request) ZC_REQUIRES(mutex_);
    int64_t Tick() ZC_REQUIRES(mutex_);
    int64_t LatestStamp() const ZC_REQUIRES(mutex_);
    void ClubChanged(const std::string& key) ZC_REQUIRES(mutex_);
    void MembershipChanged(uint64_t accountId) ZC_REQUIRES(mutex_);
    std::vector<Change> TakeChanges() ZC_REQUIRES(mutex_);
    // Every club's topic with its payload and every membership's topic with what decides
    // whether it changed, for Replace to compare.
    std::map<std::string, std::string> AllTopics() const ZC_REQUIRES(mutex_);
    static std::string MembershipTopic(const PlayerRecord& player);
    void Notify(const std::vector<Change>& changes) ZC_EXCLUDES(mutex_);

    // The operations run under mutex_, called by Dispatch through the routes' member pointers,
    // which the analysis does not follow; each states the lock it needs.
    //
    // Membership operations; the first two captures are the platform and the account id.
    WebResponse GetMembership(Call& call) ZC_REQUIRES(mutex_);
    WebResponse InitMembership(Call& call) ZC_REQUIRES(mutex_);
    WebResponse UpdatePreferences(Call& call) ZC_REQUIRES(mutex_);
    WebResponse LeaveClub(Call& call) ZC_REQUIRES(mutex_);
    WebResponse AnswerInvite(Call& call) ZC_REQUIRES(mutex_);
    std::optional<WebResponse> RefuseOtherMembership(const Call& call) const;

    // Club operations; the first capture is the club key, the second a player id.
    WebResponse CreateClub(Call& call) ZC_REQUIRES(mutex_);
    WebResponse GetClub(Call& call) ZC_REQUIRES(mutex_);
    WebResponse SetTag(Call& call) ZC_REQUIRES(mutex_);
    WebResponse SetMotd(Call& call) ZC_REQUIRES(mutex_);
    WebResponse Invite(Call& call) ZC_REQUIRES(mutex_);
    WebResponse Nominate(Call& call) ZC_REQUIRES(mutex_);
    WebResponse RejectNomination(Call& call) ZC_REQUIRES(mutex_);
    WebResponse Promote(Call& call) ZC_REQUIRES(mutex_);
    WebResponse Demote(Call& call) ZC_REQUIRES(mutex_);
    WebResponse RemoveMember(Call& call) ZC_REQUIRES(mutex_);
    WebResponse TransferOwnership(Call& call) ZC_REQUIRES(mutex_);

    // The club of the first capture with the caller as an active member holding `permission`
    // (none to require membership only), or the refusal.
    std::optional<WebResponse> RefuseClubAction(const Call& call,
                                                const char* permission,
                                                ServiceClub*& club) ZC_REQUIRES(mutex_);
    // The account of the player with `summonerId` when that player may be invited or
    // nominated (known, neither a member nor invited yet), or the refusal.
    std::optional<WebResponse> RefuseCandidate(const ServiceClub& club,
                                               uint64_t summonerId,
                                               uint64_t& accountId) ZC_REQUIRES(mutex_);
    bool HasPermission(const std::string& role, const std::string& permission) const
        ZC_REQUIRES(mutex_);
    WebResponse ChangeRole(Call& call,
                           const char* permission,
                           const std::string& from,
                           const std::string& to,
                           const char* action,
                           const char* refusal) ZC_REQUIRES(mutex_);
    void AddNotice(uint64_t accountId,
                   const ServiceClub& club,
                   const std::string& role,
                   const char* action) ZC_REQUIRES(mutex_);
    void Disband(ServiceClub& club) ZC_REQUIRES(mutex_);
    void ForgetPrimary(uint64_t accountId, const std::string& key) ZC_REQUIRES(mutex_);
    WebResponse ClubAnswer(const ServiceClub& club, uint64_t viewer) const ZC_REQUIRES(mutex_);
    WebResponse ClubMembershipAnswer(const ServiceClub& club) const ZC_REQUIRES(mutex_);
    WebResponse MembershipAnswer(const PlayerRecord& player) const ZC_REQUIRES(mutex_);

    mutable Platform::Mutex mutex_;
    ServiceData data_ ZC_GUARDED_BY(mutex_);
    int64_t clock_ ZC_GUARDED_BY(mutex_);
    bool clockFrozen_ ZC_GUARDED_BY(mutex_) = false;
    uint64_t nextClubNumber_ ZC_GUARDED_BY(mutex_) = 1;
    std::set<std::string> changedClubs_ ZC_GUARDED_BY(mutex_);
    std::set<uint64_t> changedMemberships_ ZC_GUARDED_BY(mutex_);
    std::vector<std::pair<int, ChangeObserver>> observers_ ZC_GUARDED_BY(mutex_);
    int nextObserverId_ ZC_GUARDED_BY(mutex_) = 1;
};

}  // namespace Kolm::Host
