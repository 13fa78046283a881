#include "host/serving/host_options.h"

#include <cstring>
#include <functional>
#include <map>

#include "host/serving/http/origin_policy.h"

namespace Kolm::Host {
namespace {

std::optional<uint64_t> ParseNumber(const std::string& text, uint64_t max) {
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > (max - static_cast<uint64_t>(c - '0')) / 10) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

bool ParseVersion(const std::string& text, HostOptions& options) {
    uint32_t parts[3] = {0, 0, 0};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = text.find('.', start);
        if ((dot == std::string::npos) != (i == 2)) {
            return false;
        }
        const std::optional<uint64_t> part = ParseNumber(
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start),
            UINT32_MAX);
        if (!part) {
            return false;
        }
        parts[i] = static_cast<uint32_t>(*part);
        start = dot + 1;
    }
    options.apiMajor = parts[0];
    options.apiMinor = parts[1];
    options.apiPatch = parts[2];
    return true;
}

}  // namespace

HostOptionsResult ParseHostOptions(int argc, const char* const* argv) {
    HostOptions options;
    using Setter = std::function<bool(const std::string&)>;
    auto port = [](uint16_t& field) {
        return [&field](const std::string& value) {
            const std::optional<uint64_t> number = ParseNumber(value, 65535);
            field = static_cast<uint16_t>(number.value_or(0));
            return number.has_value();
        };
    };
    auto id = [](std::optional<uint64_t>& field) {
        return [&field](const std::string& value) {
            field = ParseNumber(value, UINT64_MAX);
            return field.has_value() && *field != 0;
        };
    };
    auto text = [](std::string& field) {
        return [&field](const std::string& value) {
            field = value;
            return !value.empty();
        };
    };
    auto optionalText = [](std::optional<std::string>& field) {
        return [&field](const std::string& value) {
            field = value;
            return !value.empty();
        };
    };
    const std::map<std::string, Setter> withValue = {
        {"--port", port(options.port)},
        {"--plugin", text(options.pluginPath)},
        {"--service-port", port(options.servicePort)},
        {"--clubs-service-url", text(options.clubsServiceUrl)},
        {"--platform-id", optionalText(options.player.platformId)},
        {"--account-id", id(options.player.accountId)},
        {"--summoner-id", id(options.player.summonerId)},
        {"--summoner-name", optionalText(options.player.summonerName)},
        {"--id-token", optionalText(options.player.idToken)},
        {"--world", text(options.worldFile)},
        {"--export-world", text(options.exportWorldFile)},
        {"--faults", text(options.faultsFile)},
        {"--scenario", text(options.scenarioFile)},
        {"--api-version", [&](const std::string& value) { return ParseVersion(value, options); }},
    };
    HostOptionsResult result;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            options.help = true;
            continue;
        }
        if (flag == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (flag == "--allow-origin") {
            if (i + 1 >= argc) {
                result.error = flag + " needs a value";
                return result;
            }
            std::string why;
            const std::optional<std::string> origin = ParseOrigin(argv[++i], &why);
            if (!origin) {
                result.error =
                    "invalid value for --allow-origin: '" + std::string(argv[i]) + "': " + why;
                return result;
            }
            options.allowedOrigins.push_back(*origin);
            continue;
        }
        const auto setter = withValue.find(flag);
        if (setter == withValue.end()) {
            result.error = "unknown flag " + flag + " (see --help)";
            return result;
        }
        if (i + 1 >= argc) {
            result.error = flag + " needs a value";
            return result;
        }
        if (!setter->second(argv[++i])) {
            result.error = "invalid value for " + flag + ": '" + argv[i] + "'";
            return result;
        }
    }
    result.options = options;
    return result;
}

// How a user stops the program on this system.
#if defined(_WIN32)
constexpr const char* kStopRequests = "Ctrl-C, Ctrl-Break or closing the console window";
#else
constexpr const char* kStopRequests = "Ctrl-C or SIGTERM";
#endif

std::string HostUsage(const std::string& program) {
    return "usage: " + program +
           " [flags]\n"
           "\n"
           "Loads the clubs plugin, starts it with a simulated platform and serves its REST API,\n"
           "its events and an OpenAPI document over HTTP on 127.0.0.1 until interrupted\n"
           "(" +
           kStopRequests +
           "), then shuts the plugin down.\n"
           "\n"
           "  --port N               REST API port (default " +
           std::to_string(HostOptions::kDefaultPort) +
           "; 0 picks a free port, printed at start)\n"
           "  --plugin PATH          the plugin library (default: plugins/zun-clubs/ beside this\n"
           "                         program, then next to it, then the library this program\n"
           "                         was built with)\n"
           "  --service-port N       port of the embedded clubs web service (default 0: any free)\n"
           "  --clubs-service-url U  use the clubs web service at U instead of the embedded one\n"
           "  --world FILE           start from the world in FILE (JSON, or YAML when it ends in\n"
           "                         .yaml or .yml; default: worlds/default.json, built in)\n"
           "  --export-world FILE    write the world as JSON to FILE on exit\n"
           "  --faults FILE          load fault rules (a JSON array) at start\n"
           "  --scenario FILE        run the scenario in FILE (JSON, or YAML when it ends in\n"
           "                         .yaml or .yml) once the host serves\n"
           "  --platform-id ID       the logged-in player's platform id (default: the world's)\n"
           "  --account-id N         the logged-in player's account id (default: the world's)\n"
           "  --summoner-id N        the logged-in player's summoner id (default: the world's)\n"
           "  --summoner-name NAME   the logged-in player's name (default: the world's)\n"
           "  --id-token TOKEN       the login session's token (default: the world's)\n"
           "  --api-version X.Y.Z    the host's plugin-API version (default 18.0.0)\n"
           "  --allow-origin URL     let pages from URL (scheme://host[:port], for example a\n"
           "                         front end's dev server at http://localhost:4200) change\n"
           "                         the host; repeatable. Requests that another site's page\n"
           "                         sends (Origin or Sec-Fetch-Site) are refused otherwise\n"
           "  --quiet                no log line per HTTP request\n"
           "  --help                 this text\n"
           "\n"
           "Paths: /zun-clubs/v1/... the plugin; /zun-clubs-host/v1/events the event stream\n"
           "(?event=NAME, ?uri=PREFIX, Last-Event-ID); /zun-clubs-host/v1/openapi.json the API;\n"
           "/zun-clubs-host/v1/world the world (GET, PUT); /zun-clubs-host/v1/faults the fault\n"
           "rules (GET, POST, DELETE; DELETE .../faults/ID removes one);\n"
           "/zun-clubs-host/v1/scenarios the scenarios (POST starts one, GET lists them,\n"
           "GET and DELETE .../scenarios/ID read and stop one);\n"
           "/zun-clubs-host/v1/clubs-service/players and .../clubs-service/as/ACCOUNT/v1/...\n"
           "act as another player on the embedded service; /zun-login, /zun-platform-config,\n"
           "/zun-summoner, /zun-chat, /player-notifications, /kolm-messaging-service the\n"
           "simulated platform (GET reads; PUT, POST and DELETE change it).\n"
           "\n"
           "Exit status: 0 after a clean shutdown; 2 bad flags or the library cannot be loaded;\n"
           "3 the plugin refused the host's version; 4 a port cannot be bound or the clubs web\n"
           "service cannot be set up; 5 the plugin's Init failed; 6 stopped (" +
           kStopRequests +
           ")\n"
           "while loading the world and starting the plugin, before serving (nothing is\n"
           "exported then).\n";
}

}  // namespace Kolm::Host
