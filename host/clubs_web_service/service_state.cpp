#include "host/clubs_web_service/service_state.h"

#include <algorithm>

namespace Kolm::Host {

const std::vector<std::pair<const char*, int32_t ClubsServiceLimits::*>>& ReportedLimitNumbers() {
    using L = ClubsServiceLimits;
    static const std::vector<std::pair<const char*, int32_t L::*>> numbers = {
        {"maxActiveClubs", &L::maxActiveClubs},
        {"maxClubNameLength", &L::maxClubNameLength},
        {"minClubNameLength", &L::minClubNameLength},
        {"maxClubTagLength", &L::maxClubTagLength},
        {"minClubTagLength", &L::minClubTagLength},
        {"clubTagRequirementsMinMemberLevel", &L::clubTagRequirementsMinMemberLevel},
        {"clubTagRequirementMinMembers", &L::clubTagRequirementMinMembers},
        {"clubTagRequirementMinGames", &L::clubTagRequirementMinGames},
        {"clubNominationsMaxPending", &L::clubNominationsMaxPending},
        {"clubMotdMaxLength", &L::clubMotdMaxLength},
        {"clubDescriptionMaxLength", &L::clubDescriptionMaxLength},
    };
    return numbers;
}

PermissionMap DefaultPermissionMap() {
    const std::vector<std::string> everything = {
        "INVITE",   "PROMOTE",        "DEMOTE", "KICK_MEMBER", "KICK_OFFICER", "OWNERSHIP_TRANSFER",
        "SET_MOTD", "SET_DESCRIPTION"};
    return {
        {"ADMIN", everything},
        {"OWNER", everything},
        {"OFFICER", {"INVITE", "PROMOTE", "KICK_MEMBER", "SET_MOTD"}},
        {"MEMBER", {"NOMINATE"}},
        {"INVITEE", {}},
        {"UNKNOWN", {}},
    };
}

PlayerRecord* ServiceData::FindPlayer(uint64_t accountId) {
    const auto found = players.find(accountId);
    return found == players.end() ? nullptr : &found->second;
}

const PlayerRecord* ServiceData::FindPlayer(uint64_t accountId) const {
    const auto found = players.find(accountId);
    return found == players.end() ? nullptr : &found->second;
}

PlayerRecord* ServiceData::FindPlayerBySummoner(uint64_t summonerId) {
    for (auto& [accountId, record] : players) {
        if (record.player.summonerId == summonerId)
            return &record;
    }
    return nullptr;
}

ServiceClub* ServiceData::FindClub(const std::string& key) {
    const auto found = clubs.find(key);
    return found == clubs.end() ? nullptr : &found->second;
}

int ServiceData::ActiveClubCount(uint64_t accountId) const {
    int count = 0;
    for (const auto& [key, club] : clubs) {
        if (FindEntry(club.active, accountId))
            ++count;
    }
    return count;
}

ClubEntry* FindEntry(std::vector<ClubEntry>& entries, uint64_t accountId) {
    for (ClubEntry& entry : entries) {
        if (entry.accountId == accountId)
            return &entry;
    }
    return nullptr;
}

const ClubEntry* FindEntry(const std::vector<ClubEntry>& entries, uint64_t accountId) {
    for (const ClubEntry& entry : entries) {
        if (entry.accountId == accountId)
            return &entry;
    }
    return nullptr;
}

bool RemoveEntry(std::vector<ClubEntry>& entries, uint64_t accountId) {
    const auto end = std::remove_if(entries.begin(), entries.end(), [&](const ClubEntry& entry) {
        return entry.accountId == accountId;
    });
    const bool removed = end != entries.end();
    entries.erase(end, entries.end());
    return removed;
}

std::string RoleIn(const ServiceClub& club, uint64_t accountId) {
    if (const ClubEntry* active = FindEntry(club.active, accountId))
        return active->role;
    if (FindEntry(club.invited, accountId))
        return "INVITEE";
    if (FindEntry(club.nominated, accountId))
        return "NOMINEE";
    return "UNKNOWN";
}

namespace {

// Notes the entries of one club's lists in the places of the accounts they name; `placesOf`
// gives an account's list, or null for accounts that are not wanted.
template <class PlacesOfAccount>
void AddPlaces(const ServiceClub& club, PlacesOfAccount placesOf) {
    for (const auto& [entries, field] : {std::pair{&club.active, &ClubPlace::active},
                                         std::pair{&club.invited, &ClubPlace::invited},
                                         std::pair{&club.nominated, &ClubPlace::nominated}}) {
        for (const ClubEntry& entry : *entries) {
            std::vector<ClubPlace>* places = placesOf(entry.accountId);
            if (places == nullptr) {
                continue;
            }
            if (places->empty() || places->back().club != &club) {
                places->push_back(ClubPlace{&club});
            }
            if (places->back().*field == nullptr) {
                places->back().*field = &entry;
            }
        }
    }
}

}  // namespace

std::string ClubPlace::Role() const {
    if (active != nullptr)
        return active->role;
    if (invited != nullptr)
        return "INVITEE";
    if (nominated != nullptr)
        return "NOMINEE";
    return "UNKNOWN";
}

std::vector<ClubPlace> PlacesOf(const ServiceData& data, uint64_t accountId) {
    std::vector<ClubPlace> places;
    for (const auto& [key, club] : data.clubs) {
        AddPlaces(club, [&](uint64_t listed) { return listed == accountId ? &places : nullptr; });
    }
    return places;
}

std::map<uint64_t, std::vector<ClubPlace>> PlacesByAccount(const ServiceData& data) {
    std::map<uint64_t, std::vector<ClubPlace>> places;
    for (const auto& [key, club] : data.clubs) {
        AddPlaces(club, [&](uint64_t listed) { return &places[listed]; });
    }
    return places;
}

}  // namespace Kolm::Host
