#include "plugin/remote_call.h"

#include <cstring>

#include "formats/json.h"
#include "logging/message_format.h"
#include "plugin/stream_reader.h"

namespace Kolm::Client {

namespace RemoteCallDetail {

namespace {

RemoteResult<> Failure(std::int32_t status, std::string message) {
    RemoteResult<> result;
    result.failed = true;
    result.status = status;
    result.message = std::move(message);
    return result;
}

HostRequest BuildRequest(const PluginConnection& connection,
                         HttpMethod method,
                         const std::string& uri,
                         const HostArgument* argument) {
    HostRequest request;
    std::memset(&request, 0, sizeof request);
    request.method = HostMethodCode(static_cast<std::uint32_t>(method));
    request.uri = uri.c_str();
    request.arguments = argument;
    request.argumentCount = argument != nullptr ? 1 : 0;
    request.callToken = connection.ClientWord();
    return request;
}

// An answer is an error when it says so, by its flag or by carrying an error text.
bool IsErrorAnswer(const HostResponse& answer) {
    return answer.hasError != 0 || answer.errorText != nullptr;
}

RemoteResult<> ReadStreamedValue(PluginConnection& connection,
                                 HttpMethod method,
                                 std::string_view uri,
                                 HostResponse& answer,
                                 BindingProperty& value) {
    std::string text;
    std::string error;
    if (!ReadAnswerStream(connection, answer, text, error)) {
        return Failure(0, Format("Error reading streamed response for %1 %2: %3",
                                 HttpMethodName(method), uri, error));
    }
    BindingResult parsed = ParseJson(std::string_view(text));
    if (!parsed) {
        return Failure(0, Format("Error reading streamed response for %1 %2: %3",
                                 HttpMethodName(method), uri, parsed.ErrorText()));
    }
    value = std::move(parsed.value);
    return {};
}

RemoteResult<> ReadValue(PluginConnection& connection,
                         HttpMethod method,
                         std::string_view uri,
                         HostResponse& answer,
                         BindingProperty& value) {
    if (answer.streamRead != nullptr) {
        return ReadStreamedValue(connection, method, uri, answer, value);
    }
    BindingResult converted = FromHostValue(answer.value, kResultLabel);
    if (!converted) {
        return ResponseFailure(method, uri, converted.ErrorText());
    }
    value = std::move(converted.value);
    return {};
}

void ReleaseAnswer(HostResponse& answer) {
    if (answer.release != nullptr) {
        answer.release(&answer);
    }
}

}  // namespace

RemoteResult<> ArgumentFailure(HttpMethod method, std::string_view uri, std::string_view message) {
    return Failure(400, Format("Request not sent: Error converting parameters for %1 %2: %3",
                               HttpMethodName(method), uri, message));
}

RemoteResult<> ResponseFailure(HttpMethod method, std::string_view uri, std::string_view message) {
    return Failure(
        0, Format("Error converting response for %1 %2: %3", HttpMethodName(method), uri, message));
}

RemoteResult<> Exchange(PluginConnection& connection,
                        HttpMethod method,
                        std::string_view uri,
                        const HostValue* argument,
                        BindingProperty* value) {
    const std::string uriText(uri);
    HostArgument unnamed{};
    if (argument != nullptr) {
        unnamed.name = nullptr;
        unnamed.value = *argument;
    }
    const HostRequest request =
        BuildRequest(connection, method, uriText, argument != nullptr ? &unnamed : nullptr);
    HostResponse answer;
    std::memset(&answer, 0, sizeof answer);
    connection.SendRemotingRequest(&answer, &request);

    RemoteResult<> result;
    if (IsErrorAnswer(answer)) {
        const char* text = answer.errorText != nullptr ? answer.errorText : "";
        result = Failure(static_cast<std::int32_t>(answer.status),
                         Format("Error response for %1 %2: %3", HttpMethodName(method), uri, text));
    } else if (value != nullptr) {
        result = ReadValue(connection, method, uri, answer, *value);
    }
    ReleaseAnswer(answer);
    return result;
}

}  // namespace RemoteCallDetail

}  // namespace Kolm::Client
