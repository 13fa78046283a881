#include "host/serving/serving_host.h"

#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "host/boundary/owned_host_value.h"
#include "host/serving/http/http_message.h"
#include "host/serving/request_bridge.h"
#include "host/serving/transport_answer.h"

namespace Kolm::Host {
namespace {

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

// "http://host:port/v1/clubs?x=1" -> "/v1/clubs?x=1".
std::string_view TargetOfUrl(std::string_view url) {
    const std::size_t scheme = url.find("://");
    const std::size_t start = url.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
    return start == std::string_view::npos ? std::string_view("/") : url.substr(start);
}

// What a remote call sends: its body, else its explicit arguments as a JSON object.
std::string RemoteCallBody(const HostRequest& request) {
    if (request.body != nullptr) {
        return std::string(reinterpret_cast<const char*>(request.body), request.bodyLength);
    }
    if (request.arguments == nullptr || request.argumentCount == 0) {
        return {};
    }
    std::string json = "{";
    for (uint32_t i = 0; i < request.argumentCount; ++i) {
        const HostArgument& argument = request.arguments[i];
        json += (i == 0 ? "" : ",") + JsonQuote(argument.name != nullptr ? argument.name : "") +
                ":" + HostValueToJson(argument.value);
    }
    return json + "}";
}

void RecordRemoteAnswer(JournalCall& journal, const HostResponse& response) {
    const std::string value = response.value.kind != 0 ? HostValueToJson(response.value) : "";
    const char* error =
        response.hasError != 0 && response.errorText != nullptr ? response.errorText : "";
    // A simulated plugin answers a success with status 0; the journal shows what it means.
    const uint32_t status = response.status == 0 && response.hasError == 0 ? 200 : response.status;
    journal.Answer(status, value, error);
}

void RecordHttpAnswer(JournalCall& journal, const HostHttpResponse& response) {
    const std::string_view body(reinterpret_cast<const char*>(response.body),
                                response.body != nullptr ? response.bodyLength : 0);
    if (response.transportCode != 0) {
        journal.Answer(0, {}, body.empty() ? "the transport failed" : body);
    } else {
        journal.Answer(response.status, body, {});
    }
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
    const std::string_view uri = request->uri != nullptr ? request->uri : "";
    const std::string_view path = uri.substr(0, uri.find('?'));
    const std::string_view service = FaultServiceOfCall(path);
    JournalCall journal(host.journal_, service.empty() ? "other" : service,
                        MethodName(request->method), uri);
    if (host.journal_ != nullptr) {
        journal.RequestBody(RemoteCallBody(*request));
    }
    if (host.faults_ != nullptr && request->uri != nullptr) {
        const std::optional<FaultEffect> effect =
            service.empty() ? std::nullopt
                            : host.faults_->Apply(service, MethodName(request->method), path);
        if (effect) {
            journal.FaultRule(effect->ruleId);
        }
        if (effect && Delay(*host.faults_, *effect)) {
            WriteSimulatedAnswer(*response, RemoteCallFault(*effect, service));
            RecordRemoteAnswer(journal, *response);
            return;
        }
    }
    host.plugins_.Answer(*response, *request);
    if (host.journal_ != nullptr) {
        RecordRemoteAnswer(journal, *response);
    }
}

void ZC_HOST_CALL ServingHost::SendHttpRequest(const HostApi* api,
                                               HostHttpResponse* response,
                                               const HostHttpRequest* request) {
    if (response == nullptr || request == nullptr) {
        return;
    }
    ServingHost& host = From(api);
    const std::string_view url = request->url != nullptr ? request->url : "";
    JournalCall journal(host.journal_, "clubs", MethodName(request->method), TargetOfUrl(url));
    if (request->body != nullptr) {
        journal.RequestBody({reinterpret_cast<const char*>(request->body), request->bodyLength});
    }
    if (host.faults_ != nullptr && request->url != nullptr) {
        const std::optional<FaultEffect> effect =
            host.faults_->Apply("clubs", MethodName(request->method), PathOfUrl(request->url));
        if (effect) {
            journal.FaultRule(effect->ruleId);
        }
        if (effect && Delay(*host.faults_, *effect)) {
            if (effect->transportFailure) {
                FailTransport(*response, "the clubs web service did not answer (fault rule)");
            } else {
                AnswerWith(*response, *effect->status, effect->bodyJson);
            }
            RecordHttpAnswer(journal, *response);
            return;
        }
    }
    host.transport_.Send(*response, *request);
    RecordHttpAnswer(journal, *response);
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
