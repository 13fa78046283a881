// SimulatedMessagingService: the messaging service that carries the clubs web service's push
// messages to the client. A message about a resource ("clubs/v1/clubs/<key>",
// "clubs/v1/membership/<platformId>/<accountId>") is published as a resource event on the topic
// "/kolm-messaging-service/v1/message/" + resource, its value a message record {resource,
// service, version, timestamp, payload}. The last message of each topic is kept, so that a
// plugin that starts following a topic reads it with a GET as it would in the client; a topic
// without a message answers 404.
//
// Thread-safe; delivery runs on the caller's thread with no lock held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/simulated/recent_records.h"
#include "host/simulated/simulated_plugin.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class SimulatedMessagingService : public SimulatedPlugin {
  public:
    static constexpr const char* kPrefix = "/kolm-messaging-service";
    static constexpr const char* kMessagePath = "/kolm-messaging-service/v1/message/";

    struct Delivery {
        std::string resource;
        std::string payload;

        friend std::size_t RecordBytes(const Delivery& delivery) {
            return sizeof(Delivery) + delivery.resource.size() + delivery.payload.size();
        }
    };

    SimulatedMessagingService();

    // The topic path of a resource.
    static std::string TopicOf(const std::string& resource);

    // Sends one message about `resource` to whoever follows its topic and keeps it for the
    // topic's reads. `service` and `version` are the resource's first two pieces; timestamps
    // count up from 1 in delivery order.
    void Deliver(const std::string& resource,
                 const std::string& payload,
                 ResourceEventType type = ResourceEventType::Create);

    // The newest messages delivered (see SetRecordLimit), in order.
    std::vector<Delivery> Deliveries() const;
    void SetRecordLimit(std::size_t limit) override;
    // GETs of a resource's topic so far (the reads a new follower makes).
    std::size_t TopicReads(const std::string& resource) const;

  private:
    mutable Platform::Mutex deliveryMutex_;
    RecentRecords<Delivery> deliveries_ ZC_GUARDED_BY(deliveryMutex_);
    int64_t nextTimestamp_ ZC_GUARDED_BY(deliveryMutex_) = 1;
};

}  // namespace Kolm::Host
