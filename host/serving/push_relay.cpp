#include "host/serving/push_relay.h"

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
    std::lock_guard guard(mutex_);
    if (stopping_) {
        return;
    }
    const auto [waiting, added] = waiting_.try_emplace(resource, std::move(payload));
    if (!added) {
        waiting->second = std::move(payload);  // try_emplace left it untouched
        return;
    }
    queue_.push_back(std::move(resource));
    changed_.notify_all();
}

void PushRelay::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || (queue_.empty() && !delivering_); });
}

std::size_t PushRelay::Waiting() {
    std::lock_guard guard(mutex_);
    return queue_.size();
}

void PushRelay::Stop() {
    if (service_ != nullptr) {
        service_->RemoveObserver(observerId_);
        service_ = nullptr;
    }
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
        queue_.clear();
        waiting_.clear();
        changed_.notify_all();
    }
    if (worker_.joinable()) {
        worker_.join();
    }
}

void PushRelay::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            return;
        }
        std::string resource = std::move(queue_.front());
        queue_.pop_front();
        const auto waiting = waiting_.find(resource);
        std::string payload = std::move(waiting->second);
        waiting_.erase(waiting);
        delivering_ = true;
        lock.unlock();
        messaging_.Deliver(resource, payload);
        lock.lock();
        delivering_ = false;
        changed_.notify_all();
    }
}

}  // namespace Kolm::Host
