#include "host/simulated/simulated_chat.h"

#include <charconv>
#include <cstring>
#include <string_view>
#include <utility>

namespace Kolm::Host {

namespace {

const HostValue* FindEntry(const HostValue& structure, const char* key) {
    if (structure.kind != HOST_VALUE_KIND_STRUCTURE) {
        return nullptr;
    }
    for (uint32_t i = 0; i < structure.payload.structure.count; ++i) {
        const HostValueEntry& entry = structure.payload.structure.entries[i];
        if (entry.key != nullptr && std::strcmp(entry.key, key) == 0) {
            return &entry.value;
        }
    }
    return nullptr;
}

bool ReadId(const HostValue* value, uint64_t& id) {
    if (value == nullptr) {
        return false;
    }
    if (value->kind == HOST_VALUE_KIND_UNSIGNED) {
        id = value->payload.unsignedNumber;
        return true;
    }
    if (value->kind == HOST_VALUE_KIND_SIGNED && value->payload.signedNumber >= 0) {
        id = static_cast<uint64_t>(value->payload.signedNumber);
        return true;
    }
    return false;
}

std::string ReadText(const HostValue* value) {
    if (value == nullptr || value->kind != HOST_VALUE_KIND_STRING ||
        value->payload.string.text == nullptr) {
        return std::string();
    }
    return std::string(value->payload.string.text, value->payload.string.length);
}

}  // namespace

SimulatedChat::SimulatedChat() : SimulatedPlugin(kPrefix) {
    On(HOST_METHOD_GET, kBlockedPlayersPath, [this](const SimulatedRequest&) { return List(); });
    On(HOST_METHOD_POST, kBlockedPlayersPath,
       [this](const SimulatedRequest& request) { return Post(request); });
}

void SimulatedChat::Block(uint64_t summonerId, std::string name) {
    const Platform::MutexLock lock(chatMutex_);
    blocked_[summonerId] = std::move(name);
}

void SimulatedChat::Unblock(uint64_t summonerId) {
    const Platform::MutexLock lock(chatMutex_);
    blocked_.erase(summonerId);
}

std::vector<SimulatedChat::BlockedPlayer> SimulatedChat::BlockedPlayers() const {
    const Platform::MutexLock lock(chatMutex_);
    std::vector<BlockedPlayer> players;
    for (const auto& [id, name] : blocked_) {
        players.push_back({id, name});
    }
    return players;
}

std::vector<SimulatedChat::BlockedPlayer> SimulatedChat::PostedBlocks() const {
    const Platform::MutexLock lock(chatMutex_);
    return posted_.ToVector();
}

std::vector<uint64_t> SimulatedChat::Queries() const {
    const Platform::MutexLock lock(chatMutex_);
    return queries_.ToVector();
}

void SimulatedChat::SetRecordLimit(std::size_t limit) {
    SimulatedPlugin::SetRecordLimit(limit);
    const Platform::MutexLock lock(chatMutex_);
    posted_.SetLimit(limit);
    queries_.SetLimit(limit);
}

void SimulatedChat::FailQueries(uint32_t status, std::string text) {
    const Platform::MutexLock lock(chatMutex_);
    queryFailure_ = Failure{status, std::move(text)};
}

void SimulatedChat::FailPosts(uint32_t status, std::string text) {
    const Platform::MutexLock lock(chatMutex_);
    postFailure_ = Failure{status, std::move(text)};
}

void SimulatedChat::ClearFailures() {
    const Platform::MutexLock lock(chatMutex_);
    queryFailure_.reset();
    postFailure_.reset();
}

SimulatedAnswer SimulatedChat::Answer(const SimulatedRequest& request) {
    const std::string prefix = std::string(kBlockedPlayersPath) + "/";
    if (request.method == HOST_METHOD_GET && request.path.size() > prefix.size() &&
        request.path.compare(0, prefix.size(), prefix) == 0) {
        return Query(request.path.substr(prefix.size()));
    }
    return SimulatedPlugin::Answer(request);
}

SimulatedAnswer SimulatedChat::Query(const std::string& idText) {
    uint64_t id = 0;
    const char* end = idText.data() + idText.size();
    auto [stop, error] = std::from_chars(idText.data(), end, id);
    const Platform::MutexLock lock(chatMutex_);
    if (error != std::errc() || stop != end) {
        return SimulatedAnswer::Error(400, "Invalid summoner id " + idText);
    }
    queries_.Add(id);
    if (queryFailure_) {
        return SimulatedAnswer::Error(queryFailure_->status, queryFailure_->text);
    }
    auto found = blocked_.find(id);
    if (found == blocked_.end()) {
        return SimulatedAnswer::Error(404, "Player " + idText + " is not blocked");
    }
    return SimulatedAnswer::Value(Record({id, found->second}));
}

SimulatedAnswer SimulatedChat::List() {
    const Platform::MutexLock lock(chatMutex_);
    std::vector<OwnedHostValue> players;
    for (const auto& [id, name] : blocked_) {
        players.push_back(Record({id, name}));
    }
    return SimulatedAnswer::Value(OwnedHostValue::Collection(std::move(players)));
}

SimulatedAnswer SimulatedChat::Post(const SimulatedRequest& request) {
    const Platform::MutexLock lock(chatMutex_);
    if (postFailure_) {
        return SimulatedAnswer::Error(postFailure_->status, postFailure_->text);
    }
    if (request.arguments.empty()) {
        return SimulatedAnswer::Error(400, "A player to block is required");
    }
    const HostValue& record = request.arguments.front().value.Get();
    BlockedPlayer player;
    if (!ReadId(FindEntry(record, "id"), player.id) || player.id == 0) {
        return SimulatedAnswer::Error(400, "A blocked player needs a summoner id");
    }
    player.name = ReadText(FindEntry(record, "name"));
    blocked_[player.id] = player.name;
    posted_.Add(player);
    return SimulatedAnswer::Value(Record(player));
}

OwnedHostValue SimulatedChat::Record(const BlockedPlayer& player) {
    std::vector<std::pair<std::string, OwnedHostValue>> fields;
    fields.emplace_back("id", OwnedHostValue::Unsigned(player.id));
    fields.emplace_back("name", OwnedHostValue::String(player.name));
    return OwnedHostValue::Structure(std::move(fields));
}

}  // namespace Kolm::Host
