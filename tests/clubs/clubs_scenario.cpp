#include "tests/clubs/clubs_scenario.h"

#include <algorithm>

namespace Kolm::ClubsTest {

namespace {

json Toast(const std::string& type,
           const std::string& detailKey,
           json data,
           const std::string& icon) {
    return {{"backgroundUrl", ""},       {"created", ""},
            {"critical", false},         {"data", std::move(data)},
            {"detailKey", detailKey},    {"expires", ""},
            {"iconUrl", icon},           {"id", 0},
            {"source", "clubs"},         {"state", ""},
            {"titleKey", "clubs_toast"}, {"type", type}};
}

}  // namespace

void ClubsScenario::SetUp() {
    host.AddDefaultPlayer();
    const std::pair<uint64_t, uint64_t> others[] = {{kBobAccount, kBob},
                                                    {kAliceAccount, kAlice},
                                                    {kZedAccount, kZed},
                                                    {kXavierAccount, kXavier}};
    for (const auto& [account, summonerId] : others) {
        ASSERT_TRUE(host.service.AddPlayer(
            {kPlatformId, account, summonerId, "t-" + std::to_string(account)}));
    }
    host.summoner->AddSummoner(kSummonerId, "carl", 11);
    host.summoner->AddSummoner(kBob, "Bob", 12);
    host.summoner->AddSummoner(kAlice, "alice", 13);
    host.summoner->AddSummoner(kZed, "Zed", 14);
    host.summoner->AddSummoner(kXavier, "Xavier", 15);
    host.platformConfig->SetNamespaceValue("Clubs", "ClubsMemberIcon",
                                           Host::OwnedHostValue::String(kMemberIcon));
    host.platformConfig->SetNamespaceValue("Clubs", "ClubsActiveIcon",
                                           Host::OwnedHostValue::String(kActiveIcon));
    ASSERT_TRUE(host.Init());
}

std::string ClubsScenario::Act(uint64_t account,
                               const std::string& method,
                               const std::string& path,
                               const std::string& body) {
    const Host::WebResponse answer =
        host.service.HandleAs(account, method, std::string(kServiceUrl) + path, body);
    EXPECT_LT(answer.status, 300) << method << " " << path << ": " << answer.body;
    return answer.body;
}

std::string ClubsScenario::CreateClub(uint64_t account, const std::string& name) {
    Act(account, "POST", "/v1/clubs?clubName=" + name);
    return host.service.FindClubKeyByName(name).value_or("");
}

void ClubsScenario::Join(uint64_t owner,
                         const std::string& clubKey,
                         uint64_t account,
                         uint64_t summonerId) {
    const json invite = {{"clubKey", clubKey}, {"inviteeSummonerId", summonerId}};
    Act(owner, "POST", "/v1/clubs/" + clubKey + "/invites", invite.dump());
    Act(account, "POST",
        std::string("/v1/membership/") + kPlatformId + "/" + std::to_string(account) + "/invites/" +
            clubKey,
        R"({"status":1})");
}

void ClubsScenario::Promote(uint64_t owner, const std::string& clubKey, uint64_t account) {
    Act(owner, "POST", "/v1/clubs/" + clubKey + "/promote/" + std::to_string(account));
}

std::vector<json> ClubsScenario::Posted() const {
    std::vector<json> posted;
    for (const Host::OwnedHostValue& record : host.notifications->Posted()) {
        posted.push_back(json::parse(record.ToJson()));
    }
    return posted;
}

std::vector<std::string> ClubsScenario::PostedDetailKeys() const {
    std::vector<std::string> keys;
    for (const json& record : Posted()) {
        keys.push_back(record.value("detailKey", ""));
    }
    return keys;
}

json ClubToast(const std::string& detailKey,
               const std::string& clubKey,
               const std::string& clubName,
               const std::string& iconUrl) {
    return Toast("club", detailKey, {{"clubKey", clubKey}, {"clubName", clubName}}, iconUrl);
}

json MemberToast(const std::string& type,
                 const std::string& detailKey,
                 uint64_t summonerId,
                 const std::string& summonerName,
                 const std::string& roleName,
                 const std::string& clubKey,
                 const std::string& clubName,
                 const std::string& iconUrl) {
    return Toast(type, detailKey,
                 {{"summonerId", std::to_string(summonerId)},
                  {"summonerName", summonerName},
                  {"clubKey", clubKey},
                  {"clubName", clubName},
                  {"roleName", roleName}},
                 iconUrl);
}

}  // namespace Kolm::ClubsTest
