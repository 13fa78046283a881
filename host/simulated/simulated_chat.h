// SimulatedChat: the chat plugin's list of blocked players. A GET of
// "/zun-chat/v1/blocked-players/<summonerId>" answers that blocked player ({id, name}) or 404
// when the player is not blocked; a GET of "/zun-chat/v1/blocked-players" answers the whole
// list; a POST to it with a {id, name} record blocks that player and answers the record.
//
// Tests block and unblock players, read the list and make either path fail. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/simulated/recent_records.h"
#include "host/simulated/simulated_plugin.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class SimulatedChat : public SimulatedPlugin {
  public:
    static constexpr const char* kPrefix = "/zun-chat";
    static constexpr const char* kBlockedPlayersPath = "/zun-chat/v1/blocked-players";

    struct BlockedPlayer {
        uint64_t id = 0;  // a summoner id
        std::string name;
        bool operator==(const BlockedPlayer&) const = default;
        friend std::size_t RecordBytes(const BlockedPlayer& player) {
            return sizeof(BlockedPlayer) + player.name.size();
        }
    };

    SimulatedChat();

    // Blocks (or renames) a player, as the player would in chat.
    void Block(uint64_t summonerId, std::string name);
    void Unblock(uint64_t summonerId);
    // The blocked players in id order.
    std::vector<BlockedPlayer> BlockedPlayers() const;
    // The newest players blocked through a POST (see SetRecordLimit), in order, as sent.
    std::vector<BlockedPlayer> PostedBlocks() const;
    // The newest single-player queries answered (failed ones included), in order.
    std::vector<uint64_t> Queries() const;
    void SetRecordLimit(std::size_t limit) override;

    // Until cleared, every single-player query (or every POST) answers this error and changes
    // nothing.
    void FailQueries(uint32_t status, std::string text);
    void FailPosts(uint32_t status, std::string text);
    void ClearFailures();

    SimulatedAnswer Answer(const SimulatedRequest& request) override;

  private:
    struct Failure {
        uint32_t status;
        std::string text;
    };

    SimulatedAnswer Query(const std::string& idText);
    SimulatedAnswer List();
    SimulatedAnswer Post(const SimulatedRequest& request);
    static OwnedHostValue Record(const BlockedPlayer& player);

    mutable Platform::Mutex chatMutex_;
    std::map<uint64_t, std::string> blocked_ ZC_GUARDED_BY(chatMutex_);
    RecentRecords<BlockedPlayer> posted_ ZC_GUARDED_BY(chatMutex_);
    RecentRecords<uint64_t> queries_ ZC_GUARDED_BY(chatMutex_);
    std::optional<Failure> queryFailure_ ZC_GUARDED_BY(chatMutex_);
    std::optional<Failure> postFailure_ ZC_GUARDED_BY(chatMutex_);
};

}  // namespace Kolm::Host
