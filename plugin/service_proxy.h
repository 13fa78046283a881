// ServiceProxy: what a plugin keeps of the back-end service answers that the host relays as
// service-proxy events: answers queued by uuid or by "service.method", pending requests that
// wait for one of those keys, and handlers of asynchronous answers.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/host_types.h"
#include "plugin/plugin_connection.h"

namespace Kolm::Client {

// The host events under which service-proxy answers arrive.
inline constexpr const char* kServiceProxyUuidEvent = "OnServiceProxyUuidEvent";
inline constexpr const char* kServiceProxyMethodEvent = "OnServiceProxyMethodEvent";
inline constexpr const char* kServiceProxyAsyncEvent = "OnServiceProxyAsyncEvent";

// Thread rules: every table is guarded by the connection's service-proxy mutex, which Clear
// expects its caller to hold (PluginConnection::Shutdown does) and every other member takes
// itself. Handlers run with the mutex released, after the tables have been updated, so a handler
// may queue, register or wait for answers again without deadlocking.
class ServiceProxy final : public ServiceProxyTables {
  public:
    using Response = AppModule::PluginServiceProxyResponse;
    using ResponseHandler = std::function<void(const Response& response)>;

    explicit ServiceProxy(std::mutex& mutex) : mutex_(mutex) {}

    // "%1.%2" of the service and method names.
    static std::string MethodKey(const Response& response);

    // Queues the answer under its uuid, or under its method key, and fulfils the first pending
    // request that one of the queues can serve.
    void OnUuidEvent(const Response& response);
    void OnMethodEvent(const Response& response);
    // Hands the answer to the async handler of its method key, or logs that there is none.
    void OnAsyncEvent(const Response& response);

    // A request waiting for the first answer queued under `key` (possibly queued already).
    void AddPendingRequest(const std::string& key, ResponseHandler handler);
    void SetAsyncHandler(const std::string& key, ResponseHandler handler);

    std::size_t QueuedCount(const std::string& key) const;
    std::vector<std::string> QueueKeys() const;
    bool HasPendingRequest(const std::string& key) const;

    // Empties every table; the caller holds the service-proxy mutex.
    void Clear() override;

  private:
    void Enqueue(const std::string& key, const Response& response);
    void ProcessQueues();

    std::mutex& mutex_;
    std::map<std::string, std::shared_ptr<ResponseHandler>> pending_;
    std::map<std::string, std::shared_ptr<ResponseHandler>> asyncHandlers_;
    std::map<std::string, std::deque<Response>> queues_;
};

}  // namespace Kolm::Client
