#include "api/request_dispatch.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <exception>

#include "api/api_registry.h"
#include "api/content_type.h"
#include "api/host_response.h"
#include "api/host_value_bridge.h"
#include "api/percent_decoding.h"
#include "api/remoting_request.h"
#include "api/route_table.h"
#include "formats/json.h"
#include "formats/message_pack.h"
#include "formats/yaml.h"
#include "logging/message_format.h"

namespace Kolm {

namespace {

constexpr const char* kUnknownArgument = "Unknown argument '%1' for '%2'.";
constexpr const char* kInvalidLocation =
    "Argument '%1' for '%2' was specified in an invalid location.";
constexpr const char* kInvalidFunction = "Invalid function";

// Indices at or above 2^31 are out of range; so is any index that would take one call's
// collections beyond this many new elements in all, which would let a query exhaust the heap.
constexpr unsigned long long kMaxIndex = 0x7FFFFFFFull;
constexpr size_t kElementsPerCall = 65536;

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

const EndpointArgument* FindArgument(const Endpoint& endpoint,
                                     std::string_view name,
                                     size_t& index) {
    uint32_t hash = Fnv1a(name);
    for (size_t i = 0; i < endpoint.arguments.size(); ++i) {
        const EndpointArgument& argument = endpoint.arguments[i];
        if (argument.nameHash == hash && argument.name == name) {
            index = i;
            return &argument;
        }
    }
    return nullptr;
}

bool IsStructuredType(BindingTypeCode code) {
    return code == BindingTypeCode::Object || code == BindingTypeCode::Vector ||
           code == BindingTypeCode::Struct;
}

// Reads an index segment as an unsigned number with automatic base and charges the elements it
// adds to `target` to `budget`; fails `result` otherwise.
bool ReadIndex(BindingResult& result,
               std::string_view segment,
               const BindingProperty& target,
               size_t* budget,
               size_t& index) {
    std::string text(segment);
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (end != text.c_str() + text.size()) {
        result.Fail(Format("Index %1 is in an incorrect format", text));
        return false;
    }
    size_t size = target.IsCollection() ? target.Size() : 0;
    size_t growth = value >= size ? static_cast<size_t>(value) + 1 - size : 0;
    if (errno == ERANGE || value > kMaxIndex || (budget != nullptr && growth > *budget)) {
        result.Fail(Format("Index %1 is out of range", text));
        return false;
    }
    if (budget != nullptr) {
        *budget -= growth;
    }
    index = static_cast<size_t>(value);
    return true;
}

void DecodeBody(BindingResult& result, BindingProperty& target, const HostRequest& request) {
    std::string_view contentType = TextOrEmpty(request.contentType);
    std::optional<ContentFormat> format = BodyContentFormat(contentType);
    if (!format) {
        result.Fail("Unsupported body content type");
        return;
    }
    BindingResult parsed;
    if (*format == ContentFormat::MessagePack) {
        size_t consumed = 0;
        parsed = ParseMessagePack(request.body, request.bodyLength, &consumed);
        if (parsed.success && consumed != request.bodyLength) {
            result.Fail("Extra MessgePack data found in body");
            return;
        }
    } else {
        std::string_view text(reinterpret_cast<const char*>(request.body), request.bodyLength);
        parsed = *format == ContentFormat::Json ? ParseJson(text) : ParseYaml(text);
    }
    if (!parsed.success) {
        result.Fail(parsed.ErrorText());
        return;
    }
    target = std::move(parsed.value);
}

uint64_t TicksSince1970() {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<Ticks>(since).count());
}

// One call: the request's texts and tables, the bound values and the endpoint it addresses.
class Dispatch {
  public:
    Dispatch(const DispatchRecord& record, const HostRequest& request, HostResponse& response)
        : registry_(*record.registry),
          endpoint_(*record.endpoint),
          request_(request),
          response_(response),
          values_(endpoint_.arguments.size()) {}

    void Run() {
        if (!MatchUri()) {
            WriteFailureResponse(response_, kInvalidFunction, 404);
            return;
        }
        ReadHeaders();
        BindingResult result;
        BindNamedValues(result);
        if (result.success) {
            BindExplicitArguments(result);
        }
        if (result.success) {
            BindBody(result);
        }
        if (!result.success) {
            WriteFailureResponse(response_, result.ErrorText(), 0);
            return;
        }
        if (endpoint_.invoker->TakesRequestContext()) {
            context_.callToken = request_.callToken;
            context_.receiveTime = TicksSince1970();
            context_.owner = reinterpret_cast<uintptr_t>(&registry_);
        }
        endpoint_.invoker->Invoke(values_, endpoint_.arguments, context_, registry_.Types(),
                                  response_);
    }

