#include "host/simulated/simulated_platform_config.h"

#include <string_view>
#include <utility>
#include <vector>

namespace Kolm::Host {

namespace {

// Splits "<namespace>/<key>" after the namespaces path; false for anything else.
bool SplitValuePath(const std::string& path, std::string& nameSpace, std::string& key) {
    const std::string_view prefix = SimulatedPlatformConfig::kNamespacesPath;
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const std::string rest = path.substr(prefix.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == rest.size() ||
        rest.find('/', slash + 1) != std::string::npos) {
        return false;
    }
    nameSpace = rest.substr(0, slash);
    key = rest.substr(slash + 1);
    return true;
}

// The namespace named by a namespace path ("<namespaces path><namespace>"), or none.
std::optional<std::string> NamespaceOf(const std::string& path) {
    const std::string_view prefix = SimulatedPlatformConfig::kNamespacesPath;
    if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size()) {
        return std::nullopt;
    }
    std::string nameSpace = path.substr(prefix.size());
    if (nameSpace.find('/') != std::string::npos) {
        return std::nullopt;
    }
    return nameSpace;
}

}  // namespace

SimulatedPlatformConfig::SimulatedPlatformConfig() : SimulatedPlugin(kPrefix) {}

void SimulatedPlatformConfig::SetValue(const std::string& path,
                                       OwnedHostValue value,
                                       ResourceEventType type) {
    std::string nameSpace;
    std::string key;
    if (SplitValuePath(path, nameSpace, key)) {
        const Platform::MutexLock lock(configMutex_);
        if (type == ResourceEventType::Delete) {
            namespaces_[nameSpace].erase(key);
        } else {
            namespaces_[nameSpace][key] = value;
        }
    }
    Publish(type, path, std::move(value));
}

void SimulatedPlatformConfig::SetNamespaceValue(const std::string& nameSpace,
                                                const std::string& key,
                                                OwnedHostValue value,
                                                ResourceEventType type) {
    SetValue(std::string(kNamespacesPath) + nameSpace + "/" + key, std::move(value), type);
}

void SimulatedPlatformConfig::FailNamespaceReads(uint32_t status, std::string text) {
    const Platform::MutexLock lock(configMutex_);
    namespaceFailure_ = Failure{status, std::move(text)};
}

void SimulatedPlatformConfig::ClearNamespaceFailure() {
    const Platform::MutexLock lock(configMutex_);
    namespaceFailure_.reset();
}

SimulatedAnswer SimulatedPlatformConfig::Answer(const SimulatedRequest& request) {
    const std::optional<std::string> nameSpace =
        request.method == HOST_METHOD_GET ? NamespaceOf(request.path) : std::nullopt;
    if (!nameSpace) {
        return SimulatedPlugin::Answer(request);
    }
    const Platform::MutexLock lock(configMutex_);
    ++namespaceReads_;
    if (namespaceFailure_) {
        return SimulatedAnswer::Error(namespaceFailure_->status, namespaceFailure_->text);
    }
    std::vector<std::pair<std::string, OwnedHostValue>> entries;
    auto found = namespaces_.find(*nameSpace);
    if (found == namespaces_.end()) {
        return SimulatedAnswer::Error(404, "No namespace " + *nameSpace);
    }
    for (const auto& [key, value] : found->second) {
        entries.emplace_back(key, value);
    }
    return SimulatedAnswer::Value(OwnedHostValue::Structure(std::move(entries)));
}

std::size_t SimulatedPlatformConfig::NamespaceReads() const {
    const Platform::MutexLock lock(configMutex_);
    return namespaceReads_;
}

}  // namespace Kolm::Host
