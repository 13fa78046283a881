// zun-clubs-host: loads the clubs plugin the way the client's plugin manager does, starts it
// with a simulated platform and serves its REST API, its events (Server-Sent Events) and an
// OpenAPI document over HTTP on 127.0.0.1 until Ctrl-C or SIGTERM, then shuts it down.
// `zun-clubs-host --help` lists the flags.
#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/boundary/plugin_library.h"
#include "host/serving/console_site.h"
#include "host/serving/host_application.h"
#include "host/serving/host_options.h"
#include "platform/platform.h"

namespace {

constexpr const char* kLibraryFileName = "libzun-clubs.so";

// This program's folder with a trailing separator; "./" when the system cannot tell.
std::string ProgramFolder() {
    const std::string program = Kolm::Platform::ExecutableFileName();
    const std::size_t separator = program.find_last_of("/\\");
    return separator == std::string::npos ? std::string("./") : program.substr(0, separator + 1);
}

bool Exists(const std::string& path) {
    return access(path.c_str(), R_OK) == 0;
}

// The library to load: the one named on the command line, else the first that exists of the
// one in plugins/zun-clubs/ beside this program (where a client installs it), the one next to
// this program and the one this program was built with.
std::string FindLibrary(const std::string& requested) {
    if (!requested.empty()) {
        return requested;
    }
    const std::string folder = ProgramFolder();
    std::vector<std::string> candidates{folder + "plugins/zun-clubs/" + kLibraryFileName,
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

const char* SignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : "SIGTERM";
}

// Takes the stop signals (blocked in every thread) on a thread of its own from before the
// world is read. Until the host serves, a stop signal ends the program at once: a large world
// takes a while to load, nothing has been served yet, and a world half loaded is not one to
// export. Once the host serves, the signal is handed to the main thread, which stops the host
// in order (the world exported).
class StopSignals {
  public:
    explicit StopSignals(const sigset_t& signals)
        : signals_(signals), waiter_([this] { Wait(); }) {}
    ~StopSignals() {
        bool waiting = false;
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            waiting = received_ == 0;
        }
        if (waiting) {
            pthread_kill(waiter_.native_handle(), SIGTERM);  // taken by its sigwait, ignored
        }
        waiter_.join();
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    void Serving() {
        std::lock_guard lock(mutex_);
        serving_ = true;
    }
    // Blocks until a stop signal arrives while serving; its number.
    int WaitForStop() {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [&] { return received_ != 0; });
        return received_;
    }

  private:
    void Wait() {
        int received = 0;
        sigwait(&signals_, &received);
        std::lock_guard lock(mutex_);
        if (closing_) {
            return;  // the program is ending on its own
        }
        if (!serving_) {
            std::fprintf(stderr,
                         "zun-clubs-host: %s received: stopped while loading the world, before "
                         "serving; nothing was exported\n",
                         SignalName(received));
            std::fflush(stderr);
            std::_Exit(Kolm::Host::kExitStoppedLoading);
        }
        received_ = received;
        stopped_.notify_all();
    }

    const sigset_t signals_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool serving_ = false;
    bool closing_ = false;
    int received_ = 0;
    std::thread waiter_;  // last: starts once the rest is set up
};

}  // namespace

int main(int argc, char** argv) {
    using namespace Kolm::Host;
    const HostOptionsResult parsed = ParseHostOptions(argc, argv);
    if (!parsed.options) {
        std::fprintf(stderr, "zun-clubs-host: %s\n", parsed.error.c_str());
        return kExitUsage;
    }
    const HostOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(HostUsage(argv[0]).c_str(), stdout);
        return kExitClean;
    }

    // Signals are taken by StopSignals' sigwait; every thread started from here on inherits
    // the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    StopSignals stops(stopSignals);

    const std::string path = FindLibrary(options.pluginPath);
    if (path.empty()) {
        std::fprintf(stderr, "zun-clubs-host: %s not found; pass --plugin <path>\n",
                     kLibraryFileName);
        return kExitUsage;
    }
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

        const int received = stops.WaitForStop();
        std::fprintf(stderr, "zun-clubs-host: %s received, shutting down\n", SignalName(received));
        application.Stop();
    }
    std::fprintf(stderr, "zun-clubs-host: stopped\n");
    return code;
}
