// PluginBase: the framework's plugin object. It routes the host operations to the host table,
// runs the load sequence, Init and Shutdown, and hands the host its three callbacks.
//
// A plugin derives from it, overrides RegisterApi (its endpoints and types) and Start (its own
// start-up), and exports one entry that calls LoadPlugin<ItsPlugin>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "api/api_registry.h"
#include "logging/plugin_log_target.h"
#include "plugin/host_boundary.h"
#include "plugin/plugin_connection.h"
#include "plugin/plugin_identity.h"
#include "plugin/semantic_version.h"

namespace Kolm::Client {

class PluginBase : public PluginConnection {
  public:
    PluginBase();
    ~PluginBase() override;

    // Plugin objects live on the framework heap, so the memory counters see them.
    static void* operator new(std::size_t bytes);
    static void operator delete(void* block) noexcept;

    // Slots 4 to 12, through the host table (entries 0 to 8), with the table's address first.
    void SendRemotingRequest(HostResponse* response, const HostRequest* request) override;
    void SendHttpRequest(HostHttpResponse* response, const HostHttpRequest* request) override;
    void SendEvent(const HostEventRecord* event) override;
    void SubscribeHostEvent(const char* eventName,
                            std::uint32_t clientWord,
                            HostEventCallback callback,
                            void* userData,
                            std::uint32_t kind) override;
    void UnsubscribeHostEvent(const char* eventName, std::uint32_t clientWord) override;
    void HostReserved5(std::uint32_t first,
                       std::uint32_t second,
                       std::uint32_t third,
                       double number,
                       std::uint32_t fourth) override;
    void HostYield() override;
    void BeginWait(const char* label, std::uint32_t flags) override;
    std::uint64_t EndWait() override;

    // Slot 13: the plugin registers its endpoints, types and events here. Does nothing.
    virtual void RegisterApi();
    // Slot 14: the plugin's own start-up; its result is the result of Init.
    virtual bool Start() = 0;

    // Load steps 2 to 10 for `record`: false (record words 3 to 6 untouched) when the host's
    // plugin-API version is refused or the load failed.
    bool Load(PluginLoadRecord& record, std::string_view shortName, std::string_view type);
    // Init steps 1 to 5. A null context or a second Init is refused with an error line.
    bool Init(const HostContext* context);

    const SemanticVersion& HostVersion() const { return hostVersion_; }
    const PluginIdentity& Identity() const { return identity_; }
    const std::vector<std::string>& ApiTags() const { return apiTags_; }
    const HostContext* Context() const { return hostContext_; }
    const PluginCallbacks& Callbacks() const { return callbacks_; }
    const HostApiDescription* ApiDescription() const { return apiDescription_; }

    // The plugin's types, endpoints and API description; lives as long as the plugin.
    ApiRegistry& GetApiRegistry() { return *apiRegistry_; }
    const ApiRegistry& GetApiRegistry() const { return *apiRegistry_; }
    BindingTypeRegistry* TypeRegistry() const override { return &apiRegistry_->Types(); }

    // The three callbacks the host receives, as plain functions.
    static std::uint8_t ZC_HOST_CALL InitCallback(void* instance, const HostContext* context);
    static void ZC_HOST_CALL ShutdownCallback(void* instance);
    static void ZC_HOST_CALL GetMemoryStatsCallback(void* instance, PluginMemoryStatsRecord* stats);

  private:
    // Load step 7: the host's shared types and events in the plugin's registry.
    void RegisterSharedHostTypes();
    // Load step 9: the description of the registered endpoints; null while there is none.
    const HostApiDescription* BuildApiDescription();
    // Init step 4: the three service-proxy event handlers at the host.
    void SubscribeServiceProxyEvents();

    const HostApi* Api() const { return hostContext_ != nullptr ? hostContext_->api : nullptr; }

    // Holds the plugin's reference on the process-wide logger; declared first, so it is released
    // after every other field of PluginBase (the log target above all) is gone.
    struct LoggerReference {
        LoggerReference();
        ~LoggerReference();
    };
    LoggerReference loggerReference_;

    SemanticVersion hostVersion_;
    std::unique_ptr<PluginLogTarget> logTarget_;
    PluginIdentity identity_;
    std::vector<std::string> apiTags_;
    std::unique_ptr<ApiRegistry> apiRegistry_;
    const HostContext* hostContext_ = nullptr;
    PluginCallbacks callbacks_{};
    const HostApiDescription* apiDescription_ = nullptr;
};

// The load sequence for the plugin type P: creates P on the framework heap, runs Load and, when
// the host is refused or anything fails, destroys it again. A null record does nothing. Nothing
// thrown leaves this function.
template <class P>
void LoadPlugin(PluginLoadRecord* record, std::string_view shortName, std::string_view type);

// Writes the process's memory counters as the host reads them; a null output does nothing.
void WriteMemoryStats(PluginMemoryStatsRecord* stats);

namespace Detail {
void ReportLoadFailure(const char* what);
void ReportMissingLoadRecord();
}  // namespace Detail

template <class P>
void LoadPlugin(PluginLoadRecord* record, std::string_view shortName, std::string_view type) {
    if (record == nullptr) {
        Detail::ReportMissingLoadRecord();
        return;
    }
    P* plugin = nullptr;
    try {
        plugin = new P();
        if (!plugin->Load(*record, shortName, type)) {
            delete plugin;
        }
    } catch (const std::exception& failure) {
        delete plugin;
        Detail::ReportLoadFailure(failure.what());
    } catch (...) {
        delete plugin;
        Detail::ReportLoadFailure("unknown exception");
    }
}

}  // namespace Kolm::Client
