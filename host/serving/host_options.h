// The command line of zun-clubs-host: every flag, its default and the help text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/serving/platform_simulation.h"

namespace Kolm::Host {

// The logged-in player's fields given on the command line; each replaces the world's.
struct PlayerFlags {
    std::optional<std::string> platformId;
    std::optional<uint64_t> accountId;
    std::optional<uint64_t> summonerId;
    std::optional<std::string> summonerName;
    std::optional<std::string> idToken;

    bool Any() const { return platformId || accountId || summonerId || summonerName || idToken; }
};

struct HostOptions {
    static constexpr uint16_t kDefaultPort = 8137;

    uint16_t port = kDefaultPort;  // the REST API, event stream and OpenAPI document
    std::string pluginPath;        // empty: next to the program, then the built library
    uint16_t servicePort = 0;      // the embedded clubs web service; 0: any free port
    std::string clubsServiceUrl;   // non-empty: use that service instead of the embedded one
    PlayerFlags player;
    std::string worldFile;        // empty: the built-in copy of worlds/default.json
    std::string exportWorldFile;  // non-empty: the world is written there on exit
    std::string faultsFile;       // non-empty: fault rules (a JSON array) loaded at start
    std::string scenarioFile;     // non-empty: a scenario run once the host serves
    uint32_t apiMajor = 18;       // the host's plugin-API version handed to the plugin
    uint32_t apiMinor = 0;
    uint32_t apiPatch = 0;
    // Origins (as ParseOrigin gives them) whose pages may change the host besides its own.
    std::vector<std::string> allowedOrigins;
    bool quiet = false;  // no line per HTTP request
    bool help = false;
};

struct HostOptionsResult {
    std::optional<HostOptions> options;  // none: `error` says what is wrong
    std::string error;
};

HostOptionsResult ParseHostOptions(int argc, const char* const* argv);

// The --help text.
std::string HostUsage(const std::string& program);

}  // namespace Kolm::Host
