// ClubsPlugin: the clubs feature's plugin object, the one instance the host loads.
#pragma once

#include "plugin/plugin_base.h"

namespace Kolm::Client::Clubs {

class ClubsPlugin : public PluginBase {
  public:
    static constexpr const char* kShortName = "zun-clubs";

    ClubsPlugin();
    ~ClubsPlugin() override;

    void Shutdown() override;
    void RegisterApi() override;
    bool Start() override;
};

}  // namespace Kolm::Client::Clubs
