#include "host/serving/transport_answer.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace Kolm::Host {
namespace {

// A thread_local object is not used: the Windows toolchain runs a thread_local object's
// destructor after it has released the object's storage. The system's own thread storage with
// a destructor (fiber storage on Windows, a key elsewhere) frees each thread's answer instead.
void DeleteAnswer(void* answer) {
    delete static_cast<TransportAnswer*>(answer);
}

#if defined(_WIN32)
void WINAPI DeleteAnswerOnExit(void* answer) {
    DeleteAnswer(answer);
}

TransportAnswer& ThreadAnswer() {
    static const DWORD slot = FlsAlloc(&DeleteAnswerOnExit);
    auto* answer = static_cast<TransportAnswer*>(FlsGetValue(slot));
    if (answer == nullptr) {
        answer = new TransportAnswer;
        FlsSetValue(slot, answer);
    }
    return *answer;
}
#else
pthread_key_t MakeKey() {
    pthread_key_t key;
    pthread_key_create(&key, &DeleteAnswer);
    return key;
}

TransportAnswer& ThreadAnswer() {
    static const pthread_key_t key = MakeKey();
    auto* answer = static_cast<TransportAnswer*>(pthread_getspecific(key));
    if (answer == nullptr) {
        answer = new TransportAnswer;
        pthread_setspecific(key, answer);
    }
    return *answer;
}
#endif

}  // namespace

TransportAnswer& NewTransportAnswer(HostHttpResponse& response) {
    response = HostHttpResponse{};
    TransportAnswer& answer = ThreadAnswer();
    answer.body.clear();
    answer.headerTexts.clear();
    answer.headers.clear();
    return answer;
}

void PublishTransportAnswer(HostHttpResponse& response, uint32_t status) {
    TransportAnswer& answer = ThreadAnswer();
    answer.headers.clear();
    for (const auto& [name, value] : answer.headerTexts) {
        answer.headers.push_back(HostHeader{name.c_str(), value.c_str()});
    }
    response.transportCode = 0;
    response.status = status;
    response.headers = answer.headers.empty() ? nullptr : answer.headers.data();
    response.headerCount = static_cast<uint32_t>(answer.headers.size());
    response.body =
        answer.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(answer.body.data());
    response.bodyLength = static_cast<uint32_t>(answer.body.size());
}

void AnswerWith(HostHttpResponse& response, uint32_t status, const std::string& body) {
    TransportAnswer& answer = NewTransportAnswer(response);
    answer.body = body;
    answer.headerTexts.emplace_back("Content-Type", "application/json");
    PublishTransportAnswer(response, status);
}

void FailTransport(HostHttpResponse& response, const std::string& text) {
    TransportAnswer& answer = NewTransportAnswer(response);
    answer.body = text;
    response.transportCode = 1;
    response.status = 0;
    response.body = reinterpret_cast<const uint8_t*>(answer.body.data());
    response.bodyLength = static_cast<uint32_t>(answer.body.size());
}

}  // namespace Kolm::Host
