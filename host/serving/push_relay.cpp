#include "host/serving/push_relay.h"

#include "host/serving/request_journal.h"

namespace Kolm::Host {

PushRelay::PushRelay(SimulatedMessagingService& messaging) : messaging_(messaging) {
    worker_ = std::thread([this] { Run(); });
}

PushRelay::~PushRelay() {
    Stop();
}

void PushRelay::Follow(ClubsWebService& service) {
    service_ = &service;
    observerId_ = service.AddObserver(
        [this](const std::string& topic, const std::string& payload) { Push(topic, payload); });
}

void PushRelay::Push(std::string resource, std::string payload) {
    const Platform::MutexLock lock(mutex_);
    if (stopping_) {
        return;
    }
    const auto [waiting, added] = waiting_.try_emplace(resource, std::move(payload));
    if (!added) {
        waiting->second = std::move(payload);  // try_emplace left it untouched
        return;
    }
    queue_.push_back(std::move(resource));
    changed_.NotifyAll();
}

void PushRelay::Drain() {
    const Platform::MutexLock lock(mutex_);
    while (!stopping_ && (!queue_.empty() || delivering_)) {
        changed_.Wait(mutex_);
    }
}

std::size_t PushRelay::Waiting() {
    const Platform::MutexLock lock(mutex_);
    return queue_.size();
}

void PushRelay::Stop() {
    if (service_ != nullptr) {
        service_->RemoveObserver(observerId_);
        service_ = nullptr;
    }
    {
        const Platform::MutexLock lock(mutex_);
        stopping_ = true;
        queue_.clear();
        waiting_.clear();
        changed_.NotifyAll();
    }
    if (worker_.joinable()) {
        worker_.join();
    }
}

void PushRelay::Run() {
    for (;;) {
        std::string resource;
        std::string payload;
        {
            const Platform::MutexLock lock(mutex_);
            if (delivering_) {
                delivering_ = false;
                changed_.NotifyAll();
            }
            while (!stopping_ && queue_.empty()) {
                changed_.Wait(mutex_);
            }
            if (stopping_) {
                return;
            }
            resource = std::move(queue_.front());
            queue_.pop_front();
            const auto waiting = waiting_.find(resource);
            payload = std::move(waiting->second);
            waiting_.erase(waiting);
            delivering_ = true;
        }
        // The plugin's refetches on hearing the push name it as their cause.
        const JournalCauseScope cause("push", resource);
        messaging_.Deliver(resource, payload);
    }
}

}  // namespace Kolm::Host
