#include "host/serving/serving_host.h"

#include <thread>

namespace Kolm::Host {

ServingHost::ServingHost(HostEventBus& bus,
                         SimulatedPlugins& plugins,
                         const CurlTransport& transport,
                         LogSink log,
                         uint32_t clientWord)
    : bus_(bus), plugins_(plugins), transport_(transport), log_(std::move(log)) {
    context_.api = &table_.api;
    context_.clientWord = clientWord;
}

ServingHost& ServingHost::From(const HostApi* api) {
    return HostApiTable<ServingHost>::OwnerOf(api);
}

void ZC_HOST_CALL ServingHost::SendRemotingRequest(const HostApi* api,
                                                   HostResponse* response,
                                                   const HostRequest* request) {
    if (response != nullptr && request != nullptr) {
        From(api).plugins_.Answer(*response, *request);
    }
}

void ZC_HOST_CALL ServingHost::SendHttpRequest(const HostApi* api,
                                               HostHttpResponse* response,
                                               const HostHttpRequest* request) {
    if (response != nullptr && request != nullptr) {
        From(api).transport_.Send(*response, *request);
    }
}

void ZC_HOST_CALL ServingHost::SendEvent(const HostApi* api, const HostEventRecord* event) {
    if (event != nullptr && event->eventName != nullptr) {
        From(api).bus_.Publish(event->eventName, event->payload);
    }
}

void ZC_HOST_CALL ServingHost::SubscribeHostEvent(const HostApi* api,
                                                  const char* eventName,
                                                  uint32_t clientWord,
                                                  HostEventCallback callback,
                                                  void* userData,
                                                  uint32_t kind) {
    if (eventName != nullptr && callback != nullptr) {
        From(api).bus_.Subscribe(eventName, clientWord, callback, userData, kind);
    }
}

void ZC_HOST_CALL ServingHost::UnsubscribeHostEvent(const HostApi* api,
                                                    const char* eventName,
                                                    uint32_t clientWord) {
    if (eventName != nullptr) {
        From(api).bus_.Unsubscribe(eventName, clientWord);
    }
}

void ZC_HOST_CALL
ServingHost::Reserved5(const HostApi*, uint32_t, uint32_t, uint32_t, double, uint32_t) {}

void ZC_HOST_CALL ServingHost::HostYield(const HostApi*) {
    std::this_thread::yield();
}

void ZC_HOST_CALL ServingHost::BeginWait(const HostApi*, const char*, uint32_t) {}

uint64_t ZC_HOST_CALL ServingHost::EndWait(const HostApi*) {
    return 0;
}

void ZC_HOST_CALL ServingHost::WriteLog(const HostApi* api, int32_t level, const char* line) {
    ServingHost& host = From(api);
    if (host.log_) {
        host.log_(level, line != nullptr ? line : "");
    }
}

}  // namespace Kolm::Host
