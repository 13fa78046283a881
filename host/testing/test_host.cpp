#include "host/testing/test_host.h"

namespace Kolm::Host {

TestHost::TestHost(LoadZunClubsFunction entry, std::uint32_t clientWord)
    : entry_(entry), host_(clientWord) {}

TestHost::~TestHost() {
    Shutdown();
}

bool TestHost::Load(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) {
    PluginLoadRecord initial{};
    initial.versionMajor = major;
    initial.versionMinor = minor;
    initial.versionPatch = patch;
    return Load(initial);
}

bool TestHost::Load(const PluginLoadRecord& initial) {
    Shutdown();
    record_ = initial;
    const PluginCallbacks* before = record_.callbacks;
    void* instanceBefore = record_.instance;
    entry_(&record_);
    loaded_ = record_.callbacks != nullptr && record_.instance != nullptr &&
              (record_.callbacks != before || record_.instance != instanceBefore);
    return loaded_;
}

bool TestHost::Init() {
    if (!loaded_) {
        return false;
    }
    return record_.callbacks->Init(record_.instance, &host_.Context()) != 0;
}

void TestHost::Shutdown() {
    if (!loaded_) {
        return;
    }
    loaded_ = false;
    record_.callbacks->Shutdown(record_.instance);
}

PluginMemoryStatsRecord TestHost::MemoryStats() const {
    PluginMemoryStatsRecord stats{};
    if (loaded_) {
        record_.callbacks->GetMemoryStats(record_.instance, &stats);
    }
    return stats;
}

std::string TestHost::ShortName() const {
    return loaded_ && record_.shortName != nullptr ? record_.shortName : "";
}

}  // namespace Kolm::Host
