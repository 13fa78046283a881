// ClubsPushBridge: connects the in-memory clubs web service to the simulated messaging service,
// so that every change the service makes, whoever asked for it, reaches the plugin as the push
// message the client would get: one message per changed club or membership, on its topic, with
// the new state's JSON as payload.
//
// Lifetime: both services must outlive the bridge; destroying it stops the forwarding.
// Messages go out synchronously on the thread that made the change. That suits a host that runs
// the service on the plugin's own calling thread (the test hosts): a message caused by the
// plugin's action reaches the plugin while that action still runs and is deferred by the clubs
// lock until it ends. A host whose service answers on other threads must queue the deliveries
// instead, or the push handler would wait for the lock held by the action waiting for the answer.
#pragma once

#include "host/clubs_web_service/clubs_web_service.h"
#include "host/simulated/simulated_messaging_service.h"

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
