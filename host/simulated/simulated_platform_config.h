// SimulatedPlatformConfig: the platform-configuration plugin. Its values live in namespaces
// ("/zun-platform-config/v1/namespaces/<namespace>/<key>"): a GET of a value's path answers the
// value, a GET of a namespace's path answers a structure of all its values, and every change
// is published as a resource event on the value's path.
//
// Tests make namespace reads fail to play a configuration that cannot be read. Thread-safe.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "host/boundary/owned_host_value.h"
#include "host/simulated/simulated_plugin.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class SimulatedPlatformConfig : public SimulatedPlugin {
  public:
    static constexpr const char* kPrefix = "/zun-platform-config";
    static constexpr const char* kNamespacesPath = "/zun-platform-config/v1/namespaces/";

    SimulatedPlatformConfig();

    // Sets (Create, Update) or removes (Delete) the value at `path`, a value's full path, and
    // publishes the change. A path outside the namespaces is only published.
    void SetValue(const std::string& path,
                  OwnedHostValue value,
                  ResourceEventType type = ResourceEventType::Update);
    // The same by namespace and key ("Clubs", "ClubsMemberIcon").
    void SetNamespaceValue(const std::string& nameSpace,
                           const std::string& key,
                           OwnedHostValue value,
                           ResourceEventType type = ResourceEventType::Update);

    // Every GET of a whole namespace answers this error until ClearNamespaceFailure.
    void FailNamespaceReads(uint32_t status, std::string text);
    void ClearNamespaceFailure();

    // GETs of whole namespaces answered so far (failed ones included). They are answered here
    // and not recorded among ReceivedRequests.
    std::size_t NamespaceReads() const;

    // A GET of a namespace path answers its structure (404 for an unknown namespace); every
    // other call goes to the plain plugin's routing (held values, handlers).
    SimulatedAnswer Answer(const SimulatedRequest& request) override;

  private:
    struct Failure {
        uint32_t status;
        std::string text;
    };

    mutable Platform::Mutex configMutex_;
    std::map<std::string, std::map<std::string, OwnedHostValue>> namespaces_
        ZC_GUARDED_BY(configMutex_);
    std::optional<Failure> namespaceFailure_ ZC_GUARDED_BY(configMutex_);
    std::size_t namespaceReads_ ZC_GUARDED_BY(configMutex_) = 0;
};

}  // namespace Kolm::Host
