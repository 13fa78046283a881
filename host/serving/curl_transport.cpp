#include "host/serving/curl_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/serving/request_bridge.h"
#include "host/serving/transport_answer.h"

namespace Kolm::Host {
namespace {

constexpr long kDefaultTimeoutSeconds = 20;
constexpr long kMaxTimeoutSeconds = 300;

// What the callbacks of one transfer write to.
struct Receiving {
    TransportAnswer& answer;
    std::size_t maxBody = 0;
    bool truncated = false;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& receiving = *static_cast<Receiving*>(user);
    const std::size_t bytes = size * count;
    if (receiving.answer.body.size() + bytes > receiving.maxBody) {
        receiving.truncated = true;
        return 0;  // aborts the transfer
    }
    receiving.answer.body.append(data, bytes);
    return bytes;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    TransportAnswer& answer = static_cast<Receiving*>(user)->answer;
    const std::size_t bytes = size * count;
    std::string line(data, bytes);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.pop_back();
    }
    if (line.rfind("HTTP/", 0) == 0) {
        answer.headerTexts.clear();  // a new response (after 100 Continue): its own headers
        return bytes;
    }
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        answer.headerTexts.emplace_back(line.substr(0, colon), std::move(value));
    }
    return bytes;
}

bool IsSafeHeaderText(const char* text) {
    return text != nullptr && std::strpbrk(text, "\r\n") == nullptr;
}

curl_slist* RequestHeaders(const HostHttpRequest& request) {
    curl_slist* list = nullptr;
    for (uint32_t i = 0; request.headers != nullptr && i < request.headerCount; ++i) {
        const HostHeader& header = request.headers[i];
        if (!IsSafeHeaderText(header.name) || !IsSafeHeaderText(header.value) ||
            *header.name == '\0' || std::strchr(header.name, ':') != nullptr) {
            continue;
        }
        // "Name;" is curl's form of a header with an empty value.
        const std::string line = *header.value == '\0'
                                     ? std::string(header.name) + ";"
                                     : std::string(header.name) + ": " + header.value;
        list = curl_slist_append(list, line.c_str());
    }
    return curl_slist_append(list, "Expect:");  // no 100-continue round trip
}

}  // namespace

void CurlTransport::Global() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void CurlTransport::Send(HostHttpResponse& response, const HostHttpRequest& request) const {
    if (request.url == nullptr || *request.url == '\0') {
        FailTransport(response, "no URL given");
        return;
    }
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        FailTransport(response, "cannot create an HTTP client");
        return;
    }
    Receiving receiving{NewTransportAnswer(response), maxBodyBytes_};
    curl_slist* headers = RequestHeaders(request);
    const long timeout = request.setting == 0 ? kDefaultTimeoutSeconds
                                              : std::min<long>(static_cast<long>(request.setting),
                                                               kMaxTimeoutSeconds);
    const long verify = request.flag != 0 ? 1L : 0L;
    const char* method = MethodName(request.method);
    curl_easy_setopt(curl, CURLOPT_URL, request.url);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, verify);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, verify != 0 ? 2L : 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &receiving);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &receiving);
    if (request.method == HOST_METHOD_HEAD) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (request.method != HOST_METHOD_GET || request.bodyLength > 0) {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, *method != '\0' ? method : "GET");
        if (request.method != HOST_METHOD_GET || request.body != nullptr) {
            curl_easy_setopt(
                curl, CURLOPT_POSTFIELDSIZE_LARGE,
                static_cast<curl_off_t>(request.body != nullptr ? request.bodyLength : 0));
            curl_easy_setopt(
                curl, CURLOPT_POSTFIELDS,
                request.body != nullptr ? reinterpret_cast<const char*>(request.body) : "");
        }
    }
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    if (result != CURLE_OK) {
        FailTransport(response, receiving.truncated ? "the answer's body is too large"
                                                    : std::string(curl_easy_strerror(result)));
        return;
    }
    PublishTransportAnswer(response, static_cast<uint32_t>(status));
}

}  // namespace Kolm::Host
