// The endpoint record: one registered REST endpoint with its arguments, its prebuilt route and
// the invoker that calls its handler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api/route_table.h"
#include "binding/binding_type_info.h"
#include "plugin/host_boundary.h"

namespace Kolm {

class ApiRegistry;
class BindingTypeRegistry;
struct RemotingRequest;

// Where an argument's value may come from.
enum class ArgumentLocation : uint32_t {
    Any = 0,
    Query = 1,
    Path = 2,
    Header = 4,
    Body = 5,
};

// Argument flags.
enum EndpointArgumentFlags : uint8_t {
    // A boolean argument that nothing binds stays empty instead of becoming false.
    ArgumentNoDefaultFalse = 1,
};

struct EndpointArgument {
    std::string name;
    uint32_t nameHash = 0;
    std::string description;
    BindingTypeId type;  // the natural type, or the registration's override
    const StaticTypeInfo* staticType = nullptr;
    ArgumentLocation location = ArgumentLocation::Any;
    uint8_t flags = 0;
};

// Calls the handler: converts the bound argument values to its native parameters, fills a
// request-context parameter from `context` and writes the result into the response record.
class EndpointInvoker {
  public:
    virtual ~EndpointInvoker() = default;
    virtual void Invoke(std::vector<BindingProperty>& values,
                        const std::vector<EndpointArgument>& arguments,
                        const RemotingRequest& context,
                        const BindingTypeRegistry& registry,
                        HostResponse& response) const = 0;
    virtual bool TakesRequestContext() const = 0;
};

struct Endpoint;

// What the host passes back in every request for this endpoint (HostRequest.dispatchRecord).
struct DispatchRecord {
    static constexpr uint32_t kMagic = 0x5A434450;  // tells a live record from a stray pointer
    uint32_t magic = kMagic;
    ApiRegistry* registry = nullptr;
    const Endpoint* endpoint = nullptr;
};

// Owned by the ApiRegistry and never changed once the plugin has loaded, so requests on any
// thread read it without a lock.
struct Endpoint {
    std::string functionName;
    uint32_t methodCode = 0;
    std::string methodName;  // method code 8 only
    std::string pathTemplate;
    std::vector<EndpointArgument> arguments;  // one per bindable handler parameter
    BindingTypeId returns;
    std::vector<std::string> tags;
    uint8_t flag = 0;  // carried into the function entry
    Route route;       // built once, at registration
    std::unique_ptr<EndpointInvoker> invoker;
    DispatchRecord dispatch;
    // The function record registered for this endpoint, when its name was not taken before.
    BindingFunctionInfo* function = nullptr;
};

}  // namespace Kolm
