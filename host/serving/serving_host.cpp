#include "host/serving/serving_host.h"

#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "host/serving/request_bridge.h"
#include "host/serving/transport_answer.h"

namespace Kolm::Host {
namespace {

// The service names of fault rules for the simulated plugins' path prefixes.
std::string_view ServiceOfRemoteCall(std::string_view path) {
    static const std::pair<std::string_view, std::string_view> services[] = {
        {"/zun-login", "login"},
        {"/zun-platform-config", "platform-config"},
        {"/zun-summoner", "summoner"},
        {"/zun-chat", "chat"},
        {"/player-notifications", "player-notifications"},
        {"/kolm-messaging-service", "messaging"},
    };
    for (const auto& [prefix, service] : services) {
        if (path.substr(0, prefix.size()) == prefix &&
            (path.size() == prefix.size() || path[prefix.size()] == '/')) {
            return service;
        }
    }
    return {};
}

// "http://host:port/v1/clubs?x=1" -> "/v1/clubs".
std::string_view PathOfUrl(std::string_view url) {
    const std::size_t scheme = url.find("://");
    const std::size_t start = url.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
    if (start == std::string_view::npos) {
        return "/";
    }
    const std::string_view path = url.substr(start);
    return path.substr(0, path.find_first_of("?#"));
}

// Waits out the effect's latency; true when the effect replaces the answer as well. A rule
// removed during the wait no longer decides the answer: the call goes on to the service as if
// the rule had never applied (the tester removed it to see the service answer). A host that
// stops cuts the wait short but keeps the rest of the rule, so a call that was to fail does not
// reach the service on the way out.
bool Delay(FaultRules& faults, const FaultEffect& effect) {
    if (faults.WaitOut(effect) == FaultWait::Withdrawn) {
        return false;
    }
    return effect.status.has_value() || effect.transportFailure;
}

// A simulated plugin's failing answer: its status with the body as the value (and, from 400
// on, as the error text); with no answer at all, the error a call that reached no plugin gets.
SimulatedAnswer RemoteCallFault(const FaultEffect& effect, std::string_view service) {
    if (effect.transportFailure) {
        return SimulatedAnswer::Error(
            0, "the " + std::string(service) + " plugin did not answer (fault rule)");
    }
    const std::string body = effect.bodyJson.empty() ? "null" : effect.bodyJson;
    SimulatedAnswer answer = SimulatedAnswer::Value(
        OwnedHostValue::FromJson(body).value_or(OwnedHostValue::Null()), *effect.status);
    if (*effect.status >= 400) {
        answer.hasError = true;
        answer.errorText = body;
    }
    return answer;
}

}  // namespace

ServingHost::ServingHost(HostEventBus& bus,
                         SimulatedPlugins& plugins,
                         const HttpTransport& transport,
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
    if (response == nullptr || request == nullptr) {
        return;
    }
    ServingHost& host = From(api);
    if (host.faults_ != nullptr && request->uri != nullptr) {
        const std::string_view uri = request->uri;
        const std::string_view path = uri.substr(0, uri.find('?'));
        const std::string_view service = ServiceOfRemoteCall(path);
        const std::optional<FaultEffect> effect =
            service.empty() ? std::nullopt
                            : host.faults_->Apply(service, MethodName(request->method), path);
        if (effect && Delay(*host.faults_, *effect)) {
            WriteSimulatedAnswer(*response, RemoteCallFault(*effect, service));
            return;
        }
    }
    host.plugins_.Answer(*response, *request);
}

void ZC_HOST_CALL ServingHost::SendHttpRequest(const HostApi* api,
                                               HostHttpResponse* response,
                                               const HostHttpRequest* request) {
    if (response == nullptr || request == nullptr) {
        return;
    }
    ServingHost& host = From(api);
    if (host.faults_ != nullptr && request->url != nullptr) {
        const std::optional<FaultEffect> effect =
            host.faults_->Apply("clubs", MethodName(request->method), PathOfUrl(request->url));
        if (effect && Delay(*host.faults_, *effect)) {
            if (effect->transportFailure) {
                FailTransport(*response, "the clubs web service did not answer (fault rule)");
            } else {
                AnswerWith(*response, *effect->status, effect->bodyJson);
            }
            return;
        }
    }
    host.transport_.Send(*response, *request);
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
