// ResourceObservers: the plugin's observers of other plugins' resources, by exact URI and by
// wildcard pattern, and the dispatch of one received resource event to them.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace Kolm::Client {

struct PluginResourceEvent;

// Receives the resource events of one observed URI or pattern.
using ResourceObserver = std::function<void(const PluginResourceEvent& event)>;

// Thread rules: events arrive on several host threads while the plugin's handlers may add
// observers, so the tables are guarded by their own mutex; it is never held while an observer
// runs, and an observer may add observers (or replace itself) from inside its call.
class ResourceObservers {
  public:
    // A URI with a "*" is a pattern; a second observer of the same URI or pattern replaces the
    // first (a delivery already under way finishes with the old one).
    void Add(const std::string& uriOrPattern, ResourceObserver observer);
    // Calls the observer of the event's URI (with a leading "/" added when it has none), then
    // the observer of every matching pattern, in pattern order.
    void Dispatch(const PluginResourceEvent& event) const;
    void Clear();

    std::size_t ExactCount() const;
    std::size_t WildcardCount() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const ResourceObserver>> exact_;
    std::map<std::string, std::shared_ptr<const ResourceObserver>> wildcard_;
};

}  // namespace Kolm::Client
