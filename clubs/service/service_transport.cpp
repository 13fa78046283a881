#include "clubs/service/service_transport.h"

#include "api/http_method.h"
#include "logging/message_format.h"
#include "plugin/plugin_connection.h"

namespace Kolm::Client::Clubs {
namespace {

std::string ConversionError(const HttpBaseTransport::Request& request, const char* part) {
    const std::string exchange =
        Format("%1 %2", std::string(HttpMethodName(request.method)).c_str(), request.url.c_str());
    return Format("Error converting response for %1: %2 was null", exchange.c_str(), part);
}

}  // namespace

ServiceHttpAnswer ReadServiceAnswer(const HostHttpResponse& answer,
                                    const HttpBaseTransport::Request& request) {
    ServiceHttpAnswer read;
    read.transportCode = HttpBaseTransport::MapTransportCode(answer.transportCode);
    const bool bodyMissing = answer.body == nullptr && answer.bodyLength > 0;
    if (read.transportCode != 0) {
        if (!bodyMissing && answer.body != nullptr) {
            read.errorText.assign(reinterpret_cast<const char*>(answer.body), answer.bodyLength);
        }
        return read;
    }
    read.status = answer.status;
    // The body stands on its own: without the headers a refusal's error code is still read.
    if (!bodyMissing && answer.body != nullptr) {
        read.body.assign(reinterpret_cast<const char*>(answer.body), answer.bodyLength);
    }
    const bool headersMissing = answer.headers == nullptr && answer.headerCount > 0;
    if (headersMissing || bodyMissing) {
        read.conversionFailed = true;
        read.errorText = ConversionError(request, headersMissing ? "headers" : "body");
        return read;
    }
    for (uint32_t i = 0; i < answer.headerCount; ++i) {
        const HostHeader& header = answer.headers[i];
        read.headers[header.name ? header.name : ""] = header.value ? header.value : "";
    }
    return read;
}

ServiceSendFunction SendThroughConnection(PluginConnection& connection) {
    return [&connection](const HttpBaseTransport::Request& request) {
        const HttpBaseTransport::HostRequestForm form(request, connection.UserAgent());
        HostHttpResponse answer{};
        connection.SendHttpRequest(&answer, form.Record());
        return ReadServiceAnswer(answer, request);
    };
}

}  // namespace Kolm::Client::Clubs
