#include "plugin/resource_events.h"

#include <cstdint>
#include <cstring>

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

// Converts `data` into the "data" entry of the converted event record `payload`, whose data was
// left Empty (a null value).
bool ConvertData(HostValue& payload,
                 const BindingProperty& data,
                 const BindingTypeRegistry* registry,
                 std::string* error) {
    if (payload.kind != HOST_VALUE_KIND_STRUCTURE) {
        return false;
    }
    for (std::uint32_t i = 0; i < payload.payload.structure.count; ++i) {
        HostValueEntry& entry = payload.payload.structure.entries[i];
        if (std::strcmp(entry.key, "data") == 0) {
            return ToHostValue(data, entry.value, registry, error);
        }
    }
    return false;
}

}  // namespace

bool ResourceEventDetail::IsPattern(std::string_view uriOrPattern) {
    return uriOrPattern.find('*') != std::string_view::npos;
}

BindingResult SendResourceEvent(PluginConnection& connection,
                                const std::string& eventName,
                                const PluginResourceEvent& event) {
    const BindingTypeRegistry* registry = connection.TypeRegistry();
    if (registry == nullptr) {
        return BindingResult::Failure(
            "Couldn't convert native value because it's an unregistered structure.");
    }
    // The record is converted without its data, which goes into the host value on its own:
    // converting the record whole would first copy the data tree into the record's tree, and
    // published values can be whole member lists.
    PluginResourceEvent header;
    header.uri = event.uri;
    header.eventType = event.eventType;
    BindingResult value = ToBinding(header, *registry);
    if (!value) {
        return value;
    }
    HostValue payload{};
    std::string error;
    if (!ToHostValue(value.value, payload, registry, &error) ||
        !ConvertData(payload, event.data, registry, &error)) {
        ReleaseHostValue(payload);
        return BindingResult::Failure(error);
    }
    const std::string hostName = HostEventNameOfUri(event.uri);
    Send(connection, hostName, payload);
    if (hostName != eventName) {
        Send(connection, eventName, payload);
    }
    ReleaseHostValue(payload);
    return BindingResult();
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
