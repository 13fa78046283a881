// The levels and group masks of the clubs plugin's lines. The host table carries a line's level
// and text only, so the plugin runs in process here, against a recording host, with a target of
// its own on the process's logger beside the plugin's.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "clubs/clubs_manager.h"
#include "clubs/clubs_plugin.h"
#include "host/testing/recording_host.h"
#include "logging/log_target.h"
#include "logging/logger.h"

namespace Kolm::Client::Clubs {
namespace {

struct SeenLine {
    std::int32_t level = 0;
    std::uint64_t groups = 0;
    std::string text;
    bool operator==(const SeenLine&) const = default;
};

void PrintTo(const SeenLine& line, std::ostream* out) {
    *out << "{level " << line.level << ", groups " << line.groups << ", \"" << line.text << "\"}";
}

class SeenLines final : public LogTarget {
  public:
    const char* Name() const override { return "SeenLines"; }
    void Write(const LogRecord& record) override {
        lines.push_back({record.level, record.groups, record.message});
    }
    std::vector<SeenLine> lines;
};

constexpr const char* kNoAnswer = "no simulated plugin answers this request";

class ClubsLogGroupsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plugin->RegisterApi();
        ASSERT_TRUE(plugin->Init(&host.Context()));
        // After Init, which routes the logger to the plugin's own target.
        Logger::AddReference().AttachTarget(seen, kLogOkay, 0, 0, LogTarget::kDefaultLineFormat);
    }
    void TearDown() override {
        seen.Detach();
        Logger::ReleaseReference();
        plugin->Shutdown();
        delete plugin;
    }

    // Every remote call of the plugin is refused by the recording host.
    static std::string Refused(const std::string& what, const std::string& uri) {
        return "zun-clubs: Failed " + what + ": Error response for GET " + uri + ": " + kNoAnswer;
    }

    Host::RecordingHost host;
    ClubsPlugin* plugin = new ClubsPlugin();
    SeenLines seen;
};

TEST_F(ClubsLogGroupsTest, EnableStateNotesAreOkayLinesOfTheGeneralGroup) {
    plugin->ConfigureClubs();
    EXPECT_EQ(seen.lines,
              (std::vector<SeenLine>{{kLogOkay, kLogGroupGen, "zun-clubs: Clubs is NOT enabled"}}));
}

TEST_F(ClubsLogGroupsTest, FailedLookUpsAreErrorLinesOfTheDebugGroup) {
    plugin->manager->ReadPlayerNotifications();
    plugin->manager->PostClubNotification("k", "Alpha", "club", "clubs_toast", "clubs_removed", {});

    Api::ClubDto fresh;
    fresh.clubData.clubKey = "k";
    Api::MemberSinceDto joined;
    joined.playerInfo.summonerId = 7;
    joined.role = "MEMBER";
    fresh.membership.activeMembers = {joined};
    plugin->manager->RefreshClub(Api::PlayerClub{}, fresh);

    ASSERT_GE(seen.lines.size(), 3u);
    EXPECT_EQ(seen.lines[0], (SeenLine{kLogError, kLogGroupDbg,
                                       Refused("to look up player notifications",
                                               "/player-notifications/v1/notifications")}));
    EXPECT_EQ(seen.lines[1],
              (SeenLine{kLogError, kLogGroupDbg,
                        Refused("to get Clubs data", "/zun-platform-config/v1/namespaces/Clubs")}));
    EXPECT_EQ(seen.lines[2],
              (SeenLine{kLogError, kLogGroupDbg,
                        Refused("to get summoner data", "/zun-summoner/v1/summoners/7")}));
}

}  // namespace
}  // namespace Kolm::Client::Clubs
