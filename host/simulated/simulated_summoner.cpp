#include "host/simulated/simulated_summoner.h"

#include <charconv>
#include <cstddef>
#include <string_view>
#include <utility>

namespace Kolm::Host {

namespace {

bool ReadId(const HostValue& value, uint64_t& id) {
    if (value.kind == HOST_VALUE_KIND_UNSIGNED) {
        id = value.payload.unsignedNumber;
        return true;
    }
    if (value.kind == HOST_VALUE_KIND_SIGNED && value.payload.signedNumber >= 0) {
        id = static_cast<uint64_t>(value.payload.signedNumber);
        return true;
    }
    return false;
}

}  // namespace

SimulatedSummoner::SimulatedSummoner() : SimulatedPlugin(kPrefix) {
    On(HOST_METHOD_GET, kNamesPath,
       [this](const SimulatedRequest& request) { return List(request); });
    On(HOST_METHOD_GET, kIconsPath,
       [this](const SimulatedRequest& request) { return List(request); });
}

void SimulatedSummoner::AddSummoner(uint64_t summonerId,
                                    std::string displayName,
                                    int32_t profileIconId) {
    const Platform::MutexLock lock(summonerMutex_);
    summoners_[summonerId] = Summoner{std::move(displayName), profileIconId};
}

void SimulatedSummoner::FailSummoner(uint64_t summonerId) {
    const Platform::MutexLock lock(summonerMutex_);
    failedIds_.insert(summonerId);
}

void SimulatedSummoner::FailCalls(const std::string& path, uint32_t status, std::string text) {
    const Platform::MutexLock lock(summonerMutex_);
    failedCalls_[path] = Failure{status, std::move(text)};
}

void SimulatedSummoner::ClearFailures() {
    const Platform::MutexLock lock(summonerMutex_);
    failedIds_.clear();
    failedCalls_.clear();
}

std::vector<uint64_t> SimulatedSummoner::SingleReads() const {
    const Platform::MutexLock lock(summonerMutex_);
    return singleReads_.ToVector();
}

std::size_t SimulatedSummoner::ListCalls(const std::string& path) const {
    return RequestCount(HOST_METHOD_GET, path);
}

void SimulatedSummoner::SetRecordLimit(std::size_t limit) {
    SimulatedPlugin::SetRecordLimit(limit);
    const Platform::MutexLock lock(summonerMutex_);
    singleReads_.SetLimit(limit);
}

SimulatedAnswer SimulatedSummoner::Answer(const SimulatedRequest& request) {
    const std::string_view single = kSummonerPath;
    if (request.method == HOST_METHOD_GET && request.path.size() > single.size() &&
        request.path.compare(0, single.size(), single) == 0) {
        return Single(request.path.substr(single.size()));
    }
    return SimulatedPlugin::Answer(request);
}

SimulatedAnswer SimulatedSummoner::Single(const std::string& idText) {
    uint64_t id = 0;
    const char* end = idText.data() + idText.size();
    auto [stop, error] = std::from_chars(idText.data(), end, id);
    const Platform::MutexLock lock(summonerMutex_);
    if (error != std::errc() || stop != end) {
        return SimulatedAnswer::Error(400, "Invalid summoner id " + idText);
    }
    singleReads_.Add(id);
    auto failed = failedCalls_.find(kSummonerPath);
    if (failed != failedCalls_.end()) {
        return SimulatedAnswer::Error(failed->second.status, failed->second.text);
    }
    auto found = summoners_.find(id);
    if (found == summoners_.end() || failedIds_.count(id) != 0) {
        return SimulatedAnswer::Error(404, "Summoner " + idText + " not found");
    }
    return SimulatedAnswer::Value(Record(id, found->second));
}

SimulatedAnswer SimulatedSummoner::List(const SimulatedRequest& request) {
    const Platform::MutexLock lock(summonerMutex_);
    auto failed = failedCalls_.find(request.path);
    if (failed != failedCalls_.end()) {
        return SimulatedAnswer::Error(failed->second.status, failed->second.text);
    }
    if (request.arguments.empty() ||
        request.arguments.front().value.Get().kind != HOST_VALUE_KIND_COLLECTION) {
        return SimulatedAnswer::Error(400, "A list of summoner ids is required");
    }
    const HostValue& ids = request.arguments.front().value.Get();
    std::vector<OwnedHostValue> answer;
    for (uint32_t i = 0; i < ids.payload.collection.count; ++i) {
        uint64_t id = 0;
        if (!ReadId(ids.payload.collection.items[i], id)) {
            return SimulatedAnswer::Error(400, "Summoner ids must be numbers");
        }
        auto found = summoners_.find(id);
        if (found != summoners_.end() && failedIds_.count(id) == 0) {
            answer.push_back(Record(id, found->second));
        }
    }
    return SimulatedAnswer::Value(OwnedHostValue::Collection(std::move(answer)));
}

OwnedHostValue SimulatedSummoner::Record(uint64_t summonerId, const Summoner& summoner) const {
    std::vector<std::pair<std::string, OwnedHostValue>> fields;
    fields.emplace_back("summonerId", OwnedHostValue::Unsigned(summonerId));
    fields.emplace_back("displayName", OwnedHostValue::String(summoner.displayName));
    fields.emplace_back("profileIconId", OwnedHostValue::Signed(summoner.profileIconId));
    return OwnedHostValue::Structure(std::move(fields));
}

}  // namespace Kolm::Host
