// TestHost: drives one plugin through the host's lifecycle (load, Init, Shutdown) against a
// RecordingHost, the way the client's plugin manager does.
#pragma once

#include <cstdint>
#include <string>

#include "host/testing/recording_host.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

class TestHost {
  public:
    // `entry` is the plugin's load_zun_clubs (from a PluginLibrary, or linked in); it must stay
    // valid while this host lives.
    explicit TestHost(LoadZunClubsFunction entry, std::uint32_t clientWord = 0x5A17C0DE);
    // Shuts a loaded plugin down, so no instance outlives its host.
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Calls the entry with a load record carrying the host's plugin-API version, the other words
    // zero. True when the plugin accepted: it filled the callbacks and the instance.
    bool Load(std::uint32_t major = 18, std::uint32_t minor = 0, std::uint32_t patch = 0);
    // The same with a record of the caller's choosing (for what a refusal leaves untouched).
    bool Load(const PluginLoadRecord& initial);
    const PluginLoadRecord& LoadRecord() const { return record_; }
    bool IsLoaded() const { return loaded_; }

    // Calls Init with the recording host's context; false when not loaded or the plugin did not
    // start.
    bool Init();
    // Calls Shutdown once; later calls (and calls without a load) do nothing.
    void Shutdown();
    // GetMemoryStats through the callback table (all zero when not loaded).
    PluginMemoryStatsRecord MemoryStats() const;

    // The short name the plugin gave in the load record ("" before).
    std::string ShortName() const;

    RecordingHost& Host() { return host_; }
    const RecordingHost& Host() const { return host_; }

  private:
    LoadZunClubsFunction entry_;
    RecordingHost host_;
    PluginLoadRecord record_{};
    bool loaded_ = false;
};

}  // namespace Kolm::Host
