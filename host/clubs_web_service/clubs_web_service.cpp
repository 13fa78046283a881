#include "host/clubs_web_service/clubs_web_service.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "host/clubs_web_service/service_json.h"

namespace Kolm::Host {
namespace {

WebResponse Answer(int status, std::string body) {
    WebResponse response;
    response.status = status;
    response.headers["content-type"] = "application/json";
    response.body = std::move(body);
    return response;
}

WebResponse Refusal(int status, const std::string& errorCode, const std::string& message) {
    return Answer(status, ErrorJson(status, errorCode, message));
}

// A JSON body the handler could not use: the reader's refusal when there is one (too deep, a
// lone surrogate), else what the handler expects.
WebResponse BodyRefusal(const std::string& refusal, const char* expected) {
    return Refusal(400, "INVALID_REQUEST_BODY", refusal.empty() ? expected : refusal);
}

// A decimal id without sign, blanks or leading "+", within 64 bits.
std::optional<uint64_t> ParseId(const std::string& text) {
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::string HeaderValue(const WebRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.headers) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return value;
    }
    return {};
}

// Length in code points, so that limits mean characters also for names outside ASCII.
int64_t CharacterCount(const std::string& text) {
    return std::count_if(text.begin(), text.end(),
                         [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsTagText(const std::string& tag) {
    return std::all_of(tag.begin(), tag.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

const std::string kJwtBearer = "JwtBearer ";

}  // namespace

ClubsWebService::ClubsWebService(ClubsServiceConfig config) : clock_(config.startTime) {
    data_.config = std::move(config);
}

bool ClubsWebService::AddPlayer(const ServicePlayer& player) {
    const Platform::MutexLock lock(mutex_);
    if (player.token.empty() || data_.FindPlayer(player.accountId) ||
        data_.FindPlayerBySummoner(player.summonerId))
        return false;
    for (const auto& [accountId, record] : data_.players) {
        if (record.player.token == player.token)
            return false;
    }
    data_.players[player.accountId].player = player;
    return true;
}

WebResponse ClubsWebService::Handle(const WebRequest& request) {
    const ServiceUrl url = ParseServiceUrl(request.url);
    WebResponse response;
    std::vector<Change> changes;
    {
        const Platform::MutexLock lock(mutex_);
        response = Dispatch(request, url);
        changes = TakeChanges();
    }
    Notify(changes);
    return response;
}

WebResponse ClubsWebService::HandleAs(uint64_t accountId,
                                      const std::string& method,
                                      const std::string& url,
                                      const std::string& body) {
    WebRequest request;
    request.method = method;
    request.url = url;
    request.body = body;
    request.headers["Content-type"] = "application/json";
    {
        const Platform::MutexLock lock(mutex_);
        if (const PlayerRecord* player = data_.FindPlayer(accountId))
            request.headers["Authorization"] = kJwtBearer + player->player.token;
    }
    return Handle(request);
}

int ClubsWebService::AddObserver(ChangeObserver observer) {
    const Platform::MutexLock lock(mutex_);
    observers_.emplace_back(nextObserverId_, std::move(observer));
    return nextObserverId_++;
}

void ClubsWebService::RemoveObserver(int id) {
    const Platform::MutexLock lock(mutex_);
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

std::optional<std::string> ClubsWebService::FindClubKeyByName(const std::string& name) const {
    const Platform::MutexLock lock(mutex_);
    for (const auto& [key, club] : data_.clubs) {
        if (club.name == name)
            return key;
    }
    return std::nullopt;
}

ServiceData ClubsWebService::Snapshot(int64_t* clock, bool* clockFrozen) const {
    const Platform::MutexLock lock(mutex_);
    if (clock)
        *clock = clock_;
    if (clockFrozen)
        *clockFrozen = clockFrozen_;
    return data_;
}

ClubsWebService::ClockReading ClubsWebService::Clock() const {
    const Platform::MutexLock lock(mutex_);
    return {clock_, clockFrozen_};
}

bool ClubsWebService::SetClock(std::optional<int64_t> now,
                               std::optional<bool> frozen,
                               int64_t* latest) {
    const Platform::MutexLock lock(mutex_);
    if (now) {
        const int64_t newest = LatestStamp();
        if (*now < newest) {
            if (latest)
                *latest = newest;
            return false;
        }
        clock_ = *now;
    }
    if (frozen)
        clockFrozen_ = *frozen;
    return true;
}

std::optional<ClubsWebService::ClockReading> ClubsWebService::AdvanceClock(int64_t ms,
                                                                           int64_t limit) {
    const Platform::MutexLock lock(mutex_);
    if (clock_ > limit - ms)
        return std::nullopt;
    clock_ += ms;
    return ClockReading{clock_, clockFrozen_};
}

int64_t ClubsWebService::LatestStamp() const {
    int64_t newest = std::numeric_limits<int64_t>::min();
    for (const auto& [key, club] : data_.clubs) {
        newest = std::max({newest, club.createdTs, club.lastModifiedTs});
        for (const auto* entries : {&club.active, &club.invited, &club.nominated, &club.removed}) {
            for (const ClubEntry& entry : *entries)
                newest = std::max(newest, entry.since);
        }
    }
    return newest;
}

namespace {

// What makes a player's membership change in the way the operations report it: the player's
// place in each club, the preferences and the pending notices, not the clubs' own contents
// (those changes go out under the club's topic).
std::string MembershipSignature(const PlayerRecord& record, const std::vector<ClubPlace>& places) {
    std::string signature = record.player.platformId + "|" +
                            std::to_string(record.player.summonerId) + "|" + record.primaryClubKey +
                            "|" + (record.shareClubAffiliation ? "1" : "0") + "|";
    for (const ServiceNotice& notice : record.notices)
        signature +=
            notice.clubKey + ":" + notice.action + ":" + notice.role + ":" + notice.status + ";";
    for (const auto* references : {&record.removedClubs, &record.revokedInviteClubs}) {
        for (const auto& [key, name] : *references)
            signature += key + ",";
        signature += "|";
    }
    for (const ClubPlace& place : places)
        signature += place.club->key + ":" + place.Role() + ";";
    return signature;
}

const std::vector<ClubPlace>& PlacesIn(const std::map<uint64_t, std::vector<ClubPlace>>& places,
                                       uint64_t accountId) {
    static const std::vector<ClubPlace> none;
    const auto found = places.find(accountId);
    return found == places.end() ? none : found->second;
}

}  // namespace

std::map<std::string, std::string> ClubsWebService::AllTopics() const {
    std::map<std::string, std::string> topics;
    for (const auto& [key, club] : data_.clubs)
        topics["clubs/v1/clubs/" + key] = ClubJson(data_, club, 0);
    const std::map<uint64_t, std::vector<ClubPlace>> places = PlacesByAccount(data_);
    for (const auto& [accountId, player] : data_.players)
        topics[MembershipTopic(player)] = MembershipSignature(player, PlacesIn(places, accountId));
    return topics;
}

std::string ClubsWebService::MembershipTopic(const PlayerRecord& player) {
    return "clubs/v1/membership/" + player.player.platformId + "/" +
           std::to_string(player.player.accountId);
}

void ClubsWebService::Replace(ServiceData data, int64_t clock, bool clockFrozen) {
    std::vector<Change> changes;
    {
        const Platform::MutexLock lock(mutex_);
        // With nobody to tell (the host loads its first world before anyone follows) no club
        // or membership is written at all.
        const bool told = !observers_.empty();
        std::map<std::string, std::string> before;
        if (told)
            before = AllTopics();
        data_ = std::move(data);
        clock_ = clock;
        clockFrozen_ = clockFrozen;
        changedClubs_.clear();
        changedMemberships_.clear();
        if (!told)
            return;
        for (const auto& [topic, state] : AllTopics()) {
            const auto old = before.find(topic);
            if (old == before.end() || old->second != state)
                changes.push_back({topic, state});
            if (old != before.end())
                before.erase(old);
        }
        // The membership entries above hold signatures; their payload is the membership.
        std::map<std::string, Change*> byTopic;
        for (Change& change : changes)
            byTopic[change.topic] = &change;
        const std::map<uint64_t, std::vector<ClubPlace>> places = PlacesByAccount(data_);
        for (const auto& [accountId, player] : data_.players) {
            if (const auto change = byTopic.find(MembershipTopic(player)); change != byTopic.end())
                change->second->payload =
                    PlayerMembershipJson(data_, player, PlacesIn(places, accountId));
        }
        // What is left was there before and is gone now: a disbanded club says so with an
        // empty payload; a player who left the world has nobody to tell.
        for (const auto& [topic, state] : before) {
            if (topic.rfind("clubs/v1/clubs/", 0) == 0)
                changes.push_back({topic, ""});
        }
    }
    Notify(changes);
}

const std::vector<ClubsWebService::Route>& ClubsWebService::Routes() {
    static const std::vector<Route> routes = {
        {"GET", {"v1", "membership", "*", "*"}, &ClubsWebService::GetMembership},
        {"PUT", {"v1", "membership", "*", "*"}, &ClubsWebService::UpdatePreferences},
        {"GET", {"v1", "membership", "*", "*", "init"}, &ClubsWebService::InitMembership},
        {"POST", {"v1", "membership", "*", "*", "leave", "*"}, &ClubsWebService::LeaveClub},
        {"POST", {"v1", "membership", "*", "*", "invites", "*"}, &ClubsWebService::AnswerInvite},
        {"POST", {"v1", "clubs"}, &ClubsWebService::CreateClub},
        {"GET", {"v1", "clubs", "*"}, &ClubsWebService::GetClub},
        {"PUT", {"v1", "clubs", "*", "tag"}, &ClubsWebService::SetTag},
        {"PUT", {"v1", "clubs", "*", "motd"}, &ClubsWebService::SetMotd},
        {"POST", {"v1", "clubs", "*", "invites"}, &ClubsWebService::Invite},
        {"POST", {"v1", "clubs", "*", "nominate", "*"}, &ClubsWebService::Nominate},
        {"POST",
         {"v1", "clubs", "*", "nominate", "*", "reject"},
         &ClubsWebService::RejectNomination},
        {"POST", {"v1", "clubs", "*", "promote", "*"}, &ClubsWebService::Promote},
        {"POST", {"v1", "clubs", "*", "demote", "*"}, &ClubsWebService::Demote},
        {"POST", {"v1", "clubs", "*", "remove", "*"}, &ClubsWebService::RemoveMember},
        {"POST", {"v1", "clubs", "*", "ownership", "*"}, &ClubsWebService::TransferOwnership},
    };
    return routes;
}

WebResponse ClubsWebService::Dispatch(const WebRequest& request, const ServiceUrl& url) {
    PlayerRecord* caller = Authenticate(request);
    if (!caller)
        return Refusal(401, "UNAUTHORIZED", "missing or unknown bearer token");
    bool pathKnown = false;
    for (const Route& route : Routes()) {
        if (route.pattern.size() != url.segments.size())
            continue;
        std::vector<std::string> captures;
        bool matches = true;
        for (size_t i = 0; i < route.pattern.size() && matches; ++i) {
            if (route.pattern[i] == "*")
                captures.push_back(url.segments[i]);
            else
                matches = route.pattern[i] == url.segments[i];
        }
        if (!matches)
            continue;
        pathKnown = true;
        if (request.method != route.method)
            continue;
        if (const std::string refused = RefuseRequestText(request.body, url); !refused.empty())
            return Refusal(400, "INVALID_REQUEST_TEXT", refused);
        Call call{*caller, captures, url, request.body};
        return (this->*route.handler)(call);
    }
    if (pathKnown)
        return Refusal(405, "METHOD_NOT_ALLOWED", request.method + " is not allowed here");
    return Refusal(404, "RESOURCE_NOT_FOUND", "no such resource");
}

PlayerRecord* ClubsWebService::Authenticate(const WebRequest& request) {
    const std::string authorization = HeaderValue(request, "Authorization");
    if (authorization.size() <= kJwtBearer.size() ||
        authorization.compare(0, kJwtBearer.size(), kJwtBearer) != 0)
        return nullptr;
    const std::string token = authorization.substr(kJwtBearer.size());
    for (auto& [accountId, record] : data_.players) {
        if (record.player.token == token)
            return &record;
    }
    return nullptr;
}

int64_t ClubsWebService::Tick() {
    return clockFrozen_ ? clock_ : ++clock_;
}

void ClubsWebService::ClubChanged(const std::string& key) {
    changedClubs_.insert(key);
}

void ClubsWebService::MembershipChanged(uint64_t accountId) {
    changedMemberships_.insert(accountId);
}

std::vector<ClubsWebService::Change> ClubsWebService::TakeChanges() {
    std::vector<Change> changes;
    if (observers_.empty()) {
        changedClubs_.clear();
        changedMemberships_.clear();
        return changes;
    }
    for (const std::string& key : changedClubs_) {
        const ServiceClub* club = data_.FindClub(key);
        changes.push_back({"clubs/v1/clubs/" + key, club ? ClubJson(data_, *club, 0) : ""});
    }
    for (const uint64_t accountId : changedMemberships_) {
        const PlayerRecord* player = data_.FindPlayer(accountId);
        if (!player)
            continue;
        changes.push_back({MembershipTopic(*player), PlayerMembershipJson(data_, *player)});
    }
    changedClubs_.clear();
    changedMemberships_.clear();
    return changes;
}

void ClubsWebService::Notify(const std::vector<Change>& changes) {
    if (changes.empty())
        return;
    std::vector<std::pair<int, ChangeObserver>> observers;
    {
        const Platform::MutexLock lock(mutex_);
        observers = observers_;
    }
    for (const Change& change : changes) {
        for (const auto& [id, observer] : observers)
            observer(change.topic, change.payload);
    }
}

// --- Membership operations -----------------------------------------------------------------

std::optional<WebResponse> ClubsWebService::RefuseOtherMembership(const Call& call) const {
    const std::optional<uint64_t> accountId = ParseId(call.captures[1]);
    if (!accountId)
        return Refusal(400, "INVALID_ACCOUNT_ID", "account id is not a number");
    if (call.captures[0] != call.caller.player.platformId ||
        *accountId != call.caller.player.accountId)
        return Refusal(403, "FORBIDDEN", "a player can only act on their own membership");
    return std::nullopt;
}

WebResponse ClubsWebService::GetMembership(Call& call) {
    if (auto refusal = RefuseOtherMembership(call))
        return *refusal;
    return MembershipAnswer(call.caller);
}

WebResponse ClubsWebService::InitMembership(Call& call) {
    if (auto refusal = RefuseOtherMembership(call))
        return *refusal;
    WebResponse answer = Answer(200, MembershipWithNotificationsJson(data_, call.caller));
    call.caller.notices.clear();
    return answer;
}

WebResponse ClubsWebService::UpdatePreferences(Call& call) {
    if (auto refusal = RefuseOtherMembership(call))
        return *refusal;
    std::string refusal;
    const auto body = ParseObject(call.body, refusal);
    if (!body)
        return BodyRefusal(refusal, "preferences must be a JSON object");
    const std::optional<std::string> primary = ReadText(*body, "primaryActiveClubKey");
    const std::optional<bool> share = ReadBool(*body, "shareClubAffiliation");
    if (primary && !primary->empty()) {
        const ServiceClub* club = data_.FindClub(*primary);
        if (!club || !FindEntry(club->active, call.caller.player.accountId))
            return Refusal(404, "CLUB_NOT_FOUND", "primary club must be an active club");
    }
    if (primary)
        call.caller.primaryClubKey = *primary;
    if (share)
        call.caller.shareClubAffiliation = *share;
    MembershipChanged(call.caller.player.accountId);
    return MembershipAnswer(call.caller);
}

WebResponse ClubsWebService::LeaveClub(Call& call) {
    if (auto refusal = RefuseOtherMembership(call))
        return *refusal;
    const uint64_t accountId = call.caller.player.accountId;
    ServiceClub* club = data_.FindClub(call.captures[2]);
    if (!club)
        return Refusal(404, "CLUB_NOT_FOUND", "no club with this key");
    const ClubEntry* entry = FindEntry(club->active, accountId);
    if (!entry)
        return Refusal(404, "CLUB_MEMBER_NOT_FOUND", "the player is not a member");
    if (entry->role == "OWNER" && club->active.size() > 1)
        return Refusal(409, "OWNER_CANNOT_LEAVE", "transfer ownership before leaving");
    if (club->active.size() == 1) {
        Disband(*club);
    } else {
        RemoveEntry(club->active, accountId);
        club->lastModifiedTs = Tick();
        ClubChanged(club->key);
    }
    ForgetPrimary(accountId, call.captures[2]);
    MembershipChanged(accountId);
    return MembershipAnswer(call.caller);
}

WebResponse ClubsWebService::AnswerInvite(Call& call) {
    if (auto refusal = RefuseOtherMembership(call))
        return *refusal;
    std::string refusal;
    const auto body = ParseObject(call.body, refusal);
    if (!body)
        return BodyRefusal(refusal, "the answer must be a JSON object");
    const std::optional<int64_t> status = ReadSigned(*body, "status");
    if (!status || (*status != 1 && *status != 2))
        return Refusal(400, "INVALID_INVITE_STATUS", "an answer accepts (1) or rejects (2)");
    const uint64_t accountId = call.caller.player.accountId;
    ServiceClub* club = data_.FindClub(call.captures[2]);
    if (!club)
        return Refusal(404, "CLUB_NOT_FOUND", "no club with this key");
    if (!FindEntry(club->invited, accountId))
        return Refusal(404, "CLUB_INVITE_NOT_FOUND", "the player has no invitation to this club");
    if (*status == 1 && data_.ActiveClubCount(accountId) >= data_.config.limits.maxActiveClubs)
        return Refusal(409, "MAX_ACTIVE_CLUBS", "the player is in too many clubs");
    RemoveEntry(club->invited, accountId);
    const int64_t now = Tick();
    if (*status == 1)
        club->active.push_back({accountId, now, "MEMBER", 0});
    club->lastModifiedTs = now;
    ClubChanged(club->key);
    MembershipChanged(accountId);
    return MembershipAnswer(call.caller);
}

// --- Club operations -------------------------------------------------------------------------

WebResponse ClubsWebService::CreateClub(Call& call) {
    const ClubsServiceLimits& limits = data_.config.limits;
    const auto name = call.url.query.find("clubName");
    if (name == call.url.query.end())
        return Refusal(400, "INVALID_CLUB_NAME", "the query must name the club");
    const int64_t length = CharacterCount(name->second);
    if (length < limits.minClubNameLength)
        return Refusal(400, "CLUB_NAME_TOO_SHORT", "the club name is too short");
    if (length > limits.maxClubNameLength)
        return Refusal(400, "CLUB_NAME_TOO_LONG", "the club name is too long");
    for (const auto& [key, club] : data_.clubs) {
        if (Lowered(club.name) == Lowered(name->second))
            return Refusal(409, "CLUB_NAME_TAKEN", "another club has this name");
    }
    const uint64_t accountId = call.caller.player.accountId;
    if (data_.ActiveClubCount(accountId) >= limits.maxActiveClubs)
        return Refusal(409, "MAX_ACTIVE_CLUBS", "the player is in too many clubs");
    ServiceClub club;
    do {
        club.key = "club-" + std::to_string(nextClubNumber_++);
    } while (data_.FindClub(club.key));
    club.name = name->second;
    club.platformId = call.caller.player.platformId;
    club.createdTs = club.lastModifiedTs = Tick();
    club.jid = club.key + "@" + data_.config.chatDomain;
    club.active.push_back({accountId, club.createdTs, "OWNER", 0});
    const ServiceClub& stored = data_.clubs[club.key] = std::move(club);
    ClubChanged(stored.key);
    MembershipChanged(accountId);
    return ClubAnswer(stored, accountId);
}

WebResponse ClubsWebService::GetClub(Call& call) {
    const ServiceClub* club = data_.FindClub(call.captures[0]);
    if (!club)
        return Refusal(404, "CLUB_NOT_FOUND", "no club with this key");
    const uint64_t accountId = call.caller.player.accountId;
    if (!FindEntry(club->active, accountId) && !FindEntry(club->invited, accountId))
        return Refusal(403, "NOT_A_MEMBER", "only members and invitees see a club");
    return ClubAnswer(*club, accountId);
}

WebResponse ClubsWebService::SetTag(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, nullptr, club))
        return *refusal;
    const ClubsServiceLimits& limits = data_.config.limits;
    if (FindEntry(club->active, call.caller.player.accountId)->role != "OWNER")
        return Refusal(403, "INSUFFICIENT_PERMISSIONS", "only the owner sets the tag");
    const std::string& tag = call.body;
    if (!tag.empty()) {
        const int64_t length = CharacterCount(tag);
        if (length < limits.minClubTagLength || length > limits.maxClubTagLength)
            return Refusal(400, "INVALID_CLUB_TAG_LENGTH", "the tag's length is out of bounds");
        if (!IsTagText(tag))
            return Refusal(400, "INVALID_CLUB_TAG", "a tag holds letters and digits only");
        if (static_cast<int64_t>(club->active.size()) < limits.clubTagRequirementMinMembers)
            return Refusal(409, "CLUB_TAG_NOT_ELIGIBLE", "the club has too few members");
    }
    club->tag = tag;
    club->lastModifiedTs = Tick();
    ClubChanged(club->key);
    return ClubAnswer(*club, call.caller.player.accountId);
}

WebResponse ClubsWebService::SetMotd(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, "SET_MOTD", club))
        return *refusal;
    if (CharacterCount(call.body) > data_.config.limits.clubMotdMaxLength)
        return Refusal(400, "CLUB_MOTD_TOO_LONG", "the message of the day is too long");
    club->motd = call.body;
    club->lastModifiedTs = Tick();
    ClubChanged(club->key);
    return ClubAnswer(*club, call.caller.player.accountId);
}

WebResponse ClubsWebService::Invite(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, "INVITE", club))
        return *refusal;
    std::string refusal;
    const auto body = ParseObject(call.body, refusal);
    const std::optional<uint64_t> summonerId =
        body ? ReadUnsigned(*body, "inviteeSummonerId") : std::nullopt;
    if (!summonerId)
        return BodyRefusal(refusal, "the invitation must name the invitee");
    uint64_t accountId = 0;
    if (auto refusal = RefuseCandidate(*club, *summonerId, accountId))
        return *refusal;
    if (static_cast<int64_t>(club->active.size() + club->invited.size()) >=
        data_.config.limits.maxClubMembers)
        return Refusal(409, "MAX_CLUB_MEMBERS", "the club has as many members as it may");
    RemoveEntry(club->nominated, accountId);
    const int64_t now = Tick();
    club->invited.push_back({accountId, now, "INVITEE", call.caller.player.accountId});
    club->lastModifiedTs = now;
    ClubChanged(club->key);
    MembershipChanged(accountId);
    return ClubMembershipAnswer(*club);
}

