#include "clubs/clubs_plugin.h"

namespace Kolm::Client::Clubs {

ClubsPlugin::ClubsPlugin() = default;

ClubsPlugin::~ClubsPlugin() = default;

void ClubsPlugin::Shutdown() {
    PluginConnection::Shutdown();
}

void ClubsPlugin::RegisterApi() {
    PluginBase::RegisterApi();
}

bool ClubsPlugin::Start() {
    return true;
}

}  // namespace Kolm::Client::Clubs
