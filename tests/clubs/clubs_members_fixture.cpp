#include "tests/clubs/clubs_members_fixture.h"

#include <cstring>

namespace Kolm::ClubsTest {

void ClubsMembersTest::InviteAs(uint64_t account,
                                const std::string& clubKey,
                                uint64_t inviteeSummonerId) {
    const json invite = {{"clubKey", clubKey}, {"inviteeSummonerId", inviteeSummonerId}};
    Act(account, "POST", "/v1/clubs/" + clubKey + "/invites", invite.dump());
}

void ClubsMembersTest::AnswerAs(uint64_t account, const std::string& clubKey, int status) {
    Act(account, "POST",
        std::string("/v1/membership/") + kPlatformId + "/" + std::to_string(account) + "/invites/" +
            clubKey,
        json({{"status", status}}).dump());
}

void ClubsMembersTest::ChangeAs(uint64_t account,
                                const std::string& clubKey,
                                const std::string& operation,
                                uint64_t targetAccount) {
    Act(account, "POST",
        "/v1/clubs/" + clubKey + "/" + operation + "/" + std::to_string(targetAccount));
}

void ClubsMembersTest::NominateAs(uint64_t account,
                                  const std::string& clubKey,
                                  uint64_t nomineeSummonerId) {
    Act(account, "POST", "/v1/clubs/" + clubKey + "/nominate/" + std::to_string(nomineeSummonerId));
}

void ClubsMembersTest::ConnectPushMessages() {
    bridge = std::make_unique<Host::ClubsPushBridge>(host.service, *host.messaging);
}

json ClubsMembersTest::Read(const std::string& uri) {
    const RestReply reply = host.Call(HOST_METHOD_GET, uri);
    EXPECT_FALSE(reply.hasError) << uri << ": " << reply.errorText;
    return reply.value;
}

std::map<std::string, json> ClubsMembersTest::LatestPublications() const {
    std::map<std::string, json> latest;
    for (const PublishedEvent& event : host.Published()) {
        latest[event.uri] = event.data;
    }
    return latest;
}

std::vector<std::string> ClubsMembersTest::PublishedUris() const {
    std::vector<std::string> uris;
    for (const PublishedEvent& event : host.Published()) {
        uris.push_back(event.uri);
    }
    return uris;
}

std::vector<std::string> ClubsMembersTest::ServiceCalls() const {
    std::vector<std::string> calls;
    for (const Host::WebRequest& request : host.ServiceRequests()) {
        std::string url = request.url;
        if (url.rfind(kServiceUrl, 0) == 0) {
            url = url.substr(std::strlen(kServiceUrl));
        }
        calls.push_back(request.method + " " + url);
    }
    return calls;
}

Host::WebResponse ClubsMembersTest::Refusal(int status, const std::string& errorCode) {
    Host::WebResponse response;
    response.status = status;
    response.headers["Content-Type"] = "application/json";
    response.body =
        json({{"errorCode", errorCode}, {"httpStatus", status}, {"message", "refused"}}).dump();
    return response;
}

}  // namespace Kolm::ClubsTest
