// RecordingHost: our stand-in for the host's side of the boundary. It owns a complete HostApi
// table and a HostContext, records every call the plugin makes through them, answers remote
// calls and HTTP requests from scripted handlers, and delivers events to the plugin's
// subscriptions.
//
// Thread rules: the plugin may call the table from several threads; the records are guarded by
// one mutex, which is never held while a scripted answer or a plugin callback runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/boundary/host_api_table.h"
#include "platform/mutex.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

struct RecordedHeader {
    std::string name;
    std::string value;
    bool operator==(const RecordedHeader&) const = default;
};

struct RecordedRemotingRequest {
    std::uint32_t method = 0;
    std::string uri;
    std::uint32_t argumentCount = 0;
    std::uint32_t callToken = 0;
};

struct RecordedHttpRequest {
    std::uint32_t method = 0;
    std::string url;
    std::vector<RecordedHeader> headers;
    std::string body;
    std::uint32_t setting = 0;
    std::uint8_t flag = 0;
};

struct RecordedEvent {
    std::string name;
    std::uint32_t payloadKind = 0;
};

struct RecordedSubscription {
    std::string name;
    std::uint32_t clientWord = 0;
    HostEventCallback callback = nullptr;
    void* userData = nullptr;
    std::uint32_t kind = 0;
};

struct RecordedUnsubscription {
    std::string name;
    std::uint32_t clientWord = 0;
    bool operator==(const RecordedUnsubscription&) const = default;
};

struct RecordedLogLine {
    std::int32_t level = 0;
    std::string line;
    bool operator==(const RecordedLogLine&) const = default;
};

struct RecordedWait {
    std::string label;
    std::uint32_t flags = 0;
};

class RecordingHost {
  public:
    using RemotingAnswer = std::function<void(HostResponse* response, const HostRequest* request)>;
    using HttpAnswer =
        std::function<void(HostHttpResponse* response, const HostHttpRequest* request)>;
    using EventObserver = std::function<void(const HostEventRecord& event)>;
    using LogObserver = std::function<void(std::int32_t level, const char* line)>;

    explicit RecordingHost(std::uint32_t clientWord = 0x5A17C0DE);
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // The table and the context handed to Init; both live as long as this host.
    const HostApi& Api() const { return table_.api; }
    const HostContext& Context() const { return context_; }
    std::uint32_t ClientWord() const { return context_.clientWord; }

    // Scripted answers; without one, remote calls get a 404 error response, HTTP requests a
    // transport failure. The records the answers fill belong to the answering code.
    void AnswerRemotingRequests(RemotingAnswer answer);
    void AnswerHttpRequests(HttpAnswer answer);
    // Called with each event the plugin sends, after it is recorded.
    void ObserveEvents(EventObserver observer);
    // Called with each log line, after it is recorded (the runnable host prints them).
    void ObserveLogLines(LogObserver observer);

    // Delivers an event to every current subscription of `eventName` as the host would;
    // returns the number of callbacks made. `payload` stays the caller's.
    int DeliverEvent(const std::string& eventName, const HostValue& payload);

    std::vector<RecordedRemotingRequest> RemotingRequests() const;
    std::vector<RecordedHttpRequest> HttpRequests() const;
    std::vector<RecordedEvent> Events() const;
    std::vector<RecordedSubscription> Subscriptions() const;  // every SubscribeHostEvent call
    std::vector<RecordedUnsubscription> Unsubscriptions() const;
    std::vector<RecordedSubscription> ActiveSubscriptions() const;
    std::vector<RecordedLogLine> LogLines() const;
    std::vector<RecordedWait> Waits() const;
    int YieldCount() const;
    int EndWaitCount() const;
    int Reserved5Count() const;

  private:
    friend struct HostApiTable<RecordingHost>;
    static RecordingHost& From(const HostApi* api);

    static void ZC_HOST_CALL SendRemotingRequest(const HostApi* api,
                                                 HostResponse* response,
                                                 const HostRequest* request);
    static void ZC_HOST_CALL SendHttpRequest(const HostApi* api,
                                             HostHttpResponse* response,
                                             const HostHttpRequest* request);
    static void ZC_HOST_CALL SendEvent(const HostApi* api, const HostEventRecord* event);
    static void ZC_HOST_CALL SubscribeHostEvent(const HostApi* api,
                                                const char* eventName,
                                                std::uint32_t clientWord,
                                                HostEventCallback callback,
                                                void* userData,
                                                std::uint32_t kind);
    static void ZC_HOST_CALL UnsubscribeHostEvent(const HostApi* api,
                                                  const char* eventName,
                                                  std::uint32_t clientWord);
    static void ZC_HOST_CALL Reserved5(const HostApi* api,
                                       std::uint32_t,
                                       std::uint32_t,
                                       std::uint32_t,
                                       double,
                                       std::uint32_t);
    static void ZC_HOST_CALL HostYield(const HostApi* api);
    static void ZC_HOST_CALL BeginWait(const HostApi* api, const char* label, std::uint32_t flags);
    static std::uint64_t ZC_HOST_CALL EndWait(const HostApi* api);
    static void ZC_HOST_CALL WriteLog(const HostApi* api, std::int32_t level, const char* line);

    HostApiTable<RecordingHost> table_{this};
    HostContext context_;

    mutable Platform::Mutex mutex_;
    RemotingAnswer remotingAnswer_ ZC_GUARDED_BY(mutex_);
    HttpAnswer httpAnswer_ ZC_GUARDED_BY(mutex_);
    EventObserver eventObserver_ ZC_GUARDED_BY(mutex_);
    LogObserver logObserver_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedRemotingRequest> remotingRequests_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedHttpRequest> httpRequests_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedEvent> events_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedSubscription> subscriptions_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedUnsubscription> unsubscriptions_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedSubscription> active_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedLogLine> logLines_ ZC_GUARDED_BY(mutex_);
    std::vector<RecordedWait> waits_ ZC_GUARDED_BY(mutex_);
    int yields_ ZC_GUARDED_BY(mutex_) = 0;
    int endWaits_ ZC_GUARDED_BY(mutex_) = 0;
    int reserved5_ ZC_GUARDED_BY(mutex_) = 0;
};

}  // namespace Kolm::Host
