// PushRelay: carries the clubs web service's change notices to the messaging service as push
// messages, from a thread of its own. A change is noticed on the thread that made it, which is
// often the service's HTTP worker answering the plugin's own action while the plugin still
// holds its clubs lock; delivering the push there would block the plugin's push handler on
// that lock and the action on its HTTP answer. Queued delivery is also what a real messaging
// service does: pushes arrive after the answer, in order.
//
// A message that waits is replaced by a newer one about the same resource (it keeps its place
// in the order): every push names a resource whose whole state the receiver reads again, and
// the plugin reads the club or membership anew for each one, which is slower than the service
// changes it under a steady stream of actions. Without merging, the queue would grow with every
// action for as long as the stream lasts; with it, it holds at most one message per resource.
//
// Lifetime: both services must outlive the relay; destroying it stops the forwarding and drops
// what is still queued.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <thread>
#include <unordered_map>

#include "host/clubs_web_service/clubs_web_service.h"
#include "host/simulated/simulated_messaging_service.h"
#include "platform/mutex.h"

namespace Kolm::Host {

class PushRelay {
  public:
    explicit PushRelay(SimulatedMessagingService& messaging);
    ~PushRelay();
    PushRelay(const PushRelay&) = delete;
    PushRelay& operator=(const PushRelay&) = delete;

    // Forwards every change of `service` from now on (one service at a time).
    void Follow(ClubsWebService& service);
    // Queues one message about `resource` ("clubs/v1/clubs/<key>", ...).
    void Push(std::string resource, std::string payload);
    // Blocks until everything queued so far has been delivered (for tests and orderly stops).
    void Drain();
    // How many messages wait to be delivered.
    std::size_t Waiting();
    void Stop();

  private:
    void Run() ZC_EXCLUDES(mutex_);

    SimulatedMessagingService& messaging_;
    // Touched only by Follow and Stop, which the relay's owner calls one at a time.
    ClubsWebService* service_ = nullptr;
    int observerId_ = 0;
    Platform::Mutex mutex_;
    Platform::CondVar changed_;
    // Resources, in the order of their first waiting message.
    std::deque<std::string> queue_ ZC_GUARDED_BY(mutex_);
    // Resource: newest payload.
    std::unordered_map<std::string, std::string> waiting_ ZC_GUARDED_BY(mutex_);
    bool delivering_ ZC_GUARDED_BY(mutex_) = false;
    bool stopping_ ZC_GUARDED_BY(mutex_) = false;
    std::thread worker_;
};

}  // namespace Kolm::Host
