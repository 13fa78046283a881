// Setting up a plugin's side of the host's events: at load the shared host types and events are
// registered and the resource dispatcher and service-proxy tables installed; at Init the three
// service-proxy events are subscribed.
#pragma once

namespace Kolm {
class BindingTypeRegistry;
}

namespace Kolm::Client {

class PluginConnection;
class ServiceProxy;

// Load: registers the host's shared types and events in `registry` and installs the resource
// dispatcher and the service-proxy tables on `connection`. `connection` must outlive every
// delivery, which it does: Shutdown unsubscribes everything before the instance goes.
void InstallHostEvents(PluginConnection& connection, BindingTypeRegistry& registry);

// Init: subscribes "OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent" and
// "OnServiceProxyAsyncEvent" with kind 1, each answer converted and handed to the service-proxy
// tables. Does nothing when InstallHostEvents has not run.
void SubscribeServiceProxyEvents(PluginConnection& connection);

// The connection's service-proxy tables, or null before InstallHostEvents.
ServiceProxy* ServiceProxyOf(PluginConnection& connection);

}  // namespace Kolm::Client
