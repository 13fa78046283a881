#include "host/serving/request_bridge.h"

#include <cctype>
#include <cstring>
#include <thread>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {
namespace {

constexpr std::size_t kMaxStreamedBody = 64 * 1024 * 1024;

// Matches template[t..] against path[p..]; adds the captured lengths to `captured`.
bool MatchFrom(std::string_view tmpl,
               std::size_t t,
               std::string_view path,
               std::size_t p,
               long& captured) {
    while (t < tmpl.size()) {
        if (tmpl[t] != '{') {
            if (p >= path.size() || path[p] != tmpl[t]) {
                return false;
            }
            ++t;
            ++p;
            continue;
        }
        const std::size_t close = tmpl.find('}', t);
        if (close == std::string_view::npos) {
            // An unclosed placeholder adds nothing to match: the template ends before it.
            return p == path.size();
        }
        const bool rest = close > t + 1 && (tmpl[t + 1] == '+' || tmpl[t + 1] == '#');
        std::size_t limit = p;
        while (limit < path.size() && (rest || path[limit] != '/')) {
            ++limit;
        }
        // Greedy first, as a regular expression would, then shorter takes.
        for (std::size_t end = limit + 1; end-- > p;) {
            long inner = 0;
            if (MatchFrom(tmpl, close + 1, path, end, inner)) {
                captured += static_cast<long>(end - p) + inner;
                return true;
            }
        }
        return false;
    }
    return p == path.size();
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lowered;
}

bool ReadStream(HostResponse& record, std::string& body) {
    uint8_t buffer[HOST_STREAM_CHUNK_SIZE];
    for (;;) {
        uint32_t count = HOST_STREAM_CHUNK_SIZE;
        uint8_t more = 1;
        if (record.streamRead(record.streamContext, buffer, &count, &more) == 0) {
            return false;
        }
        body.append(reinterpret_cast<const char*>(buffer),
                    std::min<uint32_t>(count, sizeof(buffer)));
        if (more == 0 || body.size() > kMaxStreamedBody) {
            return more == 0;
        }
        if (count < HOST_STREAM_CHUNK_SIZE) {
            std::this_thread::yield();
        }
    }
}

// A header of the plugin's answer is passed on only when it is well formed and not one the
// server writes itself.
bool IsForwardableHeader(const char* name, const char* value) {
    if (name == nullptr || value == nullptr || *name == '\0') {
        return false;
    }
    for (const char* c = name; *c != '\0'; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '-' && *c != '_') {
            return false;
        }
    }
    for (const char* c = value; *c != '\0'; ++c) {
        if (static_cast<unsigned char>(*c) < 0x20 && *c != '\t') {
            return false;
        }
    }
    const std::string lowered = Lowered(name);
    return lowered != "content-length" && lowered != "connection" &&
           lowered != "transfer-encoding" && lowered != "content-type";
}

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The first "%" of `path` that is not followed by two hexadecimal digits, or npos. The plugin
// would drop such a "%" or keep it as text and look for a key nobody sent (a lone "%" even
// makes the key empty, which fails the call as if the plugin had).
std::size_t BrokenEscape(std::string_view path) {
    for (std::size_t i = path.find('%'); i != std::string_view::npos; i = path.find('%', i + 1)) {
        if (i + 2 >= path.size() || !IsHexDigit(path[i + 1]) || !IsHexDigit(path[i + 2])) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

uint32_t MethodCode(std::string_view method) {
    static const char* const kNames[] = {"DELETE", "GET",  "HEAD", "OPTIONS",
                                         "PATCH",  "POST", "PUT"};
    for (uint32_t i = 0; i < 7; ++i) {
        if (method == kNames[i]) {
            return i + 1;
        }
    }
    return HOST_METHOD_OTHER;
}

const char* MethodName(uint32_t code) {
    static const char* const kNames[] = {"",        "DELETE", "GET",  "HEAD",
                                         "OPTIONS", "PATCH",  "POST", "PUT"};
    return code < 8 ? kNames[code] : "";
}

long TemplateMatchLength(std::string_view pathTemplate, std::string_view path) {
    long captured = 0;
    return MatchFrom(pathTemplate, 0, path, 0, captured) ? captured : -1;
}

HttpResponse ResponseFromRecord(HostResponse& record) {
    HttpResponse response;
    const uint32_t status = record.status;
    if (record.hasError != 0) {
        const char* text = record.errorText != nullptr ? record.errorText : "";
        response = HttpResponse::Error(status == 0 ? 500 : static_cast<int>(status), text);
    } else {
        response.status = status == 0 ? 200 : static_cast<int>(status);
        if (record.streamRead != nullptr) {
            if (!ReadStream(record, response.body)) {
                response =
                    HttpResponse::Error(500, "the plugin's streamed answer could not be read");
            }
        } else {
            response.body = HostValueToJson(record.value);
        }
    }
    if (response.status < 100 || response.status > 999) {
        response = HttpResponse::Error(
            500, "the plugin answered with the invalid status " + std::to_string(status));
    }
    for (uint32_t i = 0; record.headers != nullptr && i < record.headerCount; ++i) {
        // Copies of the packed record's fields: emplace_back binds its arguments by reference.
        const char* name = record.headers[i].name;
        const char* value = record.headers[i].value;
        if (IsForwardableHeader(name, value)) {
            response.headers.emplace_back(name, value);
        }
    }
    if (record.release != nullptr) {
        record.release(&record);
    }
    return response;
}

RequestBridge::RequestBridge(const HostApiDescription* description) {
    for (uint32_t i = 0; description != nullptr && i < description->functionCount; ++i) {
        const HostFunctionEntry& entry = description->functions[i];
        if (entry.handler != nullptr && entry.pathTemplate != nullptr) {
            endpoints_.push_back(&entry);
        }
    }
}

bool RequestBridge::ServesPath(std::string_view path) const {
    for (const HostFunctionEntry* entry : endpoints_) {
        if (TemplateMatchLength(entry->pathTemplate, path) >= 0) {
            return true;
        }
    }
    return false;
}

const HostFunctionEntry* RequestBridge::Pick(std::string_view method, std::string_view path) const {
    const uint32_t code = MethodCode(method);
    const HostFunctionEntry* best = nullptr;
    long bestLength = -1;
    for (const HostFunctionEntry* entry : endpoints_) {
        if (entry->method != 0 &&
            (entry->method != code ||
             (code == HOST_METHOD_OTHER &&
              method != (entry->methodName != nullptr ? entry->methodName : "")))) {
            continue;
        }
        const long length = TemplateMatchLength(entry->pathTemplate, path);
        if (length < 0) {
            continue;
        }
        if (std::strchr(entry->pathTemplate, '{') == nullptr) {
            return entry;
        }
        if (best == nullptr || length < bestLength) {
            best = entry;
            bestLength = length;
        }
    }
    return best;
}

HttpResponse RequestBridge::Handle(const HttpRequest& request) const {
    const HostFunctionEntry* entry = Pick(request.method, request.Path());
    if (entry == nullptr) {
        std::string allowed;
        for (const HostFunctionEntry* other : endpoints_) {
            if (TemplateMatchLength(other->pathTemplate, request.Path()) >= 0) {
                allowed += (allowed.empty() ? "" : ", ") + std::string(MethodName(other->method));
            }
        }
        std::string text = "no endpoint for " + request.method + " " + std::string(request.Path());
        if (!allowed.empty()) {
            text += " (this path takes " + allowed + ")";
        }
        return HttpResponse::Error(404, text);
    }
    if (BrokenEscape(request.Path()) != std::string_view::npos) {
        return HttpResponse::Error(
            400,
            "malformed percent escape in the path " + std::string(request.Path()) +
                ": \"%\" must be followed by two hexadecimal digits (\"%25\" is \"%\" itself)");
    }
    std::vector<std::string> names;
    names.reserve(request.headers.size());
    for (const auto& header : request.headers) {
        names.push_back(Lowered(header.first));
    }
    std::vector<HostHeader> headers;
    for (std::size_t i = 0; i < request.headers.size(); ++i) {
        headers.push_back({names[i].c_str(), request.headers[i].second.c_str()});
    }
    const std::optional<std::string> contentType = request.Header("Content-Type");
    HostRequest record{};
    record.method = MethodCode(request.method);
    record.uri = request.target.c_str();
    record.dispatchRecord = entry->dispatchRecord;
    record.headers = headers.empty() ? nullptr : headers.data();
    record.headerCount = static_cast<uint32_t>(headers.size());
    record.contentType = contentType ? contentType->c_str() : nullptr;
    record.body =
        request.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(request.body.data());
    record.bodyLength = static_cast<uint32_t>(request.body.size());
    record.callToken = nextCallToken_++;
    record.methodName = record.method == HOST_METHOD_OTHER ? request.method.c_str() : nullptr;
    HostResponse response{};
    entry->handler(&response, &record);
    return ResponseFromRecord(response);
}

}  // namespace Kolm::Host
