// The fault-rule endpoints in-process: the limits of the rules as answers, and what an applied
// rule's event holds.
#include "host/serving/fault_endpoints.h"

#include <gtest/gtest.h>

#include <string>

namespace Kolm::Host {
namespace {

HttpRequest Post(std::string body) {
    HttpRequest request;
    request.method = "POST";
    request.target = "/zun-clubs-host/v1/faults";
    request.body = std::move(body);
    return request;
}

std::string RuleWithBody(std::size_t bytes) {
    return R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","status":500,)"
           R"("body":{"errorCode":")" +
           std::string(bytes, 'x') + "\"},\"times\":3}";
}

TEST(FaultEndpoints, ARuleLargerThanTheLimitIsAnswered413WithTheLimit) {
    FaultRules rules;
    const std::string body = RuleWithBody(70000);
    const HttpResponse answer = HandleFaultRequest(Post(body), "", rules);
    EXPECT_EQ(answer.status, 413);
    EXPECT_EQ(answer.body,
              "{\"error\":\"a fault rule may hold at most 65536 bytes as compact JSON; this one "
              "holds " +
                  std::to_string(body.size()) + "\"}");
    EXPECT_EQ(rules.ListJson(), "[]");
}

TEST(FaultEndpoints, ARulePastTheMostInForceIsAnswered409) {
    FaultRules rules;
    for (std::size_t i = 0; i < FaultRules::kMaxRules; ++i) {
        ASSERT_EQ(HandleFaultRequest(Post(RuleWithBody(1)), "", rules).status, 201) << i;
    }
    const HttpResponse answer = HandleFaultRequest(Post(RuleWithBody(1)), "", rules);
    EXPECT_EQ(answer.status, 409);
    EXPECT_EQ(answer.body,
              "{\"error\":\"at most 256 fault rules may be in force; remove some before adding "
              "more\"}");
}

TEST(FaultEndpoints, AnAppliedRulesEventLeavesALargeBodyOutAndGivesItsSize) {
    FaultRules rules;
    const FaultRule rule = *rules.Add(*ParseFaultRule(RuleWithBody(50000)).rule).rule;
    const std::string json = FaultEventJson(rule, "clubs", "PUT", "/v1/clubs/club-1/motd");
    EXPECT_EQ(json,
              "{\"data\":{\"method\":\"PUT\",\"path\":\"/v1/clubs/club-1/motd\",\"rule\":{\"id\":"
              "\"1\",\"service\":\"clubs\",\"method\":\"PUT\",\"path\":\"/v1/clubs/*/motd\","
              "\"status\":500,\"bodyBytes\":" +
                  std::to_string(rule.body->json.size()) +
                  ",\"times\":3},\"service\":\"clubs\"},\"eventType\":\"Create\",\"uri\":\"/"
                  "zun-clubs-host/v1/faults/1\"}");
    // A small body stays in, as listed.
    const FaultRule small = *rules.Add(*ParseFaultRule(RuleWithBody(10)).rule).rule;
    EXPECT_EQ(FaultRuleSummaryJson(small), small.ToJson());
}

}  // namespace
}  // namespace Kolm::Host
