#include "plugin/semantic_version.h"

#include <gtest/gtest.h>

namespace Kolm::Client {
namespace {

TEST(SemanticVersionTest, TextFormAddsPrereleaseAndBuildOnlyWhenPresent) {
    EXPECT_EQ((SemanticVersion{18, 2, 0, "beta", "7"}).ToString(), "18.2.0-beta+7");
    EXPECT_EQ((SemanticVersion{18, 2, 0, {}, {}}).ToString(), "18.2.0");
    EXPECT_EQ((SemanticVersion{1, 0, 3, "rc1", {}}).ToString(), "1.0.3-rc1");
    EXPECT_EQ((SemanticVersion{4294967295u, 0, 1, {}, "x"}).ToString(), "4294967295.0.1+x");
    EXPECT_EQ(PluginApiVersion().ToString(), "18.0.0");
}

TEST(SemanticVersionTest, AcceptsHostsWithTheSameMajorAndNoOlderMinorPatch) {
    const SemanticVersion own{18, 2, 5, {}, {}};
    EXPECT_TRUE(IsCompatibleHostVersion({18, 2, 5, {}, {}}, own));
    EXPECT_TRUE(IsCompatibleHostVersion({18, 2, 9, {}, {}}, own));
    EXPECT_TRUE(IsCompatibleHostVersion({18, 3, 0, {}, {}}, own));
    EXPECT_FALSE(IsCompatibleHostVersion({18, 2, 4, {}, {}}, own));
    EXPECT_FALSE(IsCompatibleHostVersion({18, 1, 9, {}, {}}, own));
    EXPECT_FALSE(IsCompatibleHostVersion({19, 2, 5, {}, {}}, own));
    EXPECT_FALSE(IsCompatibleHostVersion({17, 9, 9, {}, {}}, own));
}

}  // namespace
}  // namespace Kolm::Client
