#include "host/serving/world_snapshots.h"

#include <utility>

namespace Kolm::Host {
namespace {

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

}  // namespace

std::string WorldSnapshots::CheckName(std::string_view name) {
    bool allowed = !name.empty() && name.size() <= kMaxNameLength && name != "." && name != "..";
    for (const char c : name) {
        allowed = allowed && IsNameCharacter(c);
    }
    if (allowed) {
        return {};
    }
    const std::string shown = name.size() <= kMaxNameLength
                                  ? std::string(name)
                                  : std::string(name.substr(0, kMaxNameLength)) + "...";
    return "a snapshot name is 1 to " + std::to_string(kMaxNameLength) +
           " letters, digits, '-', '_' or '.' (and not \".\" or \"..\"); \"" + shown +
           "\" is not one";
}

std::string WorldSnapshots::Keep(const std::string& name, World world, std::size_t bytes) {
    if (std::string bad = CheckName(name); !bad.empty()) {
        return bad;
    }
    const Platform::MutexLock lock(mutex_);
    const auto found = kept_.find(name);
    const std::size_t replaced = found != kept_.end() ? found->second.bytes : 0;
    if (found == kept_.end() && kept_.size() >= kMaxCount) {
        return "at most " + std::to_string(kMaxCount) +
               " snapshots may be kept; delete one before keeping another";
    }
    const std::size_t total = bytes_ - replaced + bytes;
    if (total > kMaxBytes) {
        return "the snapshots may hold at most " + std::to_string(kMaxBytes) +
               " bytes of worlds together; this world of " + std::to_string(bytes) +
               " bytes would bring them to " + std::to_string(total) +
               "; delete some before keeping more";
    }
    kept_[name] = Kept{std::move(world), bytes};
    bytes_ = total;
    return {};
}

std::optional<World> WorldSnapshots::Find(const std::string& name) const {
    const Platform::MutexLock lock(mutex_);
    const auto found = kept_.find(name);
    if (found == kept_.end()) {
        return std::nullopt;
    }
    return found->second.world;
}

bool WorldSnapshots::Remove(const std::string& name) {
    const Platform::MutexLock lock(mutex_);
    const auto found = kept_.find(name);
    if (found == kept_.end()) {
        return false;
    }
    bytes_ -= found->second.bytes;
    kept_.erase(found);
    return true;
}

std::vector<WorldSnapshots::Summary> WorldSnapshots::List() const {
    const Platform::MutexLock lock(mutex_);
    std::vector<Summary> list;
    for (const auto& [name, kept] : kept_) {
        list.push_back({name, kept.bytes});
    }
    return list;
}

}  // namespace Kolm::Host
