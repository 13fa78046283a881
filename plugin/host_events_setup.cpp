#include "plugin/host_events_setup.h"

#include <memory>

#include "binding/binding_conversion.h"
#include "plugin/host_types.h"
#include "plugin/plugin_connection.h"
#include "plugin/resource_events.h"
#include "plugin/service_proxy.h"

namespace Kolm::Client {

namespace {

using ProxyEvent = void (ServiceProxy::*)(const ServiceProxy::Response&);

std::shared_ptr<HostEventHandler> ServiceProxyHandler(PluginConnection& connection,
                                                      ServiceProxy& proxy,
                                                      ProxyEvent event) {
    return std::make_shared<HostEventHandler>(
        [&connection, &proxy, event](const HostEventDelivery& delivery) {
            const BindingTypeRegistry* registry = connection.TypeRegistry();
            BindingResult payload = FromHostValue(delivery.payload, "<result>");
            if (registry == nullptr || !payload) {
                return;
            }
            ServiceProxy::Response response;
            if (!FromBinding(payload.value, response, "<result>", *registry)) {
                return;
            }
            (proxy.*event)(response);
        });
}

}  // namespace

void InstallHostEvents(PluginConnection& connection, BindingTypeRegistry& registry) {
    RegisterHostTypes(registry);
    connection.SetResourceDispatcher(
        std::make_shared<HostEventHandler>([&connection](const HostEventDelivery& delivery) {
            DispatchResourceEvent(connection, delivery);
        }));
    std::lock_guard guard(connection.serviceProxyMutex);
    if (connection.serviceProxy == nullptr) {
        connection.serviceProxy = std::make_unique<ServiceProxy>(connection.serviceProxyMutex);
    }
}

ServiceProxy* ServiceProxyOf(PluginConnection& connection) {
    std::lock_guard guard(connection.serviceProxyMutex);
    return dynamic_cast<ServiceProxy*>(connection.serviceProxy.get());
}

void SubscribeServiceProxyEvents(PluginConnection& connection) {
    ServiceProxy* proxy = ServiceProxyOf(connection);
    if (proxy == nullptr) {
        return;
    }
    connection.SubscribeHostEventCounted(
        kServiceProxyUuidEvent, ServiceProxyHandler(connection, *proxy, &ServiceProxy::OnUuidEvent),
        HOST_EVENT_KIND_SERVICE_PROXY);
    connection.SubscribeHostEventCounted(
        kServiceProxyMethodEvent,
        ServiceProxyHandler(connection, *proxy, &ServiceProxy::OnMethodEvent),
        HOST_EVENT_KIND_SERVICE_PROXY);
    connection.SubscribeHostEventCounted(
        kServiceProxyAsyncEvent,
        ServiceProxyHandler(connection, *proxy, &ServiceProxy::OnAsyncEvent),
        HOST_EVENT_KIND_SERVICE_PROXY);
}

}  // namespace Kolm::Client
