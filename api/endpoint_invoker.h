// The typed invoker behind every registered handler: knows the handler's parameter and result
// types, converts bound values to them and the result back.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/api_response.h"
#include "api/endpoint.h"
#include "api/host_response.h"
#include "api/http_transport.h"
#include "api/remoting_request.h"
#include "binding/binding_conversion.h"

namespace Kolm {

// Parameters of these types receive the request context instead of an argument value.
template <class T>
constexpr bool kIsRequestContext = std::is_same_v<std::decay_t<T>, RemotingRequest> ||
                                   std::is_same_v<std::decay_t<T>, HttpBaseTransport::Request>;

template <class T>
struct ApiResponseValue;
template <class T>
struct ApiResponseValue<ApiResponse<T>> {
    using type = T;
};

namespace InvokerDetail {

inline void FillContext(RemotingRequest& native, const RemotingRequest& context) {
    native = context;
}

inline void FillContext(HttpBaseTransport::Request& native, const RemotingRequest& context) {
    native.method = context.methodCode;
    native.url = context.uri;
    native.headers = context.headers;
}

// Converts value `index` of the bound values into the native parameter, or fills the context.
template <class P>
void ConvertParameter(P& native,
                      size_t& argumentIndex,
                      std::vector<BindingProperty>& values,
                      const std::vector<EndpointArgument>& arguments,
                      const RemotingRequest& context,
                      const BindingTypeRegistry& registry,
                      BindingResult& result) {
    if constexpr (kIsRequestContext<P>) {
        FillContext(native, context);
    } else {
        size_t index = argumentIndex++;
        if (!result.success || index >= values.size()) {
            return;
        }
        BindingResult converted =
            ConvertFromBinding<P>(values[index], native, arguments[index].name, &registry);
        if (!converted.success) {
            result.Fail(converted.ErrorText());
        }
    }
}

}  // namespace InvokerDetail

// `Call` is a callable taking the parameters `Params...` and returning ApiResponse<R>.
template <class Call, class R, class... Params>
class TypedEndpointInvoker final : public EndpointInvoker {
  public:
    explicit TypedEndpointInvoker(Call call) : call_(std::move(call)) {}

    void Invoke(std::vector<BindingProperty>& values,
                const std::vector<EndpointArgument>& arguments,
                const RemotingRequest& context,
                const BindingTypeRegistry& registry,
                HostResponse& response) const override {
        std::tuple<std::decay_t<Params>...> natives;
        BindingResult result;
        size_t argumentIndex = 0;
        std::apply(
            [&](auto&... native) {
                (InvokerDetail::ConvertParameter(native, argumentIndex, values, arguments, context,
                                                 registry, result),
                 ...);
            },
            natives);
        if (!result.success) {
            WriteFailureResponse(response, result.ErrorText(), 0);
            return;
        }
        ApiResponse<R> reply = std::apply(call_, std::move(natives));
        BindingResult value;
        if (reply.success) {
            value = ConvertToBinding<R>(reply.value, &registry);
        }
        WriteApiResponse(response, reply, value, &registry);
    }

    bool TakesRequestContext() const override { return (kIsRequestContext<Params> || ...); }

  private:
    Call call_;
};

}  // namespace Kolm
