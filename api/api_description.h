// ApiDescription: the host form of the plugin's API, built once at load from the registry's
// functions, types and events and from the endpoints. Every text points into the registry's or
// the endpoints' records (or is the shared empty text); the arrays here own nothing else.
#pragma once

#include <memory>
#include <vector>

#include "api/endpoint.h"
#include "plugin/host_boundary.h"

namespace Kolm {

class BindingTypeRegistry;

class ApiDescription {
  public:
    ApiDescription(const BindingTypeRegistry& types,
                   const std::vector<std::unique_ptr<Endpoint>>& endpoints);
    ApiDescription(const ApiDescription&) = delete;
    ApiDescription& operator=(const ApiDescription&) = delete;

    const HostApiDescription* Record() const { return &record_; }

    // The function help entry of that name, or null.
    const HostFunctionHelp* FindFunctionHelp(std::string_view name) const;

  private:
    void BuildFunctionHelp(const BindingTypeRegistry& types);
    void BuildFunctionEntries(const std::vector<std::unique_ptr<Endpoint>>& endpoints);
    void BuildTypes(const BindingTypeRegistry& types);
    void BuildEvents(const BindingTypeRegistry& types);
    const char* const* TagArray(const std::vector<const char*>& tags);

    std::vector<HostFunctionHelp> functionHelp_;
    std::vector<std::vector<HostArgumentHelp>> argumentHelp_;
    std::vector<HostFunctionEntry> functions_;
    std::vector<std::vector<HostArgumentLocation>> locations_;
    std::vector<HostTypeEntry> types_;
    std::vector<std::vector<HostFieldEntry>> fields_;
    std::vector<std::vector<HostValueHelpEntry>> values_;
    std::vector<HostEventEntry> events_;
    std::vector<std::unique_ptr<std::vector<const char*>>> tagArrays_;
    HostApiDescription record_{};
};

}  // namespace Kolm
