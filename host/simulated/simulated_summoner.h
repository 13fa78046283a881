// SimulatedSummoner: the summoner plugin. It knows summoners by id (name and icon) and answers
// "/zun-summoner/v1/summoners/<id>" with one summoner and "/zun-summoner/v2/summoner-names" and
// "/zun-summoner/v2/summoner-icons" with the summoners of the id list given as the argument, in
// the list's order, leaving out ids it does not know.
//
// Tests make single ids unknown to both forms, or whole calls fail. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/simulated/recent_records.h"
#include "host/simulated/simulated_plugin.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class SimulatedSummoner : public SimulatedPlugin {
  public:
    static constexpr const char* kPrefix = "/zun-summoner";
    static constexpr const char* kSummonerPath = "/zun-summoner/v1/summoners/";
    static constexpr const char* kNamesPath = "/zun-summoner/v2/summoner-names";
    static constexpr const char* kIconsPath = "/zun-summoner/v2/summoner-icons";

    SimulatedSummoner();

    void AddSummoner(uint64_t summonerId, std::string displayName, int32_t profileIconId);
    // The id reads as unknown: its own read fails with 404 and the lists leave it out.
    void FailSummoner(uint64_t summonerId);
    // Every call of `path` (the names or icons path, or kSummonerPath for all single reads)
    // answers this error until ClearFailures.
    void FailCalls(const std::string& path, uint32_t status, std::string text);
    void ClearFailures();

    // Ids asked for one by one, in order (the newest ones, see SetRecordLimit).
    std::vector<uint64_t> SingleReads() const;
    // Calls of the names or icons path so far.
    std::size_t ListCalls(const std::string& path) const;
    void SetRecordLimit(std::size_t limit) override;

    SimulatedAnswer Answer(const SimulatedRequest& request) override;

  private:
    struct Summoner {
        std::string displayName;
        int32_t profileIconId = 0;
    };
    struct Failure {
        uint32_t status;
        std::string text;
    };

    SimulatedAnswer Single(const std::string& idText);
    SimulatedAnswer List(const SimulatedRequest& request);
    // The record as the summoner plugin answers it.
    OwnedHostValue Record(uint64_t summonerId, const Summoner& summoner) const
        ZC_REQUIRES(summonerMutex_);

    mutable Platform::Mutex summonerMutex_;
    std::map<uint64_t, Summoner> summoners_ ZC_GUARDED_BY(summonerMutex_);
    std::set<uint64_t> failedIds_ ZC_GUARDED_BY(summonerMutex_);
    std::map<std::string, Failure> failedCalls_ ZC_GUARDED_BY(summonerMutex_);
    RecentRecords<uint64_t> singleReads_ ZC_GUARDED_BY(summonerMutex_);
};

}  // namespace Kolm::Host
