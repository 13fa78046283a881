// WorldSnapshots: the world the host started with, and the worlds a tester keeps under a name
// to go back to later. Worlds are held read and checked, so that going back to one is only an
// application of it (HostWorld::Apply), with no document to read again.
//
// The kept worlds are bounded in number and in the bytes of their documents, since each may be
// as large as a world may be. Thread-safe.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/worlds/world.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class WorldSnapshots {
  public:
    static constexpr std::size_t kMaxNameLength = 64;
    static constexpr std::size_t kMaxCount = 32;
    // Of the kept worlds' documents (as GET of the world writes them) together.
    static constexpr std::size_t kMaxBytes = 128 * 1024 * 1024;

    struct Summary {
        std::string name;
        std::size_t bytes = 0;
    };

    explicit WorldSnapshots(World starting) : starting_(std::move(starting)) {}

    const World& Starting() const { return starting_; }

    // "" when `name` may name a snapshot, else why not.
    static std::string CheckName(std::string_view name);
    // Keeps `world` (whose document is `bytes` long) under `name`, replacing the world kept
    // under it. "" when kept, else why not (a bad name, or past the bounds); nothing changes then.
    std::string Keep(const std::string& name, World world, std::size_t bytes);
    std::optional<World> Find(const std::string& name) const;
    bool Remove(const std::string& name);
    // Every kept world, by name.
    std::vector<Summary> List() const;

  private:
    struct Kept {
        World world;
        std::size_t bytes = 0;
    };

    const World starting_;
    mutable Platform::Mutex mutex_;
    std::map<std::string, Kept, std::less<>> kept_ ZC_GUARDED_BY(mutex_);
    std::size_t bytes_ ZC_GUARDED_BY(mutex_) = 0;
};

}  // namespace Kolm::Host
