// PluginLibrary: a plugin's shared library opened by the host, with its entry resolved.
#pragma once

#include <memory>
#include <string>

#include "plugin/host_boundary.h"

namespace Kolm::Host {

class PluginLibrary {
  public:
    static constexpr const char* kEntryName = "load_zun_clubs";

    // Opens the library at `path` and finds its entry; null with `error` filled when either
    // fails.
    static std::unique_ptr<PluginLibrary> Open(const std::string& path, std::string* error);

    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    LoadZunClubsFunction Entry() const { return entry_; }
    const std::string& Path() const { return path_; }

  private:
    PluginLibrary(void* handle, LoadZunClubsFunction entry, std::string path)
        : handle_(handle), entry_(entry), path_(std::move(path)) {}

    void* handle_;
    LoadZunClubsFunction entry_;
    std::string path_;
};

}  // namespace Kolm::Host
