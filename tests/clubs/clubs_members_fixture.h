// ClubsMembersTest: the fixture of the member-action, invitation and push-message tests. On top
// of ClubsScenario (five known players, names, icons) it acts on the web service by account id
// as any player, reads the plugin's REST API, and summarises what the plugin published and
// asked the web service.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/simulated/clubs_push_bridge.h"
#include "tests/clubs/clubs_scenario.h"

namespace Kolm::ClubsTest {

inline const std::string kClubsApi = "/zun-clubs/v1/clubs";

class ClubsMembersTest : public ClubsScenario {
  protected:
    // --- The web service, as any player (account ids) ---
    void InviteAs(uint64_t account, const std::string& clubKey, uint64_t inviteeSummonerId);
    void AnswerAs(uint64_t account, const std::string& clubKey, int status);
    void ChangeAs(uint64_t account,
                  const std::string& clubKey,
                  const std::string& operation,  // "promote", "demote", "remove", "ownership"
                  uint64_t targetAccount);
    void NominateAs(uint64_t account, const std::string& clubKey, uint64_t nomineeSummonerId);

    // From now on every change of the web service reaches the plugin as a push message.
    void ConnectPushMessages();

    // --- The plugin ---
    json Read(const std::string& uri);
    // The last value published on each path.
    std::map<std::string, json> LatestPublications() const;
    // The published paths, in order.
    std::vector<std::string> PublishedUris() const;
    // "METHOD /path?query" of each web-service request, the base URL cut off.
    std::vector<std::string> ServiceCalls() const;

    // A service answer for SetServiceHook: a refusal with this status and error code.
    static Host::WebResponse Refusal(int status, const std::string& errorCode);

    std::unique_ptr<Host::ClubsPushBridge> bridge;
};

}  // namespace Kolm::ClubsTest
