// EndpointBuilder: names and places the arguments of an endpoint just registered, one call per
// handler parameter in parameter order:
//
//   api.RegisterEndpoint(HttpMethod::Patch, "/zun-clubs/v1/clubs/{clubKey}/motd", manager,
//                        &ClubsManager::SetMotd)
//       .PathArgument("clubKey")
//       .BodyArgument("motd");
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "api/endpoint.h"

namespace Kolm {

class EndpointBuilder {
  public:
    explicit EndpointBuilder(Endpoint* endpoint) : endpoint_(endpoint) {}

    // The argument at the current position comes from the path placeholder of that name.
    EndpointBuilder& PathArgument(std::string_view name,
                                  std::string_view description = {},
                                  std::optional<BindingTypeId> type = std::nullopt);
    // The argument at the current position receives the request body.
    EndpointBuilder& BodyArgument(std::string_view name,
                                  std::string_view description = {},
                                  std::optional<BindingTypeId> type = std::nullopt);
    // Names the argument at the current position and lets it come from anywhere (query, header,
    // path or explicit host argument).
    EndpointBuilder& Argument(std::string_view name,
                              std::string_view description = {},
                              std::optional<BindingTypeId> type = std::nullopt);

    // True once every parameter has had its call; later calls are ignored.
    bool Finished() const;

  private:
    EndpointBuilder& Describe(std::string_view name,
                              std::string_view description,
                              std::optional<BindingTypeId> type,
                              ArgumentLocation location);

    Endpoint* endpoint_;
    size_t position_ = 0;
};

}  // namespace Kolm
