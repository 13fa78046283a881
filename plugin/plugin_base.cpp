#include "plugin/plugin_base.h"

#include <new>

#include "logging/assertion_report.h"
#include "logging/logger.h"
#include "logging/message_format.h"
#include "platform/framework_allocator.h"

namespace Kolm::Client {

PluginBase::LoggerReference::LoggerReference() {
    Logger::AddReference();
}

PluginBase::LoggerReference::~LoggerReference() {
    Logger::ReleaseReference();
}

PluginBase::PluginBase() : apiRegistry_(std::make_unique<ApiRegistry>()) {
    // The built-in records come before any type of the host or the plugin.
    apiRegistry_->Types().RegisterBuiltins();
    callbacks_.Init = &PluginBase::InitCallback;
    callbacks_.Shutdown = &PluginBase::ShutdownCallback;
    callbacks_.GetMemoryStats = &PluginBase::GetMemoryStatsCallback;
}

PluginBase::~PluginBase() = default;

void* PluginBase::operator new(std::size_t bytes) {
    void* block = FrameworkAlloc(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void PluginBase::operator delete(void* block) noexcept {
    FrameworkFree(block);
}

void PluginBase::SendRemotingRequest(HostResponse* response, const HostRequest* request) {
    if (const HostApi* api = Api()) {
        api->SendRemotingRequest(api, response, request);
    }
}

void PluginBase::SendHttpRequest(HostHttpResponse* response, const HostHttpRequest* request) {
    if (const HostApi* api = Api()) {
        api->SendHttpRequest(api, response, request);
    }
}

void PluginBase::SendEvent(const HostEventRecord* event) {
    if (const HostApi* api = Api()) {
        api->SendEvent(api, event);
    }
}

void PluginBase::SubscribeHostEvent(const char* eventName,
                                    std::uint32_t clientWord,
                                    HostEventCallback callback,
                                    void* userData,
                                    std::uint32_t kind) {
    if (const HostApi* api = Api()) {
        api->SubscribeHostEvent(api, eventName, clientWord, callback, userData, kind);
    }
}

void PluginBase::UnsubscribeHostEvent(const char* eventName, std::uint32_t clientWord) {
    if (const HostApi* api = Api()) {
        api->UnsubscribeHostEvent(api, eventName, clientWord);
    }
}

void PluginBase::HostReserved5(std::uint32_t first,
                               std::uint32_t second,
                               std::uint32_t third,
                               double number,
                               std::uint32_t fourth) {
    if (const HostApi* api = Api()) {
        api->Reserved5(api, first, second, third, number, fourth);
    }
}

void PluginBase::HostYield() {
    if (const HostApi* api = Api()) {
        api->HostYield(api);
    }
}

void PluginBase::BeginWait(const char* label, std::uint32_t flags) {
    if (const HostApi* api = Api()) {
        api->BeginWait(api, label, flags);
    }
}

std::uint64_t PluginBase::EndWait() {
    const HostApi* api = Api();
    return api != nullptr ? api->EndWait(api) : 0;
}

void PluginBase::RegisterApi() {}

bool PluginBase::Load(PluginLoadRecord& record, std::string_view shortName, std::string_view type) {
    SemanticVersion host{record.versionMajor, record.versionMinor, record.versionPatch, {}, {}};
    const SemanticVersion own = PluginApiVersion();
    if (!IsCompatibleHostVersion(host, own)) {
        const std::string description =
            Format("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
                   shortName, own, host);
        ReportAssertion("ALE-EECF0606", nullptr, 0, nullptr, description.c_str());
        return false;
    }
    hostVersion_ = std::move(host);
    identity_ = MakePluginIdentity(shortName, type);
    apiTags_ = {"Plugins", "Plugin " + identity_.shortName};
    apiRegistry_->SetApiTags(apiTags_);
    RegisterSharedHostTypes();
    RegisterApi();
    apiDescription_ = BuildApiDescription();

    record.versionMajor = own.majorVersion;
    record.versionMinor = own.minorVersion;
    record.versionPatch = own.patchVersion;
    record.callbacks = &callbacks_;
    record.instance = this;
    record.shortName = identity_.shortName.c_str();
    record.apiDescription = apiDescription_;
    return true;
}

bool PluginBase::Init(const HostContext* context) {
    if (context == nullptr || context->api == nullptr) {
        Log(kLogError, kLogGroupDbg, "%s: Init called without a host context",
            identity_.shortName.c_str());
        return false;
    }
    if (hostContext_ != nullptr) {
        Log(kLogError, kLogGroupDbg, "%s: Init called a second time; ignored",
            identity_.shortName.c_str());
        return false;
    }
    hostContext_ = context;
    logTarget_ = InstallPluginLogTarget(context->api);
    userAgent = Format("KolmClient/%1 (%2)", hostVersion_, identity_.shortName);
    clientWord = context->clientWord;
    SubscribeServiceProxyEvents();
    return Start();
}

std::uint8_t ZC_HOST_CALL PluginBase::InitCallback(void* instance, const HostContext* context) {
    if (instance == nullptr) {
        return 0;
    }
    try {
        return static_cast<PluginBase*>(instance)->Init(context) ? 1 : 0;
    } catch (const std::exception& failure) {
        Log(kLogError, kLogGroupDbg, "Plugin start failed: %s", failure.what());
    } catch (...) {
        Log(kLogError, kLogGroupDbg, "Plugin start failed: unknown exception");
    }
    return 0;
}

void ZC_HOST_CALL PluginBase::ShutdownCallback(void* instance) {
    if (instance == nullptr) {
        return;
    }
    auto* plugin = static_cast<PluginBase*>(instance);
    try {
        plugin->Shutdown();
    } catch (...) {
        Log(kLogError, kLogGroupDbg, "Plugin shutdown failed; destroying the plugin anyway");
    }
    delete plugin;
}

void ZC_HOST_CALL PluginBase::GetMemoryStatsCallback(void* /*instance*/,
                                                     PluginMemoryStatsRecord* stats) {
    WriteMemoryStats(stats);
}

void WriteMemoryStats(PluginMemoryStatsRecord* stats) {
    if (stats == nullptr) {
        return;
    }
    const PluginMemoryStats& counters = MemoryStats();
    const std::uint64_t values[6] = {
        counters.peakBytes.load(),   counters.peakBlocks.load(), counters.bytesAllocated.load(),
        counters.allocations.load(), counters.bytesFreed.load(), counters.frees.load(),
    };
    for (int i = 0; i < 6; ++i) {
        stats->words[2 * i] = static_cast<std::uint32_t>(values[i]);
        stats->words[2 * i + 1] = static_cast<std::uint32_t>(values[i] >> 32);
    }
    stats->words[12] = 0;
    stats->words[13] = 0;
}

namespace Detail {

void ReportLoadFailure(const char* what) {
    Log(kLogError, kLogGroupDbg, "Plugin load failed: %s", what);
}

void ReportMissingLoadRecord() {
    Log(kLogError, kLogGroupDbg, "Plugin load called without a load record");
}

}  // namespace Detail

}  // namespace Kolm::Client
