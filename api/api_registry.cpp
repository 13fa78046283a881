#include "api/api_registry.h"

#include "api/path_template.h"
#include "logging/message_format.h"

namespace Kolm {

ApiRegistry::ApiRegistry() = default;
ApiRegistry::~ApiRegistry() = default;

EndpointBuilder ApiRegistry::AddEndpoint(EndpointMethod method,
                                         std::string_view pathTemplate,
                                         std::unique_ptr<Endpoint> endpoint,
                                         const StaticTypeInfo* returnType) {
    std::string_view methodName = method.code == static_cast<uint32_t>(HttpMethod::Other)
                                      ? std::string_view(method.name)
                                      : HttpMethodName(method.code);
    endpoint->functionName = FunctionNameFromMethodAndPath(methodName, pathTemplate);
    endpoint->methodCode = method.code;
    endpoint->methodName =
        method.code == static_cast<uint32_t>(HttpMethod::Other) ? method.name : std::string();
    endpoint->pathTemplate = StoredPathTemplate(pathTemplate);
    endpoint->tags = apiTags_;
    for (size_t i = 0; i < endpoint->arguments.size(); ++i) {
        EndpointArgument& argument = endpoint->arguments[i];
        argument.name = Format("arg%1", i);
        argument.nameHash = Fnv1a(argument.name);
    }

    auto function = std::make_unique<BindingFunctionInfo>();
    BindingFunctionInfo* draft = function.get();
    function->name = BindingString(endpoint->functionName);
    for (const EndpointArgument& argument : endpoint->arguments) {
        BindingArgumentInfo info;
        info.name = BindingString(argument.name);
        info.type = argument.type;
        info.staticType = argument.staticType;
        function->arguments.push_back(std::move(info));
    }
    function->returns = endpoint->returns;
    function->returnStaticType = returnType;
    for (const std::string& tag : apiTags_) {
        function->tags.push_back(BindingString(tag));
    }
    const BindingFunctionInfo* kept = types_.RegisterFunction(std::move(function));
    // A repeated function name keeps the first record; this endpoint then only describes itself.
    endpoint->function = kept == draft ? draft : nullptr;

    endpoint->route = BuildRoute(endpoint->methodCode, endpoint->methodName, endpoint->pathTemplate,
                                 endpoint.get());
    endpoint->dispatch.registry = this;
    endpoint->dispatch.endpoint = endpoint.get();

    std::lock_guard<std::mutex> lock(mutex_);
    endpoints_.push_back(std::move(endpoint));
    return EndpointBuilder(endpoints_.back().get());
}

const HostApiDescription* ApiRegistry::BuildDescription() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!description_) {
        description_ = std::make_unique<ApiDescription>(types_, endpoints_);
    }
    return description_->Record();
}

const HostApiDescription* ApiRegistry::Description() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return description_ ? description_->Record() : nullptr;
}

}  // namespace Kolm
