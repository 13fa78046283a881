// zun-clubs-host as a program: its start-up failures and their exit codes, its help, the
// OpenAPI document it serves, and a clean shutdown on either signal.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/boundary/plugin_library.h"
#include "host/serving/request_bridge.h"
#include "host/testing/test_host.h"
#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

TEST(HostProcessStart, PrintsWhereToConnectAndStopsCleanlyOnSigint) {
    HostProcess host({});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    EXPECT_NE(host.Output().find("/zun-clubs/v1/clubs/membership"), std::string::npos);
    EXPECT_NE(host.Output().find("/zun-clubs-host/v1/events"), std::string::npos);
    EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").status, 200);
    EXPECT_EQ(host.Stop(SIGINT), 0);
    const std::string log = host.ErrorOutput();
    EXPECT_NE(
        log.find("zun-clubs-host: " + HostProcess::StopName(SIGINT) + " received, shutting down"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("zun-clubs-host: stopped"), std::string::npos);
    // The plugin's own log lines arrive with their level.
    EXPECT_NE(log.find("plugin [OKAY] zun-clubs: Clubs is enabled"), std::string::npos) << log;
}

// SIGTERM, or Ctrl-C for a Windows program, which has no SIGTERM.
TEST(HostProcessStart, StopsCleanlyOnSigtermWhileAStreamIsOpen) {
    HostProcess host({"--quiet"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    EventStreamReader stream(host.Port(), "/zun-clubs-host/v1/events");
    ASSERT_TRUE(stream.Connected());
    EXPECT_EQ(host.Stop(HostProcess::StopSignal(SIGTERM)), 0) << host.ErrorOutput();
}

TEST(HostProcessStart, RefusedVersionExitsWithThree) {
    HostProcess host({"--api-version", "17.0.0"});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 3);
    EXPECT_NE(host.ErrorOutput().find(
                  "zun-clubs-host: the plugin refused the host's plugin-API version 17.0.0"),
              std::string::npos)
        << host.ErrorOutput();
}

TEST(HostProcessStart, TakenPortExitsWithFour) {
    const int blocker = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(blocker, 1), 0);
    socklen_t length = sizeof(address);
    getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    HostProcess host({"--port", port}, false);
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 4);
    const std::string refusal = "zun-clubs-host: 127.0.0.1:" + port + ": cannot bind: ";
    const std::string log = host.ErrorOutput();
    if (WindowsHost()) {
        // Winsock words the reason its own way: a reason on the same line is what counts.
        const std::size_t at = log.find(refusal);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_GT(log.find('\n', at), at + refusal.size()) << log;
    } else {
        EXPECT_NE(log.find(refusal + "Address already in use\n"), std::string::npos) << log;
    }
    close(blocker);
}

TEST(HostProcessStart, MissingLibraryExitsWithTwo) {
    HostProcess host({"--plugin", "/nonexistent/" + PluginFileName()});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 2);
    EXPECT_NE(host.ErrorOutput().find("zun-clubs-host: cannot load the plugin: "),
              std::string::npos);
}

// The plugin's files as the program finds them beside itself: the library built with the tests
// for this system's program; for a Windows one, the plugin and yaml.dll from the plugins folder
// beside it (as the unpacked package holds them).
std::vector<std::filesystem::path> PluginFiles() {
    if (!WindowsHost()) {
        return {ZC_PLUGIN_LIBRARY_PATH};
    }
    const std::filesystem::path folder =
        std::filesystem::path(HostProgram()).parent_path() / "plugins" / "zun-clubs";
    return {folder / "zun-clubs.dll", folder / "yaml.dll"};
}

// The path after "loaded from " in the host's output, in this system's form; "" when missing.
std::string LoadedFrom(const std::string& output) {
    const std::string marker = "loaded from ";
    const std::size_t at = output.find(marker);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + marker.size();
    return PathOnThisSystem(output.substr(start, output.find('\n', start) - start));
}

// As a client installs it: the program in a folder of its own and the plugin in
// plugins/zun-clubs/ beside it, found there without --plugin.
TEST(HostProcessStart, FindsThePluginInItsPluginsFolder) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::path(testing::TempDir()) / ("zc_installed_host_" + std::to_string(getpid()));
    fs::remove_all(folder);
    const fs::path plugins = folder / "plugins" / "zun-clubs";
    fs::create_directories(plugins);
    const fs::path program = folder / fs::path(HostProgram()).filename();
    fs::copy_file(HostProgram(), program);
    fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
    for (const fs::path& file : PluginFiles()) {
        ASSERT_TRUE(fs::exists(file)) << file << " is missing beside the host program";
        fs::copy_file(file, plugins / file.filename());
    }
    const fs::path plugin = plugins / PluginFileName();
    {
        HostProcess host({}, true, HostProcess::Start::WaitForPortLine, program.string());
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        EXPECT_EQ(LoadedFrom(host.Output()), plugin.string()) << host.Output();
        EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").status, 200);
        EXPECT_EQ(host.Stop(SIGINT), 0);
    }
    fs::remove_all(folder);
}

