// zun-clubs-host: loads the clubs plugin the way the client's plugin manager does, starts it
// with a simulated platform and serves its REST API, its events (Server-Sent Events) and an
// OpenAPI document over HTTP on 127.0.0.1 until stopped (Ctrl-C, SIGTERM, the console window
// closed), then shuts it down.
// `zun-clubs-host --help` lists the flags.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "host/boundary/plugin_library.h"
#include "host/serving/console_site.h"
#include "host/serving/host_application.h"
#include "host/serving/host_options.h"
#include "host/worlds/yaml_to_json.h"
#include "platform/platform.h"
#include "platform/program_arguments.h"
#include "platform/stop_requests.h"
#include "platform/utf8_path.h"

namespace {

#if defined(_WIN32)
constexpr const char* kLibraryFileName = "zun-clubs.dll";
constexpr const char* kPluginFolder = "plugins\\zun-clubs\\";
#else
constexpr const char* kLibraryFileName = "libzun-clubs.so";
constexpr const char* kPluginFolder = "plugins/zun-clubs/";
#endif

// This program's folder with a trailing separator; "./" when the system cannot tell.
std::string ProgramFolder() {
    const std::string program = Kolm::Platform::ExecutableFileName();
    const std::size_t separator = program.find_last_of("/\\");
    return separator == std::string::npos ? std::string("./") : program.substr(0, separator + 1);
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(Kolm::Platform::Utf8Path(path), error);
}

// The absolute folder of a file, with a trailing separator, in UTF-8; empty when unknown.
std::string FolderOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full =
        std::filesystem::absolute(Kolm::Platform::Utf8Path(path), error);
    if (error || !full.has_parent_path()) {
        return {};
    }
    const std::u8string folder = (full.parent_path() / "").u8string();
    return std::string(folder.begin(), folder.end());
}

// The library to load: the one named on the command line, else the first that exists of the
// one in plugins/zun-clubs/ beside this program (where a client installs it), the one next to
// this program and the one this program was built with.
std::string FindLibrary(const std::string& requested) {
    if (!requested.empty()) {
        return requested;
    }
    const std::string folder = ProgramFolder();
    std::vector<std::string> candidates{folder + kPluginFolder + kLibraryFileName,
                                        folder + kLibraryFileName};
#if defined(ZC_DEFAULT_PLUGIN_PATH)
    candidates.push_back(ZC_DEFAULT_PLUGIN_PATH);
#endif
    for (const std::string& candidate : candidates) {
        if (Exists(candidate)) {
            return candidate;
        }
    }
    return {};
}

void PrintLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

// A stop request before the host serves ends the program at once: a large world takes a while
// to load, nothing has been served yet, and a world half loaded is not one to export.
void StopWhileLoading(const char* what) {
    std::fprintf(stderr,
                 "zun-clubs-host: %s received: stopped while loading the world, before serving; "
                 "nothing was exported\n",
                 what);
    std::fflush(stderr);
    std::_Exit(Kolm::Host::kExitStoppedLoading);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Kolm::Host;
    Kolm::Platform::UseUtf8Console();
    const std::vector<std::string> arguments = Kolm::Platform::Utf8Arguments(argc, argv);
    std::vector<const char*> argumentTexts;
    for (const std::string& argument : arguments) {
        argumentTexts.push_back(argument.c_str());
    }
    const HostOptionsResult parsed =
        ParseHostOptions(static_cast<int>(argumentTexts.size()), argumentTexts.data());
    if (!parsed.options) {
        std::fprintf(stderr, "zun-clubs-host: %s\n", parsed.error.c_str());
        return kExitUsage;
    }
    const HostOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(HostUsage(arguments.empty() ? "zun-clubs-host" : arguments[0]).c_str(), stdout);
        return kExitClean;
    }

    // From before the world is read; every thread started from here on inherits its setup.
    // Once the host serves, the main thread stops it in order (the world exported).
    Kolm::Platform::StopRequests stops(&StopWhileLoading);

    const std::string path = FindLibrary(options.pluginPath);
    if (path.empty()) {
        std::fprintf(stderr, "zun-clubs-host: %s not found; pass --plugin <path>\n",
                     kLibraryFileName);
        return kExitUsage;
    }
    // The YAML library shipped beside the plugin serves this program's world files too.
    UseYamlLibraryFolder(FolderOf(path));
    std::string error;
    const std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(path, &error);
    if (library == nullptr) {
        std::fprintf(stderr, "zun-clubs-host: cannot load the plugin: %s\n", error.c_str());
        return kExitUsage;
    }

    int code = kExitClean;
    {
        HostApplication application(options, &PrintLine);
        if (!options.worldFile.empty()) {
            std::fprintf(stderr, "zun-clubs-host: loading the world %s\n",
                         options.worldFile.c_str());
        }
        code = application.Start(library->Entry(), &error);
        if (code != kExitClean) {
            std::fprintf(stderr, "zun-clubs-host: %s\n", error.c_str());
            application.Stop();
            return code;
        }
        stops.Serving();
        const std::string base = application.BaseUrl();
        std::printf("zun-clubs-host: plugin %s loaded from %s\n", application.PluginName(),
                    library->Path().c_str());
        std::printf("zun-clubs-host: clubs web service at %s%s\n",
                    application.ClubsServiceUrl().c_str(),
                    application.ClubsService() != nullptr ? " (embedded)" : "");
        std::printf("zun-clubs-host: listening on %s\n", base.c_str());
        std::printf("  console:      %s%s\n", base.c_str(), std::string(kConsolePath).c_str());
        std::printf("  membership:   curl %s/zun-clubs/v1/clubs/membership\n", base.c_str());
        std::printf("  events:       curl -N %s%s/events\n", base.c_str(),
                    HostApplication::kHostPrefix);
        std::printf("  OpenAPI:      %s%s/openapi.json\n", base.c_str(),
                    HostApplication::kHostPrefix);
        std::printf("  toasts:       curl %s/player-notifications/v1/notifications\n",
                    base.c_str());
        std::printf("  other player: curl %s%s/clubs-service/players\n", base.c_str(),
                    HostApplication::kHostPrefix);
        std::printf("Press Ctrl-C to stop.\n");
        std::fflush(stdout);

        const char* received = stops.WaitForStop();
        std::fprintf(stderr, "zun-clubs-host: %s received, shutting down\n", received);
        application.Stop();
    }
    std::fprintf(stderr, "zun-clubs-host: stopped\n");
    return code;
}
