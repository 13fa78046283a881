// The steps of loading and starting that belong to other layers of the plugin frame: the host's
// shared types (load step 7), the API description (load step 9) and the service-proxy
// subscriptions (Init step 4). Each runs at its place in PluginBase::Load and PluginBase::Init.
#include "plugin/plugin_base.h"

#include "plugin/host_events_setup.h"

namespace Kolm::Client {

void PluginBase::RegisterSharedHostTypes() {
    if (BindingTypeRegistry* registry = TypeRegistry()) {
        InstallHostEvents(*this, *registry);
    }
}

const HostApiDescription* PluginBase::BuildApiDescription() {
    return apiRegistry_->BuildDescription();
}

void PluginBase::SubscribeServiceProxyEvents() {
    Kolm::Client::SubscribeServiceProxyEvents(*this);
}

}  // namespace Kolm::Client
