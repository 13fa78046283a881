// ClubsScenario: a test fixture around ClubsTestHost for the club actions and toasts. It knows
// five players (ours, carl, and Bob, alice, Zed and Xavier), gives the summoner plugin their
// names and icons and the platform configuration both toast icons, builds clubs by acting on the
// web service as any of them, and writes the toast records the plugin is expected to post.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/clubs/clubs_test_host.h"

namespace Kolm::ClubsTest {

// The other players: account ids 2002.., summoner ids 3002.., tokens "t-<account>".
inline constexpr uint64_t kBobAccount = 2002;
inline constexpr uint64_t kBob = 3002;
inline constexpr uint64_t kAliceAccount = 2003;
inline constexpr uint64_t kAlice = 3003;
inline constexpr uint64_t kZedAccount = 2004;
inline constexpr uint64_t kZed = 3004;
inline constexpr uint64_t kXavierAccount = 2005;
inline constexpr uint64_t kXavier = 3005;

inline constexpr const char* kMemberIcon = "https://icons.test/member.png";
inline constexpr const char* kActiveIcon = "https://icons.test/active.png";

class ClubsScenario : public ::testing::Test {
  protected:
    void SetUp() override;

    // Sends a request to the web service as `account`; EXPECTs it to be accepted.
    std::string Act(uint64_t account,
                    const std::string& method,
                    const std::string& path,
                    const std::string& body = "");
    // A club created by `account`; its key.
    std::string CreateClub(uint64_t account, const std::string& name);
    // The owner `owner` invites the player and the player accepts.
    void Join(uint64_t owner, const std::string& clubKey, uint64_t account, uint64_t summonerId);
    // Promotes the member with that account id (the service names members by account here).
    void Promote(uint64_t owner, const std::string& clubKey, uint64_t account);

    // Every record the plugin posted to the player-notifications plugin, as JSON.
    std::vector<json> Posted() const;
    std::vector<std::string> PostedDetailKeys() const;
    std::size_t NotificationReads() const { return host.notifications->ReadCount(); }
    long CountLines(int32_t level, const std::string& text) const {
        return host.CountLines(level, text);
    }

    RestReply Patch(const std::string& uri, const std::string& body) {
        return host.Call(HOST_METHOD_PATCH, uri, body);
    }
    RestReply Delete(const std::string& uri) { return host.Call(HOST_METHOD_DELETE, uri); }

    ClubsTestHost host;
};

// The whole record of a toast about a club as a whole.
json ClubToast(const std::string& detailKey,
               const std::string& clubKey,
               const std::string& clubName,
               const std::string& iconUrl);

// The whole record of a toast about one player.
json MemberToast(const std::string& type,
                 const std::string& detailKey,
                 uint64_t summonerId,
                 const std::string& summonerName,
                 const std::string& roleName,
                 const std::string& clubKey,
                 const std::string& clubName,
                 const std::string& iconUrl);

}  // namespace Kolm::ClubsTest