WebResponse ClubsWebService::Nominate(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, "NOMINATE", club))
        return *refusal;
    const ClubsServiceLimits& limits = data_.config.limits;
    if (!limits.clubNominationsEnabled)
        return Refusal(409, "NOMINATIONS_DISABLED", "nominations are switched off");
    const std::optional<uint64_t> summonerId = ParseId(call.captures[1]);
    if (!summonerId)
        return Refusal(400, "INVALID_PLAYER_ID", "the summoner id is not a number");
    uint64_t accountId = 0;
    if (auto refusal = RefuseCandidate(*club, *summonerId, accountId))
        return *refusal;
    if (FindEntry(club->nominated, accountId))
        return Refusal(409, "ALREADY_NOMINATED", "the player is nominated already");
    if (static_cast<int64_t>(club->nominated.size()) >= limits.clubNominationsMaxPending)
        return Refusal(409, "MAX_PENDING_NOMINATIONS", "too many nominations are pending");
    const int64_t now = Tick();
    club->nominated.push_back({accountId, now, "NOMINEE", call.caller.player.accountId});
    club->lastModifiedTs = now;
    ClubChanged(club->key);
    return ClubMembershipAnswer(*club);
}

WebResponse ClubsWebService::RejectNomination(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, "INVITE", club))
        return *refusal;
    const std::optional<uint64_t> accountId = ParseId(call.captures[1]);
    if (!accountId)
        return Refusal(400, "INVALID_PLAYER_ID", "the account id is not a number");
    if (!RemoveEntry(club->nominated, *accountId))
        return Refusal(404, "CLUB_NOMINATION_NOT_FOUND", "the player is not nominated");
    club->lastModifiedTs = Tick();
    ClubChanged(club->key);
    return ClubMembershipAnswer(*club);
}

