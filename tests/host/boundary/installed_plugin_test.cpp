// The plugin as a host installs it: loaded by path from a plugins folder of its own, away from
// the host program's folder, with no library search path pointing there. The Windows test run
// starts it from the unpacked release package:
//
//   zc_installed_plugin_test <path of the plugin library> beside|missing
//
// "beside": libyaml lies beside the plugin and YAML bodies are parsed with it. "missing": no
// libyaml can be found; the plugin still loads and serves JSON and MessagePack, and only YAML
// bodies fail, with a message naming the library it looked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/boundary/plugin_library.h"
#include "host/testing/test_host.h"

namespace Kolm::Host {
namespace {

std::string pluginPath;
bool yamlBeside = true;

struct Reply {
    bool hasError = false;
    std::uint32_t status = 0;
    std::string errorText;
};

class InstalledPluginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        library_ = PluginLibrary::Open(pluginPath, &error);
        ASSERT_NE(library_, nullptr) << error;
        host_ = std::make_unique<TestHost>(library_->Entry());
        ASSERT_TRUE(host_->Load());
        ASSERT_TRUE(host_->Init());
    }
    void TearDown() override { host_.reset(); }

    // PATCH on a club's message of the day; the handler passes the text it was given on to the
    // clubs web service (which this host does not answer).
    Reply PatchMotd(const std::string& contentType, const std::string& body) {
        const HostApiDescription* description = host_->LoadRecord().apiDescription;
        const HostFunctionEntry* entry = nullptr;
        for (std::uint32_t i = 0; description != nullptr && i < description->functionCount; ++i) {
            const HostFunctionEntry& candidate = description->functions[i];
            if (candidate.method == HOST_METHOD_PATCH &&
                std::strcmp(candidate.pathTemplate, "/zun-clubs/v1/clubs/{clubKey}/motd") == 0) {
                entry = &candidate;
            }
        }
        EXPECT_NE(entry, nullptr);
        if (entry == nullptr) {
            return {true, 0, "no endpoint"};
        }
        const std::string uri = "/zun-clubs/v1/clubs/club-1/motd";
        HostRequest request{};
        request.method = HOST_METHOD_PATCH;
        request.uri = uri.c_str();
        request.dispatchRecord = entry->dispatchRecord;
        request.contentType = contentType.c_str();
        request.body = reinterpret_cast<const std::uint8_t*>(body.data());
        request.bodyLength = static_cast<std::uint32_t>(body.size());
        HostResponse response{};
        entry->handler(&response, &request);
        Reply reply{response.hasError != 0, response.status,
                    response.hasError != 0 && response.errorText ? response.errorText : ""};
        if (response.release != nullptr) {
            response.release(&response);
        }
        return reply;
    }

    // The body of the plugin's last request to the clubs web service: for this endpoint, the
    // message of the day it read from the request body.
    std::string LastBodySent() const {
        const std::vector<RecordedHttpRequest> sent = host_->Host().HttpRequests();
        return sent.empty() ? std::string() : sent.back().body;
    }

    std::unique_ptr<PluginLibrary> library_;
    std::unique_ptr<TestHost> host_;
};

const std::string kMessagePackMotd("\x81\xA4motd\xACMeet at dusk", 19);  // {"motd": "Meet at dusk"}

TEST_F(InstalledPluginTest, JsonAndMessagePackBodiesReachTheWebService) {
    PatchMotd("application/json", R"({"motd":"Meet at dusk"})");
    EXPECT_EQ(LastBodySent(), "Meet at dusk");
    PatchMotd("application/x-msgpack", kMessagePackMotd);
    EXPECT_EQ(LastBodySent(), "Meet at dusk");
}

TEST_F(InstalledPluginTest, YamlBodiesAreReadWithTheLibraryBesideThePlugin) {
    if (!yamlBeside) {
        GTEST_SKIP() << "this run has no libyaml beside the plugin";
    }
    PatchMotd("application/x-yaml", "motd: Meet at dusk\n");
    EXPECT_EQ(LastBodySent(), "Meet at dusk");
    // libyaml's own problem text shows that the library itself read the body.
    const Reply broken = PatchMotd("application/x-yaml", "motd: [hi\n");
    EXPECT_TRUE(broken.hasError);
    EXPECT_NE(broken.errorText.find("YAML parser error: did not find expected ',' or ']'"),
              std::string::npos)
        << broken.errorText;
}

TEST_F(InstalledPluginTest, WithoutLibyamlOnlyYamlBodiesFailNamingTheLibrary) {
    if (yamlBeside) {
        GTEST_SKIP() << "this run has libyaml beside the plugin";
    }
    const std::size_t sentBefore = host_->Host().HttpRequests().size();
    const Reply yaml = PatchMotd("application/x-yaml", "motd: hi\n");
    EXPECT_TRUE(yaml.hasError);
    EXPECT_EQ(host_->Host().HttpRequests().size(), sentBefore);
#if defined(_WIN32)
    const char* expected = "YAML is not available: the library \"yaml.dll\" could not be loaded.";
#else
    const char* expected = "YAML is not available: the library \"libyaml-0.so.2\" could not be";
#endif
    EXPECT_NE(yaml.errorText.find(expected), std::string::npos) << yaml.errorText;
    // The message names the plugin's folder, where the library should have been.
    const std::string folder = pluginPath.substr(0, pluginPath.find_last_of("\\/"));
    const std::string pluginFolderName = folder.substr(folder.find_last_of("\\/") + 1);
    EXPECT_NE(yaml.errorText.find(pluginFolderName), std::string::npos) << yaml.errorText;
}

}  // namespace
}  // namespace Kolm::Host

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3 ||
        (std::strcmp(argv[2], "beside") != 0 && std::strcmp(argv[2], "missing") != 0)) {
        std::fprintf(stderr, "usage: %s <plugin library> beside|missing\n", argv[0]);
        return 2;
    }
    Kolm::Host::pluginPath = argv[1];
    Kolm::Host::yamlBeside = std::strcmp(argv[2], "beside") == 0;
    return RUN_ALL_TESTS();
}
