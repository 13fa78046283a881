#include "api/http_transport.h"

namespace Kolm::HttpBaseTransport {

HostRequestForm::HostRequestForm(const Request& request, std::string_view userAgent)
    : userAgent_(userAgent) {
    if (request.headers.find("user-agent") == request.headers.end()) {
        headers_.push_back(HostHeader{"user-agent", userAgent_.c_str()});
    }
    for (const auto& [name, value] : request.headers) {
        headers_.push_back(HostHeader{name.c_str(), value.c_str()});
    }
    record_.method = request.method;
    record_.url = request.url.c_str();
    record_.headers = headers_.empty() ? nullptr : headers_.data();
    record_.headerCount = static_cast<uint32_t>(headers_.size());
    record_.body = reinterpret_cast<const uint8_t*>(request.body.data());
    record_.bodyLength = static_cast<uint32_t>(request.body.size());
    record_.setting = request.setting;
    record_.flag = request.flag;
}

int32_t MapTransportCode(int32_t code) {
    return code == -1 || code == 0 || code == 2 ? code : 1;
}

Response ReadHostAnswer(const HostHttpResponse& answer) {
    Response response;
    response.transportCode = MapTransportCode(answer.transportCode);
    if (answer.body != nullptr) {
        response.body.assign(reinterpret_cast<const char*>(answer.body), answer.bodyLength);
    }
    if (response.transportCode != 0) {
        return response;
    }
    response.status = answer.status;
    for (uint32_t i = 0; answer.headers != nullptr && i < answer.headerCount; ++i) {
        const HostHeader& header = answer.headers[i];
        response.headers[header.name ? header.name : ""] = header.value ? header.value : "";
    }
    return response;
}

}  // namespace Kolm::HttpBaseTransport