WebResponse ClubsWebService::Promote(Call& call) {
    return ChangeRole(call, "PROMOTE", "MEMBER", "OFFICER", "MEMBER_ROLE_PROMOTE",
                      "only members are promoted");
}

WebResponse ClubsWebService::Demote(Call& call) {
    return ChangeRole(call, "DEMOTE", "OFFICER", "MEMBER", "MEMBER_ROLE_DEMOTE",
                      "only officers are demoted");
}

WebResponse ClubsWebService::ChangeRole(Call& call,
                                        const char* permission,
                                        const std::string& from,
                                        const std::string& to,
                                        const char* action,
                                        const char* refusal) {
    ServiceClub* club = nullptr;
    if (auto refused = RefuseClubAction(call, permission, club))
        return *refused;
    const std::optional<uint64_t> accountId = ParseId(call.captures[1]);
    if (!accountId)
        return Refusal(400, "INVALID_PLAYER_ID", "the account id is not a number");
    ClubEntry* target = FindEntry(club->active, *accountId);
    if (!target)
        return Refusal(404, "CLUB_MEMBER_NOT_FOUND", "the player is not a member");
    if (target->role != from)
        return Refusal(409, from == "MEMBER" ? "CANNOT_PROMOTE" : "CANNOT_DEMOTE", refusal);
    target->role = to;
    club->lastModifiedTs = Tick();
    AddNotice(*accountId, *club, to, action);
    ClubChanged(club->key);
    MembershipChanged(*accountId);
    return ClubMembershipAnswer(*club);
}

