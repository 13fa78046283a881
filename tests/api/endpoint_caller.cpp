#include "tests/api/endpoint_caller.h"

#include <cstring>

namespace Kolm::ApiTest {

const HostFunctionEntry* EndpointCaller::Find(const std::string& functionName) const {
    for (const HostFunctionEntry* entry = description_ ? description_->functions : nullptr;
         entry != nullptr; entry = entry->next) {
        if (functionName == entry->name) {
            return entry;
        }
    }
    return nullptr;
}

Answer EndpointCaller::Invoke(const std::string& functionName, const Call& call) const {
    std::vector<HostHeader> headers;
    for (const auto& [name, value] : call.headers) {
        headers.push_back(HostHeader{name.c_str(), value.c_str()});
    }
    std::vector<HostArgument> arguments;
    for (const auto& [name, value] : call.arguments) {
        arguments.push_back(HostArgument{name, value});
    }
    HostRequest request{};
    request.method = call.method;
    request.uri = call.uri.c_str();
    request.arguments = arguments.empty() ? nullptr : arguments.data();
    request.argumentCount = static_cast<uint32_t>(arguments.size());
    const HostFunctionEntry* entry = Find(functionName);
    request.dispatchRecord = entry ? entry->dispatchRecord : nullptr;
    request.headers = headers.empty() ? nullptr : headers.data();
    request.headerCount = static_cast<uint32_t>(headers.size());
    request.contentType = call.contentType.c_str();
    if (call.hasBody) {
        request.body = reinterpret_cast<const uint8_t*>(call.body.data());
        request.bodyLength = static_cast<uint32_t>(call.body.size());
    } else if (call.nullBodyWithLength) {
        request.bodyLength = 100;
    }
    request.callToken = call.callToken;
    request.methodName = call.methodName.c_str();
    // Every entry has the same handler; a request for a function that is not there goes to it
    // without a dispatch record.
    return InvokeRaw(entry ? entry : description_->functions, request);
}

Answer EndpointCaller::InvokeRaw(const HostFunctionEntry* entry, const HostRequest& request) {
    HostEndpointHandler handler = entry ? entry->handler : nullptr;
    HostResponse response;
    std::memset(&response, 0xAB, sizeof(response));
    Answer answer;
    if (handler == nullptr) {
        answer.hasError = true;
        answer.errorText = "no handler";
        return answer;
    }
    handler(&response, &request);
    answer.hasError = response.hasError != 0;
    answer.errorText = response.errorText ? response.errorText : "";
    answer.status = response.status;
    answer.valueJson = Host::HostValueToJson(response.value);
    answer.statusText = response.statusText ? response.statusText : "(null)";
    answer.statusTextShared = response.statusText != nullptr && response.statusText[0] == '\0';
    answer.headerArrayNull = response.headers == nullptr;
    for (uint32_t i = 0; response.headers && i < response.headerCount; ++i) {
        answer.headers.emplace_back(response.headers[i].name, response.headers[i].value);
    }
    answer.formatFlag = response.formatFlag;
    answer.formatCode = response.formatCode;
    answer.streamSize = response.streamSize;
    if (response.streamRead != nullptr) {
        uint8_t buffer[64];
        uint8_t more = 1;
        while (more) {
            uint32_t count = sizeof(buffer);
            if (!response.streamRead(response.streamContext, buffer, &count, &more)) {
                answer.streamText += "<read error>";
                break;
            }
            answer.streamText.append(reinterpret_cast<char*>(buffer), count);
        }
    }
    HostResponseReleaseFunction release = response.release;
    if (release != nullptr) {
        release(&response);
        HostResponse zero;
        std::memset(&zero, 0, sizeof(zero));
        answer.zeroedAfterRelease = std::memcmp(&zero, &response, sizeof(zero)) == 0;
        release(&response);  // harmless on the zeroed record
    }
    return answer;
}

}  // namespace Kolm::ApiTest
