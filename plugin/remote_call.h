// RemoteCall: a REST call to another plugin through the host (SendRemotingRequest), with an
// optional argument value and an optional typed result.
//
//   RemoteResult<> done = RemoteCall(connection, HttpMethod::Post, "/zun-x/v1/things", thing);
//   RemoteResult<Session> session = RemoteCall<Session>(connection, HttpMethod::Get, uri);
//   if (session.failed) Log(..., session.message);
//
// Every failure comes back in the result, nothing is logged or thrown, and the argument and the
// answer are released on every path. The call blocks the calling host thread until the host has
// answered (streamed answers are read whole, yielding to the host between chunks).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "api/http_method.h"
#include "binding/binding_conversion.h"
#include "plugin/host_boundary.h"
#include "plugin/plugin_connection.h"

namespace Kolm::Client {

// The outcome of a call: `status` is the error answer's status, 400 when the request could not be
// built, 0 for a success and for the other failures; `value` is the answer as the caller's type.
template <class T = void>
struct RemoteResult {
    bool failed = false;
    std::int32_t status = 0;
    std::string message;
    T value{};
};

template <>
struct RemoteResult<void> {
    bool failed = false;
    std::int32_t status = 0;
    std::string message;
};

namespace RemoteCallDetail {

// The label under which answer values are converted and named in messages.
inline constexpr std::string_view kResultLabel = "<result>";

// Sends one call with `argument` (null: none; owned by the caller) and releases the answer.
// With `value` given, a successful answer is also read into it (stream as JSON, or the value).
RemoteResult<> Exchange(PluginConnection& connection,
                        HttpMethod method,
                        std::string_view uri,
                        const HostValue* argument,
                        BindingProperty* value);

// "Request not sent: Error converting parameters for %1 %2: %3", status 400.
RemoteResult<> ArgumentFailure(HttpMethod method, std::string_view uri, std::string_view message);
// "Error converting response for %1 %2: %3", status 0.
RemoteResult<> ResponseFailure(HttpMethod method, std::string_view uri, std::string_view message);

template <class T>
RemoteResult<T> Typed(RemoteResult<> outcome) {
    RemoteResult<T> result;
    result.failed = outcome.failed;
    result.status = outcome.status;
    result.message = std::move(outcome.message);
    return result;
}

template <class T>
RemoteResult<T> Call(PluginConnection& connection,
                     HttpMethod method,
                     std::string_view uri,
                     const HostValue* argument) {
    if constexpr (std::is_void_v<T>) {
        return Exchange(connection, method, uri, argument, nullptr);
    } else {
        BindingProperty answer;
        RemoteResult<T> result = Typed<T>(Exchange(connection, method, uri, argument, &answer));
        if (result.failed) {
            return result;
        }
        BindingResult converted =
            FromBinding(answer, result.value, kResultLabel, connection.TypeRegistry());
        if (!converted) {
            RemoteResult<T> failure = Typed<T>(ResponseFailure(method, uri, converted.ErrorText()));
            return failure;
        }
        return result;
    }
}

}  // namespace RemoteCallDetail

// A call without an argument.
template <class T = void>
RemoteResult<T> RemoteCall(PluginConnection& connection, HttpMethod method, std::string_view uri) {
    return RemoteCallDetail::Call<T>(connection, method, uri, nullptr);
}

// A call with `value` as its one unnamed argument, which the target binds to its first argument
// after the path arguments.
template <class T = void, class V>
RemoteResult<T> RemoteCall(PluginConnection& connection,
                           HttpMethod method,
                           std::string_view uri,
                           const V& value) {
    const BindingTypeRegistry* registry = connection.TypeRegistry();
    BindingResult converted = ToBinding(value, registry);
    if (!converted) {
        return RemoteCallDetail::Typed<T>(
            RemoteCallDetail::ArgumentFailure(method, uri, converted.ErrorText()));
    }
    HostValue argument{};
    std::string error;
    if (!ToHostValue(converted.value, argument, registry, &error)) {
        ReleaseHostValue(argument);
        return RemoteCallDetail::Typed<T>(RemoteCallDetail::ArgumentFailure(method, uri, error));
    }
    RemoteResult<T> result = RemoteCallDetail::Call<T>(connection, method, uri, &argument);
    ReleaseHostValue(argument);
    return result;
}

}  // namespace Kolm::Client
