#include "host/clubs_web_service/service_rules.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace Kolm::Host {
namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string CheckPlayers(const ServiceData& data) {
    std::map<uint64_t, uint64_t> summoners;
    std::map<std::string, uint64_t> tokens;
    for (const auto& [accountId, record] : data.players) {
        const ServicePlayer& player = record.player;
        if (accountId == 0 || player.summonerId == 0) {
            return "player " + std::to_string(accountId) +
                   ": account and summoner ids must not be 0";
        }
        if (player.token.empty()) {
            return "player " + std::to_string(accountId) + " has an empty token";
        }
        if (const auto [other, added] = summoners.emplace(player.summonerId, accountId); !added) {
            return "players " + std::to_string(other->second) + " and " +
                   std::to_string(accountId) + " share summoner id " +
                   std::to_string(player.summonerId);
        }
        if (const auto [other, added] = tokens.emplace(player.token, accountId); !added) {
            return "players " + std::to_string(other->second) + " and " +
                   std::to_string(accountId) + " share a token";
        }
        if (!record.primaryClubKey.empty() && data.clubs.count(record.primaryClubKey) == 0) {
            return "player " + std::to_string(accountId) + ": primary club \"" +
                   record.primaryClubKey + "\" does not exist";
        }
    }
    return {};
}

std::string CheckList(const ServiceData& data,
                      const ServiceClub& club,
                      const char* listName,
                      const std::vector<ClubEntry>& entries,
                      std::set<uint64_t>& listed) {
    const std::string where = "club \"" + club.key + "\": " + listName + " ";
    for (const ClubEntry& entry : entries) {
        if (!data.FindPlayer(entry.accountId)) {
            return where + std::to_string(entry.accountId) + " is not a player";
        }
        if (entry.byAccountId != 0 && !data.FindPlayer(entry.byAccountId)) {
            return where + std::to_string(entry.accountId) + " was added by " +
                   std::to_string(entry.byAccountId) + ", who is not a player";
        }
        if (!listed.insert(entry.accountId).second) {
            return where + std::to_string(entry.accountId) +
                   " is listed twice among the active, invited and nominated members";
        }
    }
    return {};
}

std::string CheckClub(const ServiceData& data, const ServiceClub& club) {
    const std::string where = "club \"" + club.key + "\"";
    std::vector<uint64_t> owners;
    for (const ClubEntry& entry : club.active) {
        if (entry.role == "OWNER") {
            owners.push_back(entry.accountId);
        } else if (entry.role != "OFFICER" && entry.role != "MEMBER") {
            return where + ": member " + std::to_string(entry.accountId) + " has role \"" +
                   entry.role + "\"; active roles are OWNER, OFFICER and MEMBER";
        }
    }
    if (owners.empty()) {
        return where + " has no owner";
    }
    if (owners.size() > 1) {
        return where + " has two owners (accounts " + std::to_string(owners[0]) + " and " +
               std::to_string(owners[1]) + ")";
    }
    std::set<uint64_t> listed;
    for (const auto& [name, entries] :
         {std::pair{"active member", &club.active}, std::pair{"invitee", &club.invited},
          std::pair{"nominee", &club.nominated}}) {
        if (std::string error = CheckList(data, club, name, *entries, listed); !error.empty()) {
            return error;
        }
    }
    const ClubsServiceLimits& limits = data.config.limits;
    if (static_cast<int64_t>(club.active.size() + club.invited.size()) > limits.maxClubMembers) {
        return where + " has more members and invitees than the limit of " +
               std::to_string(limits.maxClubMembers);
    }
    if (static_cast<int64_t>(club.nominated.size()) > limits.clubNominationsMaxPending) {
        return where + " has more pending nominations than the limit of " +
               std::to_string(limits.clubNominationsMaxPending);
    }
    return {};
}

}  // namespace

std::string CheckServiceData(const ServiceData& data) {
    if (std::string error = CheckPlayers(data); !error.empty()) {
        return error;
    }
    std::map<std::string, std::string> names;
    for (const auto& [key, club] : data.clubs) {
        if (key.empty() || key != club.key) {
            return "a club's key must not be empty";
        }
        if (const auto [other, added] = names.emplace(Lowered(club.name), key); !added) {
            return "clubs \"" + other->second + "\" and \"" + key + "\" share the name \"" +
                   club.name + "\"";
        }
        if (std::string error = CheckClub(data, club); !error.empty()) {
            return error;
        }
    }
    // Counted in one pass over the clubs; a pass per player made a world of 20,000 players
    // take minutes to check.
    std::map<uint64_t, int> activeClubs;
    for (const auto& [key, club] : data.clubs) {
        for (const ClubEntry& entry : club.active) {
            ++activeClubs[entry.accountId];  // listed once per club, as CheckList made sure
        }
    }
    for (const auto& [accountId, count] : activeClubs) {
        if (count > data.config.limits.maxActiveClubs) {
            return "player " + std::to_string(accountId) + " is in more active clubs than the " +
                   "limit of " + std::to_string(data.config.limits.maxActiveClubs);
        }
    }
    return {};
}

}  // namespace Kolm::Host