  private:
    bool MatchUri() {
        context_.methodCode = request_.method;
        if (request_.method == static_cast<uint32_t>(HttpMethod::Other)) {
            context_.methodName = TextOrEmpty(request_.methodName);
        }
        context_.uri = TextOrEmpty(request_.uri);
        const std::vector<const Route*> routes = {&endpoint_.route};
        return MatchRoutes(request_.method, context_.methodName, context_.uri, routes, false,
                           match_);
    }

    void ReadHeaders() {
        for (uint32_t i = 0; request_.headers != nullptr && i < request_.headerCount; ++i) {
            const HostHeader& header = request_.headers[i];
            context_.headers[TextOrEmpty(header.name)] = TextOrEmpty(header.value);
        }
    }

    // Header names are compared without regard to case.
    std::map<std::string, std::string> HeadersByLowerName() const {
        std::map<std::string, std::string> headers;
        for (const auto& [name, value] : context_.headers) {
            headers[LowerAscii(name)] = value;
        }
        return headers;
    }

    void BindNamedValues(BindingResult& result) {
        for (size_t i = 0; i < endpoint_.arguments.size(); ++i) {
            const EndpointArgument& argument = endpoint_.arguments[i];
            if (argument.type.code == BindingTypeCode::Bool &&
                !(argument.flags & ArgumentNoDefaultFalse) && values_[i].IsEmpty()) {
                values_[i] = false;
            }
        }
        if (!context_.headers.empty()) {
            std::map<std::string, std::string> headers = HeadersByLowerName();
            for (const EndpointArgument& argument : endpoint_.arguments) {
                if (argument.location != ArgumentLocation::Any &&
                    argument.location != ArgumentLocation::Header) {
                    continue;
                }
                auto found = headers.find(LowerAscii(argument.name));
                if (found != headers.end()) {
                    BindValue(result, values_, endpoint_, argument.name, found->second, {},
                              ArgumentLocation::Header, &elementBudget_);
                    if (!result.success) {
                        return;
                    }
                }
            }
        }
        for (const auto& [name, value] : match_.captures) {
            BindValue(result, values_, endpoint_, name, value, {}, ArgumentLocation::Path,
                      &elementBudget_);
            if (!result.success) {
                return;
            }
        }
        if (context_.uri.find('?') == std::string::npos) {
            return;
        }
        for (const auto& [key, value] : ParseQuery(context_.uri)) {
            BindValue(result, values_, endpoint_, key, value, {}, ArgumentLocation::Query,
                      &elementBudget_);
            if (!result.success) {
                return;
            }
        }
    }

    void BindExplicitArguments(BindingResult& result) {
        for (uint32_t i = 0; request_.arguments != nullptr && i < request_.argumentCount; ++i) {
            const HostArgument& given = request_.arguments[i];
            size_t index = 0;
            const EndpointArgument* argument = nullptr;
            std::string name;
            if (given.name != nullptr) {
                name = given.name;
                argument = FindArgument(endpoint_, name, index);
            } else {
                index = i + match_.captures.size();
                name = Format("%1", index);
                argument =
                    index < endpoint_.arguments.size() ? &endpoint_.arguments[index] : nullptr;
            }
            if (argument == nullptr) {
                result.Fail(Format(kUnknownArgument, name, endpoint_.functionName));
                return;
            }
            BindingResult converted = HostValueToValue(given.value, argument->name);
            if (!converted.success) {
                result.Fail(converted.ErrorText());
                return;
            }
            values_[index] = std::move(converted.value);
        }
    }

    // A body pointer of 0 means no body, whatever the length says.
    void BindBody(BindingResult& result) {
        if (request_.body == nullptr) {
            return;
        }
        for (size_t i = 0; i < endpoint_.arguments.size(); ++i) {
            if (endpoint_.arguments[i].location == ArgumentLocation::Body) {
                DecodeBody(result, values_[i], request_);
                return;
            }
        }
    }

    ApiRegistry& registry_;
    const Endpoint& endpoint_;
    const HostRequest& request_;
    HostResponse& response_;
    std::vector<BindingProperty> values_;
    RemotingRequest context_;
    RouteMatch match_;
    size_t elementBudget_ = kElementsPerCall;
};

}  // namespace

