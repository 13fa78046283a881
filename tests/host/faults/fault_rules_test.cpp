// Fault rules: what a rule accepts, which calls it matches, and how `times`, `probability` and
// `seed` decide which matching calls it affects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/faults/fault_rules.h"

namespace Kolm::Host {
namespace {

FaultRule Rule(const std::string& json) {
    FaultRuleParse parsed = ParseFaultRule(json);
    EXPECT_TRUE(parsed.rule.has_value()) << json << ": " << parsed.error;
    return parsed.rule.value_or(FaultRule{});
}

constexpr const char* kMotd =
    R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","status":403,)"
    R"("body":{"errorCode":"CLUB_PERMISSION_DENIED"}})";

TEST(FaultRule, StarMatchesExactlyOneSegmentAndTheMethodMustAgree) {
    const FaultRule rule = Rule(kMotd);
    EXPECT_TRUE(rule.Matches("clubs", "PUT", "/v1/clubs/club-1/motd"));
    EXPECT_FALSE(rule.Matches("clubs", "GET", "/v1/clubs/club-1/motd"));
    EXPECT_FALSE(rule.Matches("clubs", "PUT", "/v1/clubs/motd"));
    EXPECT_FALSE(rule.Matches("clubs", "PUT", "/v1/clubs/a/b/motd"));
    EXPECT_FALSE(rule.Matches("summoner", "PUT", "/v1/clubs/club-1/motd"));
    const FaultRule anyMethod = Rule(R"({"service":"summoner","path":"/zun-summoner/v1/*/*",)"
                                     R"("transportFailure":true})");
    EXPECT_TRUE(anyMethod.Matches("summoner", "GET", "/zun-summoner/v1/summoners/2002"));
    EXPECT_TRUE(anyMethod.Matches("summoner", "POST", "/zun-summoner/v1/summoners/2002"));
}

TEST(FaultRule, ASimulatedPluginsCallsGoToItsServiceByTheirWholeFirstSegment) {
    EXPECT_EQ(FaultServiceOfCall("/zun-chat/v1/blocked-players"), "chat");
    EXPECT_EQ(FaultServiceOfCall("/zun-login"), "login");
    EXPECT_EQ(FaultServiceOfCall("/player-notifications/v1/notifications"), "player-notifications");
    EXPECT_EQ(FaultServiceOfCall("/kolm-messaging-service/v1/messages"), "messaging");
    EXPECT_EQ(FaultServiceOfCall("/zun-chatter/v1/x"), "");
    EXPECT_EQ(FaultServiceOfCall("/v1/clubs/club-1"), "");  // the web service is not a plugin
    EXPECT_EQ(FaultServiceOfCall(""), "");
}

TEST(FaultRule, ListsTheFieldsAsGivenAfterItsId) {
    FaultRules rules;
    const FaultRule stored = *rules.Add(Rule(kMotd)).rule;
    EXPECT_EQ(stored.id, "1");
    EXPECT_EQ(stored.ToJson(),
              R"({"id":"1","service":"clubs","method":"PUT","path":"/v1/clubs/*/motd",)"
              R"("status":403,"body":{"errorCode":"CLUB_PERMISSION_DENIED"}})");
    EXPECT_EQ(rules.ListJson(), "[" + stored.ToJson() + "]");
    // In the order and spelling given, not the order the rule's fields are described in.
    const FaultRule reordered =
        *rules.Add(Rule(R"({"probability":1,"status":500,"path":"/x","id":"9","service":"chat"})"))
             .rule;
    EXPECT_EQ(reordered.ToJson(),
              R"({"id":"2","probability":1,"status":500,"path":"/x","service":"chat"})");
}

TEST(FaultRule, ANumberInTheBodyIsListedAsGiven) {
    // The shortest text of its double: read one step off, it would change each time the
    // listed rule is posted again.
    const std::string given =
        R"({"service":"clubs","path":"/x","status":500,"body":{"scale":1.2345678901231233e30}})";
    FaultRules rules;
    ASSERT_EQ(rules.AddAll("[" + given + "]"), "");
    EXPECT_EQ(rules.ListJson(), R"([{"id":"1",)" + given.substr(1) + "]");
    EXPECT_EQ(Rule(given).body, RawJson{R"({"scale":1.2345678901231233e30})"});
}

TEST(FaultRule, BadRulesAreRefusedWithWhatIsWrong) {
    const std::string services =
        "one of clubs, login, platform-config, summoner, chat, player-notifications or "
        "messaging";
    const std::string path =
        "a path pattern starting with \"/\", \"*\" for a segment; leave the query out";
    const std::pair<std::string, std::string> cases[] = {
        {"[1]", "a fault rule is a JSON object"},
        {"{", "the fault rule is not valid JSON"},
        {R"({"service":"mail","path":"/x","status":500})", "\"service\" must be " + services},
        {R"({"service":7,"path":"/x","status":500})", "\"service\" must be " + services},
        {R"({"path":"/x","status":500})", "\"service\" is required: " + services},
        {R"({"service":"clubs","status":500})", "\"path\" is required: " + path},
        {R"({"service":"clubs","path":"x","status":500})", "\"path\" must be " + path},
        {R"({"service":"clubs","path":"/x?y=1","status":500})", "\"path\" must be " + path},
        {R"({"service":"clubs","path":"/x","method":"put","status":500})",
         "\"method\" must be an HTTP method in capitals, such as \"PUT\""},
        {R"({"service":"clubs","path":"/x","status":99})",
         "\"status\" must be an HTTP status from 100 to 599"},
        {R"({"service":"clubs","path":"/x","status":"500"})",
         "\"status\" must be an HTTP status from 100 to 599"},
        {R"({"service":"clubs","path":"/x","body":{}})",
         "\"body\" needs a \"status\" to answer with"},
        {R"({"service":"clubs","path":"/x"})",
         "a rule needs an effect: \"status\", \"transportFailure\": true or \"latencyMs\""},
        {R"({"service":"clubs","path":"/x","status":500,"transportFailure":true})",
         "a rule answers with \"status\" or fails the transport, not both"},
        {R"({"service":"clubs","path":"/x","transportFailure":"yes"})",
         "\"transportFailure\" must be true or false"},
        {R"({"service":"clubs","path":"/x","status":500,"probability":1.5})",
         "\"probability\" must be a number from 0 to 1"},
        {R"({"service":"clubs","path":"/x","status":500,"times":0})",
         "\"times\" must be a whole number of at least 1"},
        {R"({"service":"clubs","path":"/x","status":500,"seed":-3})",
         "\"seed\" must be a whole number from 0 to 2^64-1"},
        {R"({"service":"clubs","path":"/x","latencyMs":-1})",
         "\"latencyMs\" must be a whole number of milliseconds from 0 to 120000"},
        {R"({"service":"clubs","path":"/x","latencyMs":120001})",
         "\"latencyMs\" must be a whole number of milliseconds from 0 to 120000"},
        {R"({"service":"clubs","path":"/x","status":500,"status":404})",
         "\"status\" is given twice"},
        {R"({"service":"clubs","path":"/x","status":500,"colour":1})",
         "unknown field \"colour\"; a fault rule takes \"id\", \"service\", \"method\", "
         "\"path\", \"status\", \"body\", \"transportFailure\", \"latencyMs\", "
         "\"probability\", \"seed\" and \"times\""},
    };
    for (const auto& [json, message] : cases) {
        const FaultRuleParse parsed = ParseFaultRule(json);
        EXPECT_FALSE(parsed.rule.has_value()) << json;
        EXPECT_EQ(parsed.error, message) << json;
    }
}

TEST(FaultRule, ReadsEveryFieldAndIgnoresAGivenId) {
    const FaultRule rule = Rule(
        R"({"id":"old","service":"messaging","method":"POST","path":"/kolm-messaging-service/*",)"
        R"("status":502,"body":null,"latencyMs":250,"probability":0.25,"seed":18446744073709551615,)"
        R"("times":3})");
    EXPECT_EQ(rule.id, "");
    EXPECT_EQ(rule.service, "messaging");
    EXPECT_EQ(rule.method, std::optional<std::string>("POST"));
    EXPECT_EQ(rule.pathSegments, (std::vector<std::string>{"kolm-messaging-service", "*"}));
    EXPECT_EQ(rule.status, std::optional<uint32_t>(502));
    EXPECT_EQ(rule.body, RawJson{"null"});
    EXPECT_FALSE(rule.transportFailure);
    EXPECT_EQ(rule.latencyMs, 250u);
    EXPECT_EQ(rule.probability, 0.25);
    EXPECT_EQ(rule.seed, std::optional<uint64_t>(18446744073709551615u));
    EXPECT_EQ(rule.times, std::optional<uint64_t>(3));
    // A delay alone is an effect too; what is left out keeps its default.
    const FaultRule slow = Rule(R"({"service":"login","path":"/zun-login/v1/session",)"
                                R"("latencyMs":120000})");
    EXPECT_EQ(slow.method, std::nullopt);
    EXPECT_EQ(slow.status, std::nullopt);
    EXPECT_EQ(slow.body, std::nullopt);
    EXPECT_EQ(slow.probability, 1.0);
    EXPECT_EQ(slow.fieldsJson, R"({"service":"login","path":"/zun-login/v1/session",)"
                               R"("latencyMs":120000})");
}

std::string AtOffset(std::size_t offset) {
    return "(at offset " + std::to_string(offset) + ")";
}

// A rule's body is kept and written back into answers and lists, so it is read with the same
// bounds as any other outside JSON.
TEST(FaultRule, DeepOrNonUtf8RulesAreRefusedWithWhere) {
    const std::string start = R"({"service":"clubs","path":"/x","status":500,"body":)";
    const std::pair<std::string, std::string> cases[] = {
        {std::string(100000, '['), "the fault rule nests deeper than 512 levels (at offset 512)"},
        {start + std::string(100000, '[') + std::string(100000, ']') + "}",
         "the fault rule nests deeper than 512 levels " + AtOffset(start.size() + 511)},
        {start + "\"\xFF\xFE\"}", "the fault rule is not UTF-8 " + AtOffset(start.size() + 1)},
        {start + R"("\uDFAA"})",
         "the fault rule holds a surrogate escape without its pair, which is not UTF-8 " +
             AtOffset(start.size() + 8)},
    };
    for (const auto& [json, message] : cases) {
        const FaultRuleParse parsed = ParseFaultRule(json);
        EXPECT_FALSE(parsed.rule.has_value()) << message;
        EXPECT_EQ(parsed.error, message);
    }
    FaultRules rules;
    EXPECT_EQ(
        rules.AddAll("[" + start + std::string(600, '[') + std::string(600, ']') + "}]"),
        "the list of fault rules nests deeper than 512 levels " + AtOffset(start.size() + 511));
    EXPECT_EQ(rules.ListJson(), "[]");
}

TEST(FaultRules, TimesCountsAffectedCallsAndThenTheRuleIsGone) {
    std::vector<std::string> applied;
    FaultRules rules(
        [&](const FaultRule& rule, std::string_view, std::string_view, std::string_view path) {
            applied.push_back(rule.id + std::string(path));
        });
    rules.Add(Rule(R"({"service":"chat","path":"/zun-chat/v1/*","status":500,"times":2})"));
    EXPECT_FALSE(rules.Apply("chat", "GET", "/zun-login/v1/session"));
    const std::optional<FaultEffect> first = rules.Apply("chat", "GET", "/zun-chat/v1/a");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->status, std::optional<uint32_t>(500));
    EXPECT_TRUE(rules.Apply("chat", "GET", "/zun-chat/v1/b"));
    EXPECT_FALSE(rules.Apply("chat", "GET", "/zun-chat/v1/c"));
    EXPECT_EQ(rules.ListJson(), "[]");
    EXPECT_EQ(applied, (std::vector<std::string>{"1/zun-chat/v1/a", "1/zun-chat/v1/b"}));
}

// Which of `calls` matching calls the rule affects, as a string of 'x' (affected) and '.'.
std::string Pattern(FaultRules& rules, int calls) {
    std::string pattern;
    for (int i = 0; i < calls; ++i) {
        pattern += rules.Apply("clubs", "GET", "/v1/clubs/k") ? 'x' : '.';
    }
    return pattern;
}

TEST(FaultRules, ASeedRepeatsWhichCallsAreAffected) {
    const char* json = R"({"service":"clubs","path":"/v1/clubs/*","status":503,)"
                       R"("probability":0.5,"seed":7})";
    FaultRules first;
    first.Add(Rule(json));
    FaultRules second;
    second.Add(Rule(json));
    const std::string pattern = Pattern(first, 64);
    EXPECT_EQ(Pattern(second, 64), pattern);
    EXPECT_NE(pattern.find('x'), std::string::npos);
    EXPECT_NE(pattern.find('.'), std::string::npos);
}

TEST(FaultRules, ALosingDrawLeavesTheCallToTheNextRule) {
    FaultRules rules;
    rules.Add(Rule(R"({"service":"clubs","path":"/v1/clubs/*","status":503,"probability":0})"));
    rules.Add(Rule(R"({"service":"clubs","path":"/v1/clubs/*","status":404})"));
    const std::optional<FaultEffect> effect = rules.Apply("clubs", "GET", "/v1/clubs/k");
    ASSERT_TRUE(effect.has_value());
    EXPECT_EQ(effect->status, std::optional<uint32_t>(404));
}

TEST(FaultRules, RemovesOneRuleByIdOrAllAndRefusesAnArrayWithOneBadRule) {
    FaultRules rules;
    EXPECT_EQ(rules.AddAll(std::string("[") + kMotd + "," + kMotd + "]"), "");
    EXPECT_FALSE(rules.Remove("9"));
    EXPECT_TRUE(rules.Remove("1"));
    ASSERT_EQ(rules.List().size(), 1u);
    EXPECT_EQ(rules.List()[0].id, "2");
    const std::string refused =
        rules.AddAll(std::string("[") + kMotd + R"(,{"service":"x","path":"/x","status":500}])");
    EXPECT_EQ(refused,
              "rule 2: \"service\" must be one of clubs, login, platform-config, summoner, chat, "
              "player-notifications or messaging");
    EXPECT_EQ(rules.List().size(), 1u);
    rules.Clear();
    EXPECT_EQ(rules.ListJson(), "[]");
}

// A rule of the MOTD path whose body is a text of `bytes` characters.
std::string RuleWithBody(std::size_t bytes) {
    return R"({"service":"clubs","path":"/v1/clubs/*/motd","status":500,"body":")" +
           std::string(bytes, 'x') + "\"}";
}

TEST(FaultRulesLimits, ARuleLargerThanTheLimitIsRefusedWith413AndNothingIsAdded) {
    FaultRules rules;
    const FaultRule large = Rule(RuleWithBody(FaultRules::kMaxRuleBytes));
    const FaultRuleAdd added = rules.Add(large);
    EXPECT_FALSE(added.rule.has_value());
    EXPECT_EQ(added.status, 413u);
    EXPECT_EQ(added.error,
              "a fault rule may hold at most 65536 bytes as compact JSON; this one holds " +
                  std::to_string(large.fieldsJson.size()));
    EXPECT_EQ(rules.ListJson(), "[]");
    // Just under the limit is fine.
    const std::size_t overhead = Rule(RuleWithBody(0)).fieldsJson.size();
    EXPECT_TRUE(rules.Add(Rule(RuleWithBody(FaultRules::kMaxRuleBytes - overhead))).rule);
}

TEST(FaultRulesLimits, NoMoreThanTheMostRulesAreInForceUntilOneIsRemoved) {
    FaultRules rules;
    for (std::size_t i = 0; i < FaultRules::kMaxRules; ++i) {
        ASSERT_TRUE(rules.Add(Rule(kMotd)).rule) << i;
    }
    const FaultRuleAdd refused = rules.Add(Rule(kMotd));
    EXPECT_FALSE(refused.rule.has_value());
    EXPECT_EQ(refused.status, 409u);
    EXPECT_EQ(refused.error,
              "at most 256 fault rules may be in force; remove some before adding more");
    EXPECT_EQ(rules.List().size(), FaultRules::kMaxRules);
    EXPECT_TRUE(rules.Remove("7"));
    EXPECT_EQ(rules.Add(Rule(kMotd)).rule->id, "257");
}

TEST(FaultRulesLimits, AnArrayPastALimitAddsNoneOfItsRules) {
    FaultRules rules;
    const std::string tooLarge =
        "[" + std::string(kMotd) + "," + RuleWithBody(FaultRules::kMaxRuleBytes) + "]";
    EXPECT_EQ(rules.AddAll(tooLarge),
              "rule 2: a fault rule may hold at most 65536 bytes as compact JSON; this one "
              "holds " +
                  std::to_string(Rule(RuleWithBody(FaultRules::kMaxRuleBytes)).fieldsJson.size()));
    std::string many = "[";
    for (std::size_t i = 0; i <= FaultRules::kMaxRules; ++i) {
        many += (i == 0 ? "" : ",") + std::string(kMotd);
    }
    EXPECT_EQ(rules.AddAll(many + "]"),
              "at most 256 fault rules may be in force; remove some before adding more");
    EXPECT_EQ(rules.ListJson(), "[]");
    EXPECT_EQ(rules.AddAll("[" + std::string(kMotd) + "]"), "");
    EXPECT_EQ(rules.List().size(), 1u);
}

}  // namespace
}  // namespace Kolm::Host
