// The bytes a client sends, read the way the host's server reads them: the end of the head,
// the head itself (with the default limits or, picked by the first byte, small ones that the
// fuzzer reaches), then the Host check and the query and path helpers on what was accepted.
// A refusal carries one of the documented statuses and a message; an accepted head keeps to
// its limits; a quoted header value reads back as the same text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

#include "host/clubs_web_service/service_url.h"
#include "host/serving/http/http_message.h"
#include "host/serving/http/http_request_parser.h"

namespace {

using Kolm::Host::HttpLimits;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           Kolm::Host::EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

void CheckHeadEnd(std::string_view buffer, std::optional<std::size_t> end) {
    if (!end) {
        return;
    }
    Check(*end >= 2 && *end <= buffer.size() && buffer[*end - 1] == '\n');
    Check(buffer[*end - 2] == '\n' ||
          (*end >= 3 && buffer[*end - 2] == '\r' && buffer[*end - 3] == '\n'));
    // The first blank line, not a later one.
    Check(!Kolm::Host::FindHeadEnd(buffer.substr(0, *end - 1)));
}

void CheckLoopbackHost(std::string_view host) {
    if (Kolm::Host::IsLoopbackHost(host)) {
        Check(StartsWithIgnoringCase(host, "localhost") || host.substr(0, 4) == "127." ||
              host.substr(0, 5) == "[::1]");
    }
}

// JsonQuote writes every byte so that a JSON reader gives it back, zero bytes included.
void CheckQuoted(std::string_view text) {
    const std::string quoted = Kolm::Host::JsonQuote(text);
    rapidjson::Document document;
    document.Parse(quoted.data(), quoted.size());
    Check(!document.HasParseError() && document.IsString());
    Check(std::string_view(document.GetString(), document.GetStringLength()) == text);
}

void CheckAccepted(const Kolm::Host::RequestHead& head, const HttpLimits& limits) {
    const Kolm::Host::HttpRequest& request = head.request;
    Check(!request.method.empty() && !request.target.empty() && request.target.front() == '/');
    Check(request.target.size() <= limits.maxTargetBytes);
    Check(request.version == "HTTP/1.1" || request.version == "HTTP/1.0");
    Check(request.headers.size() <= limits.maxHeaders);
    Check(head.contentLength <= limits.maxBodyBytes);
    const std::optional<std::string> host = request.Header("Host");
    Check(host.has_value() || request.version == "HTTP/1.0");
    if (host) {
        CheckLoopbackHost(*host);
    }
    for (const auto& [name, value] : request.headers) {
        Check(!name.empty());
        CheckQuoted(value);
    }
    for (const auto& [key, value] : Kolm::Host::ParseQuery(request.Query())) {
        Check(key.size() + value.size() <= request.Query().size());
    }
    Check(Kolm::Host::PercentDecodePath(request.Path()).size() <= request.Path().size());
    (void)Kolm::Host::ParseServiceUrl(request.target);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    HttpLimits limits;
    if (data[0] & 1) {
        limits.maxHeadBytes = 512;
        limits.maxTargetBytes = 64;
        limits.maxHeaders = 4;
        limits.maxBodyBytes = 1000;
    }
    const std::string_view buffer(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::optional<std::size_t> end = Kolm::Host::FindHeadEnd(buffer);
    CheckHeadEnd(buffer, end);
    // Without a blank line the server only measures the head; the parser is still given it.
    const std::string_view head = end ? buffer.substr(0, *end) : buffer;
    const Kolm::Host::HeadParseResult parsed = Kolm::Host::ParseRequestHead(head, limits);
    if (parsed.head) {
        Check(parsed.status == 0 && parsed.error.empty());
        CheckAccepted(*parsed.head, limits);
    } else {
        const int status = parsed.status;
        Check(status == 400 || status == 413 || status == 414 || status == 431 || status == 501 ||
              status == 505);
        Check(!parsed.error.empty());
    }

    // The helpers on the raw bytes too: a Host value or query that no parser has vetted.
    CheckLoopbackHost(buffer);
    CheckQuoted(buffer);
    Check(Kolm::Host::PercentDecode(buffer).size() <= buffer.size());
    return 0;
}
