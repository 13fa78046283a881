#include "host/serving/bus_event_feed.h"

#include <cstring>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {

BusEventFeed::BusEventFeed(HostEventBus& bus, EventStream& stream) : bus_(bus), stream_(stream) {
    listener_ = bus_.Listen("", [this](std::string_view name, const HostValue& payload) {
        stream_.Publish(name, HostValueToJson(payload), PayloadUri(payload));
    });
}

BusEventFeed::~BusEventFeed() {
    bus_.StopListening(listener_);
}

std::string BusEventFeed::PayloadUri(const HostValue& payload) {
    if (payload.kind != HOST_VALUE_KIND_STRUCTURE || payload.payload.structure.entries == nullptr) {
        return {};
    }
    for (uint32_t i = 0; i < payload.payload.structure.count; ++i) {
        const HostValueEntry& entry = payload.payload.structure.entries[i];
        if (entry.key == nullptr || std::strcmp(entry.key, "uri") != 0) {
            continue;
        }
        const HostValue& value = entry.value;
        if ((value.kind == HOST_VALUE_KIND_STRING ||
             value.kind == HOST_VALUE_KIND_BORROWED_STRING) &&
            value.payload.string.text != nullptr) {
            return value.payload.string.text;
        }
    }
    return {};
}

}  // namespace Kolm::Host