WebResponse ClubsWebService::RemoveMember(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, nullptr, club))
        return *refusal;
    const std::optional<uint64_t> accountId = ParseId(call.captures[1]);
    if (!accountId)
        return Refusal(400, "INVALID_PLAYER_ID", "the account id is not a number");
    const std::string callerRole = FindEntry(club->active, call.caller.player.accountId)->role;
    const int64_t now = Tick();
    if (FindEntry(club->invited, *accountId)) {
        if (!HasPermission(callerRole, "INVITE"))
            return Refusal(403, "INSUFFICIENT_PERMISSIONS",
                           "the caller may not withdraw invitations");
        RemoveEntry(club->invited, *accountId);
        if (PlayerRecord* invitee = data_.FindPlayer(*accountId))
            invitee->revokedInviteClubs.emplace_back(club->key, club->name);
    } else {
        ClubEntry* target = FindEntry(club->active, *accountId);
        if (!target)
            return Refusal(404, "CLUB_MEMBER_NOT_FOUND", "the player is not a member");
        if (*accountId == call.caller.player.accountId)
            return Refusal(409, "CANNOT_REMOVE_SELF", "players leave clubs instead");
        if (target->role == "OWNER")
            return Refusal(409, "CANNOT_REMOVE_OWNER", "the owner cannot be removed");
        const char* needed = target->role == "OFFICER" ? "KICK_OFFICER" : "KICK_MEMBER";
        if (!HasPermission(callerRole, needed))
            return Refusal(403, "INSUFFICIENT_PERMISSIONS",
                           "the caller may not remove this player");
        club->removed.push_back({*accountId, now, target->role, call.caller.player.accountId});
        RemoveEntry(club->active, *accountId);
        AddNotice(*accountId, *club, "UNKNOWN", "MEMBER_KICK");
        ForgetPrimary(*accountId, club->key);
        if (PlayerRecord* removed = data_.FindPlayer(*accountId))
            removed->removedClubs.emplace_back(club->key, club->name);
    }
    club->lastModifiedTs = now;
    ClubChanged(club->key);
    MembershipChanged(*accountId);
    return ClubMembershipAnswer(*club);
}

