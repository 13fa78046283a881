// ClubsPushBridge: connects the in-memory clubs web service to the simulated messaging service,
// so that every change the service makes, whoever asked for it, reaches the plugin as the push
// message the client would get: one message per changed club or membership, on its topic, with
// the new state's JSON as payload.
//
// Lifetime: both services must outlive the bridge; destroying it stops the forwarding. Thread
// rules are those of the two services (messages go out on the thread that made the change).
#pragma once

#include "host/clubs_web_service/clubs_web_service.h"
#include "host/simulated_messaging_service.h"

namespace Kolm::Host {

class ClubsPushBridge {
  public:
    ClubsPushBridge(ClubsWebService& service, SimulatedMessagingService& messaging);
    ~ClubsPushBridge();
    ClubsPushBridge(const ClubsPushBridge&) = delete;
    ClubsPushBridge& operator=(const ClubsPushBridge&) = delete;

  private:
    ClubsWebService& service_;
    int observerId_;
};

}  // namespace Kolm::Host
