#include "host/simulated/clubs_push_bridge.h"

#include <string>

namespace Kolm::Host {

ClubsPushBridge::ClubsPushBridge(ClubsWebService& service, SimulatedMessagingService& messaging)
    : service_(service),
      observerId_(
          service.AddObserver([&messaging](const std::string& topic, const std::string& payload) {
              messaging.Deliver(topic, payload);
          })) {}

ClubsPushBridge::~ClubsPushBridge() {
    service_.RemoveObserver(observerId_);
}

}  // namespace Kolm::Host
