// The host's shared records: the plugin manager's state, resource events, LCDS messages and
// service-proxy answers, which every plugin registers at load so it can read and write them, and
// the typed resource event an observer's handler receives.
#pragma once

#include <cstdint>
#include <string>

#include "binding/binding_property.h"

namespace Kolm {
class BindingTypeRegistry;
}

namespace Kolm::Client {

enum class PluginManagerState : std::int32_t {
    NotReady = 0,
    PluginsInitialized = 1,
};

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : std::int32_t {
    Create = 0,
    Update = 1,
    Delete = 2,
};

// A change of one resource as it travels between plugins; `data` is the resource's new value.
struct PluginResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

// What an observer of resources of native type T receives; `data` is default-constructed for a
// Delete.
template <class T>
struct ResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    T data{};
};

namespace AppModule {

struct PluginLcdsEvent {
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    BindingProperty body;
};

struct PluginLcdsResponse {
    std::string typeName;
    BindingProperty body;
};

// A back-end service's answer relayed by the host.
struct PluginServiceProxyResponse {
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

}  // namespace AppModule

// Registers the records above and the host's events ("OnJsonApiEvent", "OnLcdsEvent" and the
// three service-proxy events), all tagged "kclient". Registering twice changes nothing.
void RegisterHostTypes(BindingTypeRegistry& registry);

}  // namespace Kolm::Client
