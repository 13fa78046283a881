#include "host/simulated/simulated_messaging_service.h"

#include <utility>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {

namespace {

// The resource's piece number `index` (0-based, split at "/"); empty when it has fewer.
std::string Piece(const std::string& resource, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        start = resource.find('/', start);
        if (start == std::string::npos) {
            return std::string();
        }
        ++start;
    }
    return resource.substr(start, resource.find('/', start) - start);
}

}  // namespace

SimulatedMessagingService::SimulatedMessagingService() : SimulatedPlugin(kPrefix) {}

std::string SimulatedMessagingService::TopicOf(const std::string& resource) {
    return kMessagePath + resource;
}

void SimulatedMessagingService::Deliver(const std::string& resource,
                                        const std::string& payload,
                                        ResourceEventType type) {
    int64_t timestamp = 0;
    {
        const Platform::MutexLock lock(deliveryMutex_);
        timestamp = nextTimestamp_++;
        deliveries_.Add({resource, payload});
    }
    std::vector<std::pair<std::string, OwnedHostValue>> fields;
    fields.emplace_back("resource", OwnedHostValue::String(resource));
    fields.emplace_back("service", OwnedHostValue::String(Piece(resource, 0)));
    fields.emplace_back("version", OwnedHostValue::String(Piece(resource, 1)));
    fields.emplace_back("timestamp", OwnedHostValue::Signed(timestamp));
    fields.emplace_back("payload", OwnedHostValue::String(payload));
    Publish(type, TopicOf(resource), OwnedHostValue::Structure(std::move(fields)));
}

std::vector<SimulatedMessagingService::Delivery> SimulatedMessagingService::Deliveries() const {
    const Platform::MutexLock lock(deliveryMutex_);
    return deliveries_.ToVector();
}

void SimulatedMessagingService::SetRecordLimit(std::size_t limit) {
    SimulatedPlugin::SetRecordLimit(limit);
    const Platform::MutexLock lock(deliveryMutex_);
    deliveries_.SetLimit(limit);
}

std::size_t SimulatedMessagingService::TopicReads(const std::string& resource) const {
    return RequestCount(HOST_METHOD_GET, TopicOf(resource));
}

}  // namespace Kolm::Host
