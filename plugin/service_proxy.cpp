#include "plugin/service_proxy.h"

#include "logging/log_record.h"
#include "logging/logger.h"

namespace Kolm::Client {

std::string ServiceProxy::MethodKey(const Response& response) {
    return response.serviceName + "." + response.methodName;
}

void ServiceProxy::OnUuidEvent(const Response& response) {
    Enqueue(response.uuid, response);
    ProcessQueues();
}

void ServiceProxy::OnMethodEvent(const Response& response) {
    Enqueue(MethodKey(response), response);
    ProcessQueues();
}

void ServiceProxy::OnAsyncEvent(const Response& response) {
    const std::string key = MethodKey(response);
    std::shared_ptr<ResponseHandler> handler;
    {
        std::lock_guard guard(mutex_);
        const auto found = asyncHandlers_.find(key);
        if (found != asyncHandlers_.end()) {
            handler = found->second;
        }
    }
    if (handler == nullptr) {
        Log(kLogError, kLogGroupDbg,
            "Could not find registered handler for async service proxy event %s", key.c_str());
        return;
    }
    (*handler)(response);
}

void ServiceProxy::AddPendingRequest(const std::string& key, ResponseHandler handler) {
    {
        std::lock_guard guard(mutex_);
        pending_[key] = std::make_shared<ResponseHandler>(std::move(handler));
    }
    ProcessQueues();
}

void ServiceProxy::SetAsyncHandler(const std::string& key, ResponseHandler handler) {
    std::lock_guard guard(mutex_);
    asyncHandlers_[key] = std::make_shared<ResponseHandler>(std::move(handler));
}

void ServiceProxy::Enqueue(const std::string& key, const Response& response) {
    std::lock_guard guard(mutex_);
    queues_[key].push_back(response);
}

void ServiceProxy::ProcessQueues() {
    std::shared_ptr<ResponseHandler> handler;
    Response oldest;
    std::string key;
    {
        std::lock_guard guard(mutex_);
        for (auto queue = queues_.begin(); queue != queues_.end(); ++queue) {
            const auto request = pending_.find(queue->first);
            if (request == pending_.end() || queue->second.empty()) {
                continue;
            }
            key = queue->first;
            oldest = std::move(queue->second.front());
            handler = std::move(request->second);
            pending_.erase(request);
            queues_.erase(queue);
            break;
        }
    }
    if (handler == nullptr) {
        return;
    }
    if (*handler) {
        (*handler)(oldest);
    }
    Log(kLogAlways, kLogGroupDbg, "Fulfilled service proxy request: %s", key.c_str());
}

std::size_t ServiceProxy::QueuedCount(const std::string& key) const {
    std::lock_guard guard(mutex_);
    const auto found = queues_.find(key);
    return found == queues_.end() ? 0 : found->second.size();
}

std::vector<std::string> ServiceProxy::QueueKeys() const {
    std::lock_guard guard(mutex_);
    std::vector<std::string> keys;
    for (const auto& entry : queues_) {
        keys.push_back(entry.first);
    }
    return keys;
}

bool ServiceProxy::HasPendingRequest(const std::string& key) const {
    std::lock_guard guard(mutex_);
    return pending_.count(key) != 0;
}

void ServiceProxy::Clear() {
    pending_.clear();
    asyncHandlers_.clear();
    queues_.clear();
}

}  // namespace Kolm::Client
