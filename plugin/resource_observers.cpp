#include "plugin/resource_observers.h"

#include <vector>

#include "plugin/host_event_names.h"
#include "plugin/host_types.h"

namespace Kolm::Client {

void ResourceObservers::Add(const std::string& uriOrPattern, ResourceObserver observer) {
    auto shared = std::make_shared<const ResourceObserver>(std::move(observer));
    std::lock_guard guard(mutex_);
    auto& table = uriOrPattern.find('*') != std::string::npos ? wildcard_ : exact_;
    table[uriOrPattern] = std::move(shared);
}

void ResourceObservers::Dispatch(const PluginResourceEvent& event) const {
    PluginResourceEvent normalized;
    const PluginResourceEvent* delivered = &event;
    if (event.uri.empty() || event.uri.front() != '/') {
        normalized = event;
        normalized.uri = NormalizeResourceUri(event.uri);
        delivered = &normalized;
    }
    std::vector<std::shared_ptr<const ResourceObserver>> targets;
    {
        std::lock_guard guard(mutex_);
        const auto exact = exact_.find(delivered->uri);
        if (exact != exact_.end()) {
            targets.push_back(exact->second);
        }
        for (const auto& [pattern, observer] : wildcard_) {
            if (MatchesWildcard(pattern, delivered->uri)) {
                targets.push_back(observer);
            }
        }
    }
    for (const auto& observer : targets) {
        if (*observer) {
            (*observer)(*delivered);
        }
    }
}

void ResourceObservers::Clear() {
    std::map<std::string, std::shared_ptr<const ResourceObserver>> exact;
    std::map<std::string, std::shared_ptr<const ResourceObserver>> wildcard;
    {
        std::lock_guard guard(mutex_);
        exact.swap(exact_);
        wildcard.swap(wildcard_);
    }
    // The observers die here, outside the lock: their captures may do anything on destruction.
}

std::size_t ResourceObservers::ExactCount() const {
    std::lock_guard guard(mutex_);
    return exact_.size();
}

std::size_t ResourceObservers::WildcardCount() const {
    std::lock_guard guard(mutex_);
    return wildcard_.size();
}

}  // namespace Kolm::Client
