#include "api/endpoint_builder.h"

namespace Kolm {

EndpointBuilder& EndpointBuilder::PathArgument(std::string_view name,
                                               std::string_view description,
                                               std::optional<BindingTypeId> type) {
    return Describe(name, description, type, ArgumentLocation::Path);
}

EndpointBuilder& EndpointBuilder::BodyArgument(std::string_view name,
                                               std::string_view description,
                                               std::optional<BindingTypeId> type) {
    return Describe(name, description, type, ArgumentLocation::Body);
}

EndpointBuilder& EndpointBuilder::Argument(std::string_view name,
                                           std::string_view description,
                                           std::optional<BindingTypeId> type) {
    return Describe(name, description, type, ArgumentLocation::Any);
}

bool EndpointBuilder::Finished() const {
    return endpoint_ == nullptr || position_ >= endpoint_->arguments.size();
}

EndpointBuilder& EndpointBuilder::Describe(std::string_view name,
                                           std::string_view description,
                                           std::optional<BindingTypeId> type,
                                           ArgumentLocation location) {
    if (Finished()) {
        return *this;
    }
    EndpointArgument& argument = endpoint_->arguments[position_];
    argument.name = std::string(name);
    argument.nameHash = Fnv1a(name);
    argument.description = std::string(description);
    argument.location = location;
    if (type) {
        argument.type = *type;
    }
    // The function record describes the endpoint to the host, so it follows the builder.
    if (BindingFunctionInfo* function = endpoint_->function;
        function != nullptr && position_ < function->arguments.size()) {
        BindingArgumentInfo& info = function->arguments[position_];
        info.name = BindingString(name);
        info.description = BindingString(description);
        info.type = argument.type;
    }
    ++position_;
    return *this;
}

}  // namespace Kolm
