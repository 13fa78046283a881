// PublishUpdate, the one way the clubs code announces a change of one of its own resources.
// Kept apart from clubs_manager.h because it needs the whole ClubsPlugin.
#pragma once

#include <string>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "plugin/resource_events.h"

namespace Kolm::Client::Clubs {

template <class T>
void ClubsManager::PublishUpdate(const std::string& path, const T& value) {
    // Before Start there is no host to tell; the model alone changes.
    if (plugin != nullptr) {
        PublishResourceEvent(*plugin, PluginResourceEventType::Update, path, value);
    }
}

}  // namespace Kolm::Client::Clubs
