// Resource events: publishing changes of the plugin's own resources and observing other
// plugins' resources.
//
//   PublishResourceEvent(connection, PluginResourceEventType::Update,
//                        "/zun-clubs/v1/clubs/membership", membership);
//   ObserveResource<LoginSession>(connection, "/zun-login/v1/session",
//       [](const ResourceEvent<LoginSession>& event) { ... });
//
// Every resource event reaches the host twice: under the host event name of its URI and under
// "OnJsonApiEvent". Conversion failures drop the single event silently.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "api/http_method.h"
#include "binding/binding_conversion.h"
#include "plugin/host_event_names.h"
#include "plugin/host_types.h"
#include "plugin/plugin_connection.h"
#include "plugin/remote_call.h"
#include "plugin/resource_observers.h"

namespace Kolm::Client {

template <class T>
using ResourceHandler = std::function<void(const ResourceEvent<T>& event)>;

// Converts `event` through the registry and sends it under the host event name of its URI, then
// under `eventName` when that differs. A failed conversion sends nothing and comes back as the
// failed result; success carries no value.
BindingResult SendResourceEvent(PluginConnection& connection,
                                const std::string& eventName,
                                const PluginResourceEvent& event);

// Publishes a Create, Update or Delete of `uri` with `value` as its data.
template <class T>
void PublishResourceEvent(PluginConnection& connection,
                          PluginResourceEventType type,
                          std::string_view uri,
                          const T& value) {
    BindingResult data = ToBinding(value, connection.TypeRegistry());
    if (!data) {
        return;
    }
    PluginResourceEvent event;
    event.uri = std::string(uri);
    event.eventType = type;
    event.data = std::move(data.value);
    SendResourceEvent(connection, Kolm::kJsonApiEventName, event);
}

namespace ResourceEventDetail {

// The typed wrapper of an observer: Delete events carry default data; other events whose data
// does not convert to T are dropped.
template <class T>
ResourceObserver Wrap(const BindingTypeRegistry* registry, ResourceHandler<T> handler) {
    return [registry, handler = std::move(handler)](const PluginResourceEvent& event) {
        ResourceEvent<T> typed;
        typed.uri = event.uri;
        typed.eventType = event.eventType;
        if (event.eventType != PluginResourceEventType::Delete) {
            BindingResult converted = FromBinding(event.data, typed.data, "data", registry);
            if (!converted) {
                return;
            }
        }
        handler(typed);
    };
}

bool IsPattern(std::string_view uriOrPattern);

}  // namespace ResourceEventDetail

// Observes `uriOrPattern` (a "*" makes it a wildcard pattern) with `handler`, replacing an
// earlier observer of it, and subscribes its host event. An exact URI is read at once with a
// GET and, when that succeeds, its current value is delivered as a Create.
template <class T>
void ObserveResource(PluginConnection& connection,
                     const std::string& uriOrPattern,
                     ResourceHandler<T> handler) {
    ResourceObserver observer =
        ResourceEventDetail::Wrap<T>(connection.TypeRegistry(), std::move(handler));
    connection.resourceObservers.Add(uriOrPattern, observer);
    connection.Subscribe(uriOrPattern);
    if (ResourceEventDetail::IsPattern(uriOrPattern)) {
        return;
    }
    RemoteResult<BindingProperty> current =
        RemoteCall<BindingProperty>(connection, HttpMethod::Get, uriOrPattern);
    if (current.failed) {
        return;
    }
    PluginResourceEvent event;
    event.uri = uriOrPattern;
    event.eventType = PluginResourceEventType::Create;
    event.data = std::move(current.value);
    observer(event);
}

// The resource dispatcher installed at load: converts each delivered resource event and hands it
// to the observers. Undeliverable payloads are dropped.
void DispatchResourceEvent(PluginConnection& connection, const HostEventDelivery& delivery);

}  // namespace Kolm::Client
