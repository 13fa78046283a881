// ApiRegistry: the plugin's BindingTypeRegistry, its endpoints (with their prebuilt routes) and
// the ApiDescription the host receives at load.
//
// Endpoints are registered during load, before the description is built, and never change
// afterwards; requests on any thread then read them without a lock. Handlers are member functions
// of the plugin's objects (or any callable) returning ApiResponse<T>; their parameter types
// decide how each argument is converted:
//
//   api.RegisterEndpoint(HttpMethod::Get, "/zun-clubs/v1/clubs/{clubKey}", manager,
//                        &ClubsManager::GetClub)
//       .PathArgument("clubKey");
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/api_description.h"
#include "api/endpoint.h"
#include "api/endpoint_builder.h"
#include "api/endpoint_invoker.h"
#include "api/http_method.h"
#include "binding/binding_type_registry.h"

namespace Kolm {

// The method of an endpoint: one of the codes 1 to 7, or another method by name (code 8).
struct EndpointMethod {
    uint32_t code = 0;
    std::string name;

    EndpointMethod(HttpMethod method) : code(static_cast<uint32_t>(method)) {}
    explicit EndpointMethod(std::string_view otherName)
        : code(static_cast<uint32_t>(HttpMethod::Other)), name(otherName) {}
};

class ApiRegistry {
  public:
    ApiRegistry();
    ~ApiRegistry();
    ApiRegistry(const ApiRegistry&) = delete;
    ApiRegistry& operator=(const ApiRegistry&) = delete;

    BindingTypeRegistry& Types() { return types_; }
    const BindingTypeRegistry& Types() const { return types_; }

    // The tags every endpoint registered afterwards carries in its help.
    void SetApiTags(std::vector<std::string> tags) { apiTags_ = std::move(tags); }

    // A member function of `object` (a raw or shared pointer, kept as given).
    template <class Pointer, class Object, class R, class... Params>
    EndpointBuilder RegisterEndpoint(EndpointMethod method,
                                     std::string_view pathTemplate,
                                     Pointer object,
                                     ApiResponse<R> (Object::*handler)(Params...)) {
        auto call = [object, handler](auto&&... arguments) {
            return ((*object).*handler)(std::forward<decltype(arguments)>(arguments)...);
        };
        return Register<R, Params...>(std::move(method), pathTemplate, std::move(call));
    }
    template <class Pointer, class Object, class R, class... Params>
    EndpointBuilder RegisterEndpoint(EndpointMethod method,
                                     std::string_view pathTemplate,
                                     Pointer object,
                                     ApiResponse<R> (Object::*handler)(Params...) const) {
        auto call = [object, handler](auto&&... arguments) {
            return ((*object).*handler)(std::forward<decltype(arguments)>(arguments)...);
        };
        return Register<R, Params...>(std::move(method), pathTemplate, std::move(call));
    }
    // Any callable, given as a std::function of the handler's signature.
    template <class R, class... Params>
    EndpointBuilder RegisterEndpoint(EndpointMethod method,
                                     std::string_view pathTemplate,
                                     std::function<ApiResponse<R>(Params...)> handler) {
        return Register<R, Params...>(std::move(method), pathTemplate, std::move(handler));
    }

    const std::vector<std::unique_ptr<Endpoint>>& Endpoints() const { return endpoints_; }

    // Builds the description from the registry's functions, types and events and the endpoints
    // (once; later calls return the same block). Valid while the registry lives.
    const HostApiDescription* BuildDescription();
    const HostApiDescription* Description() const;

  private:
    template <class R, class... Params, class Call>
    EndpointBuilder Register(EndpointMethod method, std::string_view pathTemplate, Call call) {
        auto endpoint = std::make_unique<Endpoint>();
        (AddParameter<Params>(*endpoint), ...);
        endpoint->returns = FieldTypeDetail::TypeIdOf<R>(nullptr, &types_);
        endpoint->invoker =
            std::make_unique<TypedEndpointInvoker<Call, R, Params...>>(std::move(call));
        return AddEndpoint(std::move(method), pathTemplate, std::move(endpoint),
                           &StaticType::Info<R>());
    }

    template <class P>
    void AddParameter(Endpoint& endpoint) {
        if constexpr (!kIsRequestContext<P>) {
            using Native = std::decay_t<P>;
            EndpointArgument argument;
            argument.type = FieldTypeDetail::TypeIdOf<Native>(nullptr, &types_);
            argument.staticType = &StaticType::Info<Native>();
            endpoint.arguments.push_back(std::move(argument));
        }
    }

    EndpointBuilder AddEndpoint(EndpointMethod method,
                                std::string_view pathTemplate,
                                std::unique_ptr<Endpoint> endpoint,
                                const StaticTypeInfo* returnType);

    BindingTypeRegistry types_;
    std::vector<std::string> apiTags_;
    mutable std::mutex mutex_;  // guards endpoints_ and the description while they are built
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    std::unique_ptr<ApiDescription> description_;
};

}  // namespace Kolm