WebResponse ClubsWebService::TransferOwnership(Call& call) {
    ServiceClub* club = nullptr;
    if (auto refusal = RefuseClubAction(call, "OWNERSHIP_TRANSFER", club))
        return *refusal;
    const std::optional<uint64_t> accountId = ParseId(call.captures[1]);
    if (!accountId)
        return Refusal(400, "INVALID_PLAYER_ID", "the account id is not a number");
    ClubEntry* target = FindEntry(club->active, *accountId);
    if (!target)
        return Refusal(404, "CLUB_MEMBER_NOT_FOUND", "the player is not a member");
    if (*accountId == call.caller.player.accountId)
        return Refusal(409, "ALREADY_OWNER", "the player owns the club already");
    for (ClubEntry& entry : club->active) {
        if (entry.role == "OWNER")
            entry.role = "OFFICER";
    }
    target->role = "OWNER";
    club->lastModifiedTs = Tick();
    AddNotice(*accountId, *club, "OWNER", "OWNER_GIVEN_OWNERSHIP");
    ClubChanged(club->key);
    MembershipChanged(*accountId);
    MembershipChanged(call.caller.player.accountId);
    return ClubMembershipAnswer(*club);
}

std::optional<WebResponse> ClubsWebService::RefuseClubAction(const Call& call,
                                                             const char* permission,
                                                             ServiceClub*& club) {
    club = data_.FindClub(call.captures[0]);
    if (!club)
        return Refusal(404, "CLUB_NOT_FOUND", "no club with this key");
    const ClubEntry* self = FindEntry(club->active, call.caller.player.accountId);
    if (!self)
        return Refusal(403, "NOT_A_MEMBER", "the caller is not a member of the club");
    if (permission && !HasPermission(self->role, permission))
        return Refusal(403, "INSUFFICIENT_PERMISSIONS",
                       std::string("the caller's role lacks ") + permission);
    return std::nullopt;
}