std::map<std::string, std::string> ParseQuery(std::string_view uri) {
    std::map<std::string, std::string> query;
    size_t mark = uri.find('?');
    if (mark == std::string_view::npos) {
        return query;
    }
    std::string_view rest = uri.substr(mark + 1);
    while (true) {
        size_t amp = rest.find('&');
        std::string_view part = rest.substr(0, amp);
        // Empty parts ("a=1&&b=2", a trailing "&") name nothing.
        if (!part.empty()) {
            size_t equals = part.find('=');
            std::string key = PercentDecode(part.substr(0, equals));
            std::string value = equals == std::string_view::npos
                                    ? std::string()
                                    : PercentDecode(part.substr(equals + 1));
            query[std::move(key)] = std::move(value);
        }
        if (amp == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(amp + 1);
    }
    return query;
}

void BindValue(BindingResult& result,
               std::vector<BindingProperty>& values,
               const Endpoint& endpoint,
               std::string_view key,
               std::string_view text,
               std::string_view contentType,
               ArgumentLocation location,
               size_t* elementBudget) {
    size_t dot = key.find('.');
    std::string_view name = key.substr(0, dot);
    size_t index = 0;
    const EndpointArgument* argument = FindArgument(endpoint, name, index);
    if (argument == nullptr) {
        result.Fail(Format(kUnknownArgument, name, endpoint.functionName));
        return;
    }
    if (argument->location != ArgumentLocation::Any && argument->location != location) {
        result.Fail(Format(kInvalidLocation, name, endpoint.functionName));
        return;
    }
    if (dot == std::string_view::npos) {
        BindWhole(result, values[index], *argument, endpoint, text, contentType);
        return;
    }
    BindingProperty* target = &values[index];
    std::string_view path = key.substr(dot + 1);
    while (true) {
        size_t next = path.find('.');
        std::string_view segment = path.substr(0, next);
        if (!segment.empty() && segment.front() >= '0' && segment.front() <= '9') {
            size_t element = 0;
            if (!ReadIndex(result, segment, *target, elementBudget, element)) {
                return;
            }
            target = &(*target)[element];
        } else {
            target = &(*target)[segment];
        }
        if (next == std::string_view::npos) {
            break;
        }
        path.remove_prefix(next + 1);
    }
    Deserialise(result, *target, text, contentType, false, name, endpoint.functionName);
}

void BindWhole(BindingResult& result,
               BindingProperty& target,
               const EndpointArgument& argument,
               const Endpoint& endpoint,
               std::string_view text,
               std::string_view contentType) {
    if (text.empty()) {
        switch (argument.type.code) {
            case BindingTypeCode::Bool:
                target = true;
                return;
            case BindingTypeCode::Object:
            case BindingTypeCode::Struct:
                target.Clear();
                target.MakeStructure();
                return;
            case BindingTypeCode::Vector:
                target.Clear();
                target.MakeCollection();
                return;
            default:
                result.Fail(Format("Expected value for argument '%1'.", argument.name));
                return;
        }
    }
    Deserialise(result, target, text, contentType, IsStructuredType(argument.type.code),
                argument.name, endpoint.functionName);
}

void Deserialise(BindingResult& result,
                 BindingProperty& target,
                 std::string_view text,
                 std::string_view contentType,
                 bool structured,
                 std::string_view argumentName,
                 std::string_view functionName) {
    bool sniff = structured && contentType.empty();
    ValueFormat format = ArgumentValueFormat(contentType);
    BindingResult parsed;
    const char* failure = nullptr;
    if (format == ValueFormat::MessagePack ||
        (sniff && LooksLikeMessagePack(text.data(), text.size()))) {
        parsed = ParseMessagePack(text.data(), text.size());
        failure = "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
    } else if (format == ValueFormat::Json || (sniff && LooksLikeJsonText(text))) {
        parsed = ParseJson(text);
        failure = "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
    } else if (format == ValueFormat::Yaml || (sniff && LooksLikeYamlText(text))) {
        parsed = ParseYaml(text);
        failure = "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";
    } else if (format == ValueFormat::Blob) {
        target =
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        return;
    } else {
        target = text;
        return;
    }
    if (!parsed.success) {
        result.Fail(Format(failure, argumentName, functionName, parsed.ErrorText()));
        return;
    }
    target = std::move(parsed.value);
}

void ZC_HOST_CALL HandleEndpointRequest(HostResponse* response, const HostRequest* request) {
    if (response == nullptr) {
        return;
    }
    ClearHostResponse(*response);
    const auto* record =
        request != nullptr ? static_cast<const DispatchRecord*>(request->dispatchRecord) : nullptr;
    if (record == nullptr || record->magic != DispatchRecord::kMagic ||
        record->registry == nullptr || record->endpoint == nullptr) {
        WriteFailureResponse(*response, kInvalidFunction, 404);
        return;
    }
    try {
        Dispatch(*record, *request, *response).Run();
    } catch (const std::exception& error) {
        ReleaseHostResponse(response);
        ClearHostResponse(*response);
        WriteFailureResponse(*response, error.what(), 500);
    } catch (...) {
        ReleaseHostResponse(response);
        ClearHostResponse(*response);
        WriteFailureResponse(*response, "Unknown error", 500);
    }
}

}  // namespace Kolm
