#include "plugin/plugin_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/logger.h"

namespace Kolm::Client {
namespace {

void Collect(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

class PluginIdentityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Logger& logger = Logger::AddReference();
        logger.StdErrTarget().SetLineFormat("#L|#M");
        logger.StdErrTarget().RedirectOutput(Collect, &lines_);
        logger.DetachTarget(logger.DebuggerConsoleTarget());
    }
    void TearDown() override { Logger::ReleaseReference(); }

    std::vector<std::string> lines_;
};

TEST_F(PluginIdentityTest, NamesBackendAndFrontendPluginsByTheirPrefix) {
    EXPECT_EQ(GetFullNameFromShortNameAndType("zun-clubs", "backend"), "mvz-be-zun-clubs");
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", "frontend"), "mvz-fe-x");
    EXPECT_TRUE(lines_.empty());
}

TEST_F(PluginIdentityTest, UnknownTypeStillGetsANameAndOneErrorLine) {
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", "sidecar"), "mvz-xx-x");
    EXPECT_EQ(lines_, std::vector<std::string>{
                          " ERROR|            Plugin Manager| GetFullNameFromShortNameAndType("
                          "\"x\", \"sidecar\") called with an unknown type\n"});
}

TEST_F(PluginIdentityTest, IdentityCarriesAllFourTexts) {
    const PluginIdentity identity = MakePluginIdentity("zun-clubs", kBackendPluginType);
    EXPECT_EQ(identity.fullName, "mvz-be-zun-clubs");
    EXPECT_EQ(identity.shortName, "zun-clubs");
    EXPECT_EQ(identity.type, "backend");
    EXPECT_EQ(identity.typeSuffix, "");
}

}  // namespace
}  // namespace Kolm::Client
