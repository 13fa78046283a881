#include "plugin/resource_events.h"

#include "plugin/host_event_names.h"

namespace Kolm::Client {

namespace {

void Send(PluginConnection& connection, const std::string& name, const HostValue& payload) {
    HostEventRecord record{};
    record.eventName = name.c_str();
    record.payload = payload;
    record.reserved = 0;
    connection.SendEvent(&record);
}

}  // namespace

bool ResourceEventDetail::IsPattern(std::string_view uriOrPattern) {
    return uriOrPattern.find('*') != std::string_view::npos;
}

BindingResult SendResourceEvent(PluginConnection& connection,
                                const std::string& eventName,
                                const PluginResourceEvent& event) {
    const BindingTypeRegistry* registry = connection.TypeRegistry();
    BindingResult value = registry != nullptr ? ToBinding(event, *registry)
                                              : BindingResult::Failure(
                                                    "Couldn't convert native value because "
                                                    "it's an unregistered structure.");
    if (!value) {
        return value;
    }
    const std::string hostName = HostEventNameOfUri(event.uri);
    HostValue payload{};
    std::string error;
    if (!ToHostValue(value.value, payload, registry, &error)) {
        ReleaseHostValue(payload);
        return BindingResult::Failure(error);
    }
    Send(connection, hostName, payload);
    if (hostName != eventName) {
        Send(connection, eventName, payload);
    }
    ReleaseHostValue(payload);
    return value;
}

void DispatchResourceEvent(PluginConnection& connection, const HostEventDelivery& delivery) {
    const BindingTypeRegistry* registry = connection.TypeRegistry();
    if (registry == nullptr) {
        return;
    }
    BindingResult payload = FromHostValue(delivery.payload, "<payload>");
    if (!payload) {
        return;
    }
    PluginResourceEvent event;
    if (!FromBinding(payload.value, event, "<result>", *registry)) {
        return;
    }
    connection.resourceObservers.Dispatch(event);
}

}  // namespace Kolm::Client
