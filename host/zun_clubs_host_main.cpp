// zun-clubs-host: loads the clubs plugin the way the client's plugin manager does, starts it,
// shows what it tells the host and shuts it down again.
//
// Usage: zun-clubs-host [--plugin <path to the plugin library>]
// Without --plugin the library is looked for next to this program, then at the path of the
// library this program was built with.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

#include "host/plugin_library.h"
#include "host/test_host.h"

namespace {

#if defined(_WIN32)
constexpr const char* kLibraryFileName = "zun-clubs.dll";
#else
constexpr const char* kLibraryFileName = "libzun-clubs.so";
#endif

std::string ProgramDirectory() {
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program(path, length < MAX_PATH ? length : 0);
#else
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string program(path, length > 0 ? static_cast<std::size_t>(length) : 0);
#endif
    const std::size_t slash = program.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : program.substr(0, slash);
}

bool Exists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        std::fclose(file);
    }
    return file != nullptr;
}

std::vector<std::string> Candidates(int argc, char** argv, bool* explicitPath) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--plugin") == 0) {
            *explicitPath = true;
            return {argv[i + 1]};
        }
    }
    std::vector<std::string> candidates{ProgramDirectory() + "/" + kLibraryFileName};
#if defined(ZC_DEFAULT_PLUGIN_PATH)
    candidates.push_back(ZC_DEFAULT_PLUGIN_PATH);
#endif
    return candidates;
}

const char* LevelName(std::int32_t level) {
    switch (level) {
        case 0:
            return "OKAY";
        case 1:
            return "WARN";
        case 2:
            return "ERROR";
        case 3:
            return "ALWAYS";
        default:
            return "?";
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: %s [--plugin <path to %s>]\n", argv[0], kLibraryFileName);
            return 0;
        }
    }
    bool explicitPath = false;
    std::string path;
    for (const std::string& candidate : Candidates(argc, argv, &explicitPath)) {
        if (explicitPath || Exists(candidate)) {
            path = candidate;
            break;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "zun-clubs-host: %s not found; pass --plugin <path>\n",
                     kLibraryFileName);
        return 2;
    }

    std::string error;
    std::unique_ptr<Kolm::Host::PluginLibrary> library =
        Kolm::Host::PluginLibrary::Open(path, &error);
    if (library == nullptr) {
        std::fprintf(stderr, "zun-clubs-host: %s\n", error.c_str());
        return 2;
    }
    std::printf("plugin library: %s\n", library->Path().c_str());

    Kolm::Host::TestHost host(library->Entry());
    host.Host().ObserveLogLines([](std::int32_t level, const char* line) {
        std::printf("plugin log [%s] %s\n", LevelName(level), line);
    });
    if (!host.Load(18, 0, 0)) {
        std::fprintf(stderr, "zun-clubs-host: the plugin refused to load\n");
        return 1;
    }
    const PluginLoadRecord& record = host.LoadRecord();
    std::printf("plugin name: %s\n", host.ShortName().c_str());
    std::printf("plugin API version: %u.%u.%u\n", record.versionMajor, record.versionMinor,
                record.versionPatch);
    std::printf("API description: %s\n", record.apiDescription != nullptr ? "present" : "none");

    const bool started = host.Init();
    std::printf("Init: %s\n", started ? "started" : "not started");
    std::printf("host event subscriptions: %zu\n", host.Host().ActiveSubscriptions().size());

    host.Shutdown();
    std::printf("Shutdown: done (%zu unsubscriptions)\n", host.Host().Unsubscriptions().size());
    return started ? 0 : 1;
}
