#include "host/simulated/simulated_player_notifications.h"

#include <cstddef>
#include <utility>

namespace Kolm::Host {

SimulatedPlayerNotifications::SimulatedPlayerNotifications() : SimulatedPlugin(kPrefix) {
    notifications_.SetLimit(kListLimit);
    On(HOST_METHOD_GET, kNotificationsPath, [this](const SimulatedRequest&) { return Read(); });
    On(HOST_METHOD_POST, kNotificationsPath,
       [this](const SimulatedRequest& request) { return Post(request); });
}

void SimulatedPlayerNotifications::Add(OwnedHostValue notification) {
    const Platform::MutexLock lock(listMutex_);
    Append(std::move(notification));
}

void SimulatedPlayerNotifications::Append(OwnedHostValue notification) {
    notifications_.Add(std::move(notification));
}

void SimulatedPlayerNotifications::Clear() {
    const Platform::MutexLock lock(listMutex_);
    notifications_.Clear();
    posted_.Clear();
}

std::vector<OwnedHostValue> SimulatedPlayerNotifications::Notifications() const {
    const Platform::MutexLock lock(listMutex_);
    return notifications_.ToVector();
}

std::vector<OwnedHostValue> SimulatedPlayerNotifications::Posted() const {
    const Platform::MutexLock lock(listMutex_);
    return posted_.ToVector();
}

std::size_t SimulatedPlayerNotifications::ReadCount() const {
    return RequestCount(HOST_METHOD_GET, kNotificationsPath);
}

void SimulatedPlayerNotifications::SetRecordLimit(std::size_t limit) {
    SimulatedPlugin::SetRecordLimit(limit);
    const Platform::MutexLock lock(listMutex_);
    posted_.SetLimit(limit);
}

void SimulatedPlayerNotifications::FailReads(uint32_t status, std::string text) {
    const Platform::MutexLock lock(listMutex_);
    readFailure_ = Failure{status, std::move(text)};
}

void SimulatedPlayerNotifications::FailPosts(uint32_t status, std::string text) {
    const Platform::MutexLock lock(listMutex_);
    postFailure_ = Failure{status, std::move(text)};
}

void SimulatedPlayerNotifications::ClearFailures() {
    const Platform::MutexLock lock(listMutex_);
    readFailure_.reset();
    postFailure_.reset();
}

SimulatedAnswer SimulatedPlayerNotifications::Read() {
    const Platform::MutexLock lock(listMutex_);
    if (readFailure_) {
        return SimulatedAnswer::Error(readFailure_->status, readFailure_->text);
    }
    return SimulatedAnswer::Value(OwnedHostValue::Collection(notifications_.ToVector()));
}

SimulatedAnswer SimulatedPlayerNotifications::Post(const SimulatedRequest& request) {
    OwnedHostValue record;
    {
        const Platform::MutexLock lock(listMutex_);
        if (postFailure_) {
            return SimulatedAnswer::Error(postFailure_->status, postFailure_->text);
        }
        if (request.arguments.empty()) {
            return SimulatedAnswer::Error(400, "A notification to post is required");
        }
        record = request.arguments.front().value;
        if (record.Get().kind != HOST_VALUE_KIND_STRUCTURE) {
            return SimulatedAnswer::Error(400, "A notification must be a structure");
        }
        Append(record);
        posted_.Add(record);
    }
    // Announced like the platform's own notifications resource does, so that a front end sees
    // the toast arrive; published outside the list's lock, since listeners may read the list.
    Publish(ResourceEventType::Create, kNotificationsPath, record);
    return SimulatedAnswer::Value(record);
}

}  // namespace Kolm::Host
