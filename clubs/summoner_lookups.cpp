// Players' names and icons from the summoner plugin. A member list costs two calls, one for the
// names and one for the icons, whatever its length.
#include <algorithm>
#include <string>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "plugin/remote_call.h"

namespace Kolm::Client::Clubs {

namespace {

using Api::SummonerResource;

constexpr const char* kSummonerNamesPath = "/zun-summoner/v2/summoner-names";
constexpr const char* kSummonerIconsPath = "/zun-summoner/v2/summoner-icons";
constexpr const char* kSummonerPath = "/zun-summoner/v1/summoners/";

template <class T>
RemoteResult<T> NotStarted() {
    RemoteResult<T> result;
    result.failed = true;
    result.status = 500;
    result.message = kClubsNotStarted;
    return result;
}

}  // namespace

RemoteResult<SummonerResource> ClubsManager::FetchSummoner(uint64_t summonerId) {
    if (plugin == nullptr) {
        return NotStarted<SummonerResource>();
    }
    return RemoteCall<SummonerResource>(*plugin, HttpMethod::Get,
                                        kSummonerPath + std::to_string(summonerId));
}

RemoteResult<std::vector<SummonerResource>> ClubsManager::FetchSummonerNames(
    const std::vector<uint64_t>& summonerIds) {
    if (plugin == nullptr) {
        return NotStarted<std::vector<SummonerResource>>();
    }
    return RemoteCall<std::vector<SummonerResource>>(*plugin, HttpMethod::Get, kSummonerNamesPath,
                                                     summonerIds);
}

void ClubsManager::LookupMemberNamesAndIcons(std::vector<Api::ClubMember>& members) {
    if (members.empty() || plugin == nullptr) {
        return;
    }
    std::vector<uint64_t> ids;
    ids.reserve(members.size());
    for (const Api::ClubMember& member : members) {
        ids.push_back(member.summonerId);
    }

    // The answers are matched by position, not by id: entry i belongs to member i, and a short
    // answer leaves the members past its end as they were.
    RemoteResult<std::vector<SummonerResource>> names = FetchSummonerNames(ids);
    if (!names.failed) {
        const std::size_t count = std::min(members.size(), names.value.size());
        for (std::size_t i = 0; i < count; ++i) {
            members[i].summonerName = names.value[i].displayName;
        }
    }
    RemoteResult<std::vector<SummonerResource>> icons = RemoteCall<std::vector<SummonerResource>>(
        *plugin, HttpMethod::Get, kSummonerIconsPath, ids);
    if (!icons.failed) {
        const std::size_t count = std::min(members.size(), icons.value.size());
        for (std::size_t i = 0; i < count; ++i) {
            members[i].summonerIconId = icons.value[i].profileIconId;
        }
    }
}

}  // namespace Kolm::Client::Clubs