TEST(HostProcessStart, UnknownFlagExitsWithTwo) {
    HostProcess host({"--colour", "blue"});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 2);
    EXPECT_EQ(host.ErrorOutput(), "zun-clubs-host: unknown flag --colour (see --help)\n");
}

TEST(HostProcessStart, HelpDescribesEveryFlag) {
    HostProcess host({"--help"}, false);
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 0);
    for (const char* flag :
         {"--port", "--plugin", "--service-port", "--clubs-service-url", "--platform-id",
          "--account-id", "--summoner-id", "--summoner-name", "--id-token", "--api-version",
          "--quiet", "--help", "--world", "--export-world", "--faults", "--allow-origin"}) {
        EXPECT_NE(host.Output().find(std::string("  ") + flag + " "), std::string::npos) << flag;
    }
}

TEST(HostProcessStart, AnotherServiceUrlIsUsedInsteadOfTheEmbeddedOne) {
    // A service nobody answers: the plugin's load fails, the host keeps serving and says so.
    const std::string url = "http://127.0.0.1:" + std::to_string(FreePort());
    HostProcess host({"--clubs-service-url", url, "--quiet"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    EXPECT_NE(host.Output().find("clubs web service at " + url + "\n"), std::string::npos);
    EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs-host/v1/clubs-service/players").status, 404);
    const rapidjson::Document membership =
        ParseJson(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").body);
    ASSERT_TRUE(membership.IsObject());
    EXPECT_EQ(membership["activeClubs"].Size(), 0u);
}

TEST(HostOpenApi, ListsEveryEndpointOfThePlugin) {
    HostProcess host({"--quiet"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    const HttpResult fetched = Request(host.Port(), "GET", "/zun-clubs-host/v1/openapi.json");
    ASSERT_EQ(fetched.status, 200);
    const rapidjson::Document document = ParseJson(fetched.body);
    ASSERT_TRUE(document.IsObject()) << fetched.body.substr(0, 200);
    EXPECT_STREQ(document["openapi"].GetString(), "3.0.3");
    const auto& paths = document["paths"];

    // The endpoints as the plugin itself lists them, read in-process from the same library.
    std::string error;
    auto library = Host::PluginLibrary::Open(ZC_PLUGIN_LIBRARY_PATH, &error);
    ASSERT_NE(library, nullptr) << error;
    Host::TestHost plugin(library->Entry());
    ASSERT_TRUE(plugin.Load());
    const HostApiDescription* description = plugin.LoadRecord().apiDescription;
    ASSERT_NE(description, nullptr);
    ASSERT_EQ(description->functionCount, 24u);
    std::set<std::string> operationIds;
    for (uint32_t i = 0; i < description->functionCount; ++i) {
        const HostFunctionEntry& entry = description->functions[i];
        std::string method = Host::MethodName(entry.method);
        for (char& c : method) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        ASSERT_TRUE(paths.HasMember(entry.pathTemplate)) << entry.pathTemplate;
        ASSERT_TRUE(paths[entry.pathTemplate].HasMember(method.c_str()))
            << method << " " << entry.pathTemplate;
        const auto& operation = paths[entry.pathTemplate][method.c_str()];
        EXPECT_STREQ(operation["operationId"].GetString(), entry.name);
        operationIds.insert(entry.name);
    }
    EXPECT_EQ(operationIds.size(), 24u);
    // Path arguments are declared, body arguments are request bodies with a schema.
    const auto& invite = paths["/zun-clubs/v1/clubs/{clubKey}/invitations/{summonerId}"]["post"];
    ASSERT_EQ(invite["parameters"].Size(), 2u);
    EXPECT_STREQ(invite["parameters"][1]["name"].GetString(), "summonerId");
    EXPECT_STREQ(invite["parameters"][1]["in"].GetString(), "path");
    EXPECT_STREQ(invite["parameters"][1]["schema"]["type"].GetString(), "integer");
    const auto& motd = paths["/zun-clubs/v1/clubs/{clubKey}/motd"]["patch"];
    EXPECT_STREQ(motd["requestBody"]["content"]["application/json"]["schema"]["$ref"].GetString(),
                 "#/components/schemas/ClubMOTD");
    const auto& schemas = document["components"]["schemas"];
    EXPECT_TRUE(schemas["ClubMOTD"]["properties"].HasMember("motd"));
    EXPECT_STREQ(schemas["ClubRole"]["type"].GetString(), "string");
    // Every reference resolves.
    const std::string text = fetched.body;
    for (std::size_t at = text.find("#/components/schemas/"); at != std::string::npos;
         at = text.find("#/components/schemas/", at + 1)) {
        const std::size_t start = at + std::strlen("#/components/schemas/");
        const std::string name = text.substr(start, text.find('"', start) - start);
        EXPECT_TRUE(schemas.HasMember(name.c_str())) << name;
    }
    EXPECT_TRUE(document["x-events"].Size() > 0);
}

}  // namespace
}  // namespace Kolm::HostTest
