#include "host/testing/recording_host.h"

#include <algorithm>
#include <cstddef>

namespace Kolm::Host {
namespace {

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

char kNoRemoteAnswer[] = "no simulated plugin answers this request";
char kNoHttpAnswer[] = "no web service answers this request";

}  // namespace

RecordingHost::RecordingHost(std::uint32_t clientWord) {
    context_.api = &table_.api;
    context_.clientWord = clientWord;
}

RecordingHost& RecordingHost::From(const HostApi* api) {
    return HostApiTable<RecordingHost>::OwnerOf(api);
}

void RecordingHost::AnswerRemotingRequests(RemotingAnswer answer) {
    const Platform::MutexLock lock(mutex_);
    remotingAnswer_ = std::move(answer);
}

void RecordingHost::AnswerHttpRequests(HttpAnswer answer) {
    const Platform::MutexLock lock(mutex_);
    httpAnswer_ = std::move(answer);
}

void RecordingHost::ObserveEvents(EventObserver observer) {
    const Platform::MutexLock lock(mutex_);
    eventObserver_ = std::move(observer);
}

void RecordingHost::ObserveLogLines(LogObserver observer) {
    const Platform::MutexLock lock(mutex_);
    logObserver_ = std::move(observer);
}

int RecordingHost::DeliverEvent(const std::string& eventName, const HostValue& payload) {
    std::vector<RecordedSubscription> targets;
    {
        const Platform::MutexLock lock(mutex_);
        for (const RecordedSubscription& subscription : active_) {
            if (subscription.name == eventName) {
                targets.push_back(subscription);
            }
        }
    }
    for (const RecordedSubscription& subscription : targets) {
        HostEventDelivery delivery{};
        delivery.eventName = eventName.c_str();
        delivery.payload = payload;
        delivery.reserved = 0;
        delivery.userData = subscription.userData;
        subscription.callback(&delivery);
    }
    return static_cast<int>(targets.size());
}

void ZC_HOST_CALL RecordingHost::SendRemotingRequest(const HostApi* api,
                                                     HostResponse* response,
                                                     const HostRequest* request) {
    RecordingHost& host = From(api);
    RemotingAnswer answer;
    {
        const Platform::MutexLock lock(host.mutex_);
        RecordedRemotingRequest record;
        if (request != nullptr) {
            record.method = request->method;
            record.uri = Text(request->uri);
            record.argumentCount = request->argumentCount;
            record.callToken = request->callToken;
        }
        host.remotingRequests_.push_back(std::move(record));
        answer = host.remotingAnswer_;
    }
    if (response == nullptr) {
        return;
    }
    if (answer) {
        answer(response, request);
        return;
    }
    response->hasError = 1;
    response->errorText = kNoRemoteAnswer;
    response->status = 404;
}

void ZC_HOST_CALL RecordingHost::SendHttpRequest(const HostApi* api,
                                                 HostHttpResponse* response,
                                                 const HostHttpRequest* request) {
    RecordingHost& host = From(api);
    HttpAnswer answer;
    {
        const Platform::MutexLock lock(host.mutex_);
        RecordedHttpRequest record;
        if (request != nullptr) {
            record.method = request->method;
            record.url = Text(request->url);
            for (std::uint32_t i = 0; request->headers != nullptr && i < request->headerCount;
                 ++i) {
                record.headers.push_back(
                    {Text(request->headers[i].name), Text(request->headers[i].value)});
            }
            if (request->body != nullptr) {
                record.body.assign(reinterpret_cast<const char*>(request->body),
                                   request->bodyLength);
            }
            record.setting = request->setting;
            record.flag = request->flag;
        }
        host.httpRequests_.push_back(std::move(record));
        answer = host.httpAnswer_;
    }
    if (response == nullptr) {
        return;
    }
    if (answer) {
        answer(response, request);
        return;
    }
    response->transportCode = 1;
    response->body = reinterpret_cast<const std::uint8_t*>(kNoHttpAnswer);
    response->bodyLength = sizeof(kNoHttpAnswer) - 1;
}

void ZC_HOST_CALL RecordingHost::SendEvent(const HostApi* api, const HostEventRecord* event) {
    RecordingHost& host = From(api);
    EventObserver observer;
    {
        const Platform::MutexLock lock(host.mutex_);
        if (event != nullptr) {
            host.events_.push_back({Text(event->eventName), event->payload.kind});
        }
        observer = host.eventObserver_;
    }
    if (observer && event != nullptr) {
        observer(*event);
    }
}

void ZC_HOST_CALL RecordingHost::SubscribeHostEvent(const HostApi* api,
                                                    const char* eventName,
                                                    std::uint32_t clientWord,
                                                    HostEventCallback callback,
                                                    void* userData,
                                                    std::uint32_t kind) {
    RecordingHost& host = From(api);
    const Platform::MutexLock lock(host.mutex_);
    RecordedSubscription subscription{Text(eventName), clientWord, callback, userData, kind};
    host.subscriptions_.push_back(subscription);
    if (callback != nullptr) {
        host.active_.push_back(std::move(subscription));
    }
}

void ZC_HOST_CALL RecordingHost::UnsubscribeHostEvent(const HostApi* api,
                                                      const char* eventName,
                                                      std::uint32_t clientWord) {
    RecordingHost& host = From(api);
    const Platform::MutexLock lock(host.mutex_);
    const std::string name = Text(eventName);
    host.unsubscriptions_.push_back({name, clientWord});
    std::erase_if(host.active_, [&](const RecordedSubscription& subscription) {
        return subscription.name == name && subscription.clientWord == clientWord;
    });
}

void ZC_HOST_CALL RecordingHost::Reserved5(const HostApi* api,
                                           std::uint32_t,
                                           std::uint32_t,
                                           std::uint32_t,
                                           double,
                                           std::uint32_t) {
    RecordingHost& host = From(api);
    const Platform::MutexLock lock(host.mutex_);
    ++host.reserved5_;
}

void ZC_HOST_CALL RecordingHost::HostYield(const HostApi* api) {
    RecordingHost& host = From(api);
    const Platform::MutexLock lock(host.mutex_);
    ++host.yields_;
}

void ZC_HOST_CALL RecordingHost::BeginWait(const HostApi* api,
                                           const char* label,
                                           std::uint32_t flags) {
    RecordingHost& host = From(api);
    const Platform::MutexLock lock(host.mutex_);
    host.waits_.push_back({Text(label), flags});
}

std::uint64_t ZC_HOST_CALL RecordingHost::EndWait(const HostApi* api) {
    RecordingHost& host = From(api);
    const Platform::MutexLock lock(host.mutex_);
    ++host.endWaits_;
    return 0;
}

void ZC_HOST_CALL RecordingHost::WriteLog(const HostApi* api,
                                          std::int32_t level,
                                          const char* line) {
    RecordingHost& host = From(api);
    LogObserver observer;
    {
        const Platform::MutexLock lock(host.mutex_);
        host.logLines_.push_back({level, Text(line)});
        observer = host.logObserver_;
    }
    if (observer) {
        observer(level, line != nullptr ? line : "");
    }
}

#define ZC_RECORDING_HOST_GETTER(type, name, member) \
    type RecordingHost::name() const {               \
        const Platform::MutexLock lock(mutex_);      \
        return member;                               \
    }

ZC_RECORDING_HOST_GETTER(std::vector<RecordedRemotingRequest>, RemotingRequests, remotingRequests_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedHttpRequest>, HttpRequests, httpRequests_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedEvent>, Events, events_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedSubscription>, Subscriptions, subscriptions_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedUnsubscription>, Unsubscriptions, unsubscriptions_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedSubscription>, ActiveSubscriptions, active_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedLogLine>, LogLines, logLines_)
ZC_RECORDING_HOST_GETTER(std::vector<RecordedWait>, Waits, waits_)
ZC_RECORDING_HOST_GETTER(int, YieldCount, yields_)
ZC_RECORDING_HOST_GETTER(int, EndWaitCount, endWaits_)
ZC_RECORDING_HOST_GETTER(int, Reserved5Count, reserved5_)

#undef ZC_RECORDING_HOST_GETTER

}  // namespace Kolm::Host
