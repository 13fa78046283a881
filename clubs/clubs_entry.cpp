// The plugin library's one export: the host calls it with the load record.
#include "clubs/clubs_plugin.h"
#include "plugin/host_boundary.h"
#include "plugin/plugin_identity.h"

#if defined(_WIN32)
#define ZC_PLUGIN_EXPORT __declspec(dllexport)
#else
#define ZC_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZC_PLUGIN_EXPORT void ZC_HOST_CALL load_zun_clubs(PluginLoadRecord* record) {
    Kolm::Client::LoadPlugin<Kolm::Client::Clubs::ClubsPlugin>(
        record, Kolm::Client::Clubs::ClubsPlugin::kShortName, Kolm::Client::kBackendPluginType);
}