std::optional<WebResponse> ClubsWebService::RefuseCandidate(const ServiceClub& club,
                                                            uint64_t summonerId,
                                                            uint64_t& accountId) {
    const PlayerRecord* candidate = data_.FindPlayerBySummoner(summonerId);
    if (!candidate)
        return Refusal(404, "PLAYER_NOT_FOUND", "no player with this summoner id");
    accountId = candidate->player.accountId;
    if (FindEntry(club.active, accountId))
        return Refusal(409, "ALREADY_MEMBER", "the player is a member already");
    if (FindEntry(club.invited, accountId))
        return Refusal(409, "ALREADY_INVITED", "the player is invited already");
    return std::nullopt;
}

bool ClubsWebService::HasPermission(const std::string& role, const std::string& permission) const {
    const auto granted = data_.config.permissions.find(role);
    if (granted == data_.config.permissions.end())
        return false;
    return std::find(granted->second.begin(), granted->second.end(), permission) !=
           granted->second.end();
}

void ClubsWebService::AddNotice(uint64_t accountId,
                                const ServiceClub& club,
                                const std::string& role,
                                const char* action) {
    PlayerRecord* player = data_.FindPlayer(accountId);
    if (player == nullptr)
        return;
    player->notices.push_back({club.key, club.name, role, "UNREAD", action});
    if (player->notices.size() > kMaxPendingNotices)
        player->notices.erase(player->notices.begin());
}

void ClubsWebService::Disband(ServiceClub& club) {
    const std::string key = club.key;
    for (const ClubEntry& invitation : club.invited) {
        if (PlayerRecord* invitee = data_.FindPlayer(invitation.accountId))
            invitee->revokedInviteClubs.emplace_back(club.key, club.name);
        MembershipChanged(invitation.accountId);
    }
    data_.clubs.erase(key);
    ClubChanged(key);
}

void ClubsWebService::ForgetPrimary(uint64_t accountId, const std::string& key) {
    PlayerRecord* player = data_.FindPlayer(accountId);
    if (player && player->primaryClubKey == key)
        player->primaryClubKey.clear();
}

WebResponse ClubsWebService::ClubAnswer(const ServiceClub& club, uint64_t viewer) const {
    return Answer(200, ClubJson(data_, club, viewer));
}

WebResponse ClubsWebService::ClubMembershipAnswer(const ServiceClub& club) const {
    return Answer(200, ClubMembershipJson(data_, club));
}

WebResponse ClubsWebService::MembershipAnswer(const PlayerRecord& player) const {
    return Answer(200, PlayerMembershipJson(data_, player));
}

}  // namespace Kolm::Host
