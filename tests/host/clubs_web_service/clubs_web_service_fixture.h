// A clubs web service with four known players and helpers to call it as each of them and read
// its JSON answers.
#pragma once

#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <string>

#include "host/clubs_web_service/clubs_web_service.h"

namespace Kolm::Host {

class ClubsWebServiceTest : public ::testing::Test {
  protected:
    // Account ids; each player's summoner id is the account id plus 100.
    static constexpr uint64_t kOwner = 1, kOfficer = 2, kMember = 3, kOutsider = 4;

    explicit ClubsWebServiceTest(ClubsServiceConfig config = {}) : service(std::move(config)) {
        for (uint64_t account : {kOwner, kOfficer, kMember, kOutsider}) {
            EXPECT_TRUE(service.AddPlayer(
                {"NA1", account, account + 100, "token-" + std::to_string(account)}));
        }
    }

    WebResponse As(uint64_t account,
                   const std::string& method,
                   const std::string& url,
                   const std::string& body = "") {
        return service.HandleAs(account, method, url, body);
    }

    static rapidjson::Document Json(const WebResponse& response) {
        rapidjson::Document document;
        document.Parse(response.body.c_str());
        EXPECT_FALSE(document.HasParseError()) << response.body;
        return document;
    }

    static std::string ErrorCode(const WebResponse& response) {
        const rapidjson::Document document = Json(response);
        if (!document.IsObject() || !document.HasMember("errorCode"))
            return "<none>";
        return document["errorCode"].GetString();
    }

    static std::string InviteBody(uint64_t inviteeAccount) {
        return R"({"inviteeSummonerId":)" + std::to_string(inviteeAccount + 100) + "}";
    }

    // A club owned by kOwner with kOfficer as officer and kMember as member.
    std::string MakeClub(const std::string& name = "Club One") {
        const WebResponse created = As(kOwner, "POST", "/v1/clubs?clubName=" + Escaped(name));
        EXPECT_EQ(created.status, 200) << created.body;
        const std::string key = Json(created)["clubData"]["clubKey"].GetString();
        for (uint64_t account : {kOfficer, kMember}) {
            EXPECT_EQ(
                As(kOwner, "POST", "/v1/clubs/" + key + "/invites", InviteBody(account)).status,
                200);
            EXPECT_EQ(Answer(account, key, 1).status, 200);
        }
        EXPECT_EQ(As(kOwner, "POST", "/v1/clubs/" + key + "/promote/2").status, 200);
        return key;
    }

    WebResponse Answer(uint64_t account, const std::string& key, int status) {
        return As(account, "POST", MembershipPath(account) + "/invites/" + key,
                  R"({"status":)" + std::to_string(status) + "}");
    }

    static std::string MembershipPath(uint64_t account) {
        return "/v1/membership/NA1/" + std::to_string(account);
    }

    // The roles of the club's active members, "account:role" joined by blanks.
    std::string ActiveRoles(const std::string& key) {
        const rapidjson::Document club = Json(As(kOwner, "GET", "/v1/clubs/" + key));
        std::string roles;
        for (const auto& entry : club["membership"]["activeMembers"].GetArray()) {
            if (!roles.empty())
                roles += ' ';
            roles += std::to_string(entry["playerInfo"]["currentAccountId"].GetUint64()) + ":" +
                     entry["role"].GetString();
        }
        return roles;
    }

    static std::string Escaped(const std::string& text) {
        std::string escaped;
        for (char c : text)
            escaped += c == ' ' ? std::string("%20") : std::string(1, c);
        return escaped;
    }

    ClubsWebService service;
};

}  // namespace Kolm::Host
