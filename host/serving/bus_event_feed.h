// BusEventFeed: streams every event of the host's event bus on an EventStream, from
// construction to destruction. The payload goes out as JSON; its "uri" member (resource events
// have one) is what the stream's uri filter compares.
#pragma once

#include <string>
#include <string_view>

#include "host/serving/http/event_stream.h"
#include "host/simulated/host_event_bus.h"

namespace Kolm::Host {

class BusEventFeed {
  public:
    // The plugin publishes each resource event under its URI's name and under this one.
    static constexpr const char* kPlainEventName = "OnJsonApiEvent";

    BusEventFeed(HostEventBus& bus, EventStream& stream);
    ~BusEventFeed();
    BusEventFeed(const BusEventFeed&) = delete;
    BusEventFeed& operator=(const BusEventFeed&) = delete;

    // The payload's "uri" member, empty when it is not a structure with a string one.
    static std::string PayloadUri(const HostValue& payload);

  private:
    HostEventBus& bus_;
    EventStream& stream_;
    HostEventBus::ListenerId listener_ = 0;
};

}  // namespace Kolm::Host
