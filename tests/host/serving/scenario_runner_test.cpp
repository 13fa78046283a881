// Scenarios in-process: what request each action becomes, how a bad document is named, and the
// runner's order, failure and stop rules over a recording issuer instead of the host.
#include "host/serving/scenario_runner.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>
#include <vector>

#include "host/documents/record_reader.h"
#include "host/documents/record_writer.h"
#include "host/serving/scenario_endpoints.h"
#include "host/serving/scenario_records.h"
#include "platform/mutex.h"

namespace Kolm::Host {
namespace {

Scenario Parse(const std::string& text) {
    ScenarioParse parsed = ParseScenario(text);
    EXPECT_TRUE(parsed.scenario.has_value()) << parsed.error;
    return parsed.scenario.value_or(Scenario{});
}

std::string Refusal(const std::string& text) {
    const ScenarioParse parsed = ParseScenario(text);
    EXPECT_FALSE(parsed.scenario.has_value()) << text;
    return parsed.error;
}

std::string Sent(const HttpRequest& request) {
    return request.method + " " + request.target + (request.body.empty() ? "" : " " + request.body);
}

TEST(ScenarioDocument, EachActionBecomesTheHostRequestATesterWouldSend) {
    const Scenario scenario = Parse(R"({"name":"all","seed":7,"steps":[
        {"atMs":0,"actAs":{"player":1002,"method":"POST","path":"/v1/clubs/club-2/invites",
                           "body":{"inviteeSummonerId":2005}}},
        {"afterMs":0,"actAs":{"player":1001,"method":"PUT","path":"/v1/clubs/club-1/motd",
                              "body":"Raid at nine"}},
        {"afterMs":0,"addFault":{"service":"clubs","path":"/v1/clubs/*/motd","status":503}},
        {"afterMs":0,"addFault":{"service":"clubs","path":"/v1/clubs","seed":3}},
        {"afterMs":0,"addFault":{}},
        {"afterMs":0,"removeFault":"all"},
        {"afterMs":0,"removeFault":"12"},
        {"afterMs":0,"replaceWorld":{"players":[{"accountId":1,"summonerId":2}],"clubs":[]}},
        {"afterMs":0,"resetWorld":true},
        {"afterMs":0,"advanceClock":2500},
        {"afterMs":0,"logout":true},
        {"afterMs":0,"login":true},
        {"afterMs":0,"waitFor":{"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd",
                                "count":2,"timeoutMs":1500}},
        {"afterMs":0,"waitFor":{"service":"login"}}]})");
    std::vector<std::string> sent;
    for (const ScenarioStep& step : scenario.steps) {
        sent.push_back(Sent(step.request));
    }
    const std::vector<std::string> expected = {
        "POST /zun-clubs-host/v1/clubs-service/as/1002/v1/clubs/club-2/invites "
        "{\"inviteeSummonerId\":2005}",
        "PUT /zun-clubs-host/v1/clubs-service/as/1001/v1/clubs/club-1/motd Raid at nine",
        "POST /zun-clubs-host/v1/faults "
        "{\"service\":\"clubs\",\"path\":\"/v1/clubs/*/motd\",\"status\":503,\"seed\":7}",
        "POST /zun-clubs-host/v1/faults {\"service\":\"clubs\",\"path\":\"/v1/clubs\",\"seed\":3}",
        "POST /zun-clubs-host/v1/faults {\"seed\":7}",
        "DELETE /zun-clubs-host/v1/faults",
        "DELETE /zun-clubs-host/v1/faults/12",
        "PUT /zun-clubs-host/v1/world "
        "{\"players\":[{\"accountId\":1,\"summonerId\":2}],\"clubs\":[]}",
        "POST /zun-clubs-host/v1/world/reset",
        "POST /zun-clubs-host/v1/clock/advance {\"ms\":2500}",
        "DELETE /zun-login/v1/session",
        "POST /zun-login/v1/session/login",
        "GET /zun-clubs-host/v1/requests/wait?service=clubs&method=PUT&path=/v1/clubs/*/motd"
        "&count=2&timeoutMs=1500",
        "GET /zun-clubs-host/v1/requests/wait?service=login&count=1&timeoutMs=5000",
    };
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(scenario.name, "all");
    EXPECT_EQ(scenario.steps[1].timing, ScenarioStep::Timing::After);
    EXPECT_EQ(scenario.steps[0].timing, ScenarioStep::Timing::At);
}

TEST(ScenarioDocument, ABadDocumentIsRefusedNamingTheStepAndField) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"steps":[{"afterMs":0,"login":true},{"afterMs":0,"login":true},)"
         R"({"atMs":3600001,"login":true}]})",
         "steps[2].atMs: must be a whole number of milliseconds from 0 to 3600000"},
        {R"({"steps":[{"afterMs":-1,"login":true}]})",
         "steps[0].afterMs: must be a whole number of milliseconds from 0 to 3600000"},
        {R"({"steps":[{"login":true}]})",
         "steps[0]: needs a time: atMs (from the start) or afterMs (after the step before)"},
        {R"({"steps":[{"atMs":0,"afterMs":0,"login":true}]})",
         "steps[0]: gives both atMs and afterMs; a step has one time"},
        {R"({"steps":[{"atMs":0}]})",
         "steps[0]: needs one action: actAs, addFault, removeFault, replaceWorld, resetWorld, "
         "advanceClock, logout, login or waitFor"},
        {R"({"steps":[{"atMs":0,"login":true,"logout":true}]})",
         "steps[0]: gives both logout and login; a step has one action"},
        {R"({"steps":[{"atMs":0,"login":true,"colour":"red"}]})",
         "steps[0].colour: is not a field of a step"},
        {R"({"steps":[{"atMs":0,"login":true,"continueOnFailure":1}]})",
         "steps[0].continueOnFailure: must be true or false"},
        {R"({"steps":[{"atMs":0,"actAs":{"player":0,"path":"/v1/clubs"}}]})",
         "steps[0].actAs.player: must be a player's account id (a whole number above 0)"},
        {R"({"steps":[{"atMs":0,"actAs":{"player":1,"path":"/zun-clubs/v1/clubs"}}]})",
         "steps[0].actAs.path: must be a path of the clubs web service, starting with /v1/ "
         "(/v1/clubs/club-1/motd)"},
        {R"({"steps":[{"atMs":0,"actAs":{"player":1,"method":"PATCH","path":"/v1/clubs"}}]})",
         "steps[0].actAs.method: must be GET, POST, PUT or DELETE"},
        {R"({"steps":[{"atMs":0,"actAs":{"player":1,"path":"/v1/clubs","as":2}}]})",
         "steps[0].actAs.as: is not a field of this action"},
        {R"({"steps":[{"atMs":0,"actAs":{"player":1,"path":"/v1/clubs/a b"}}]})",
         "steps[0].actAs.path: must not hold blanks, line breaks or #"},
        {R"({"steps":[{"atMs":0,"actAs":{"path":"/v1/clubs"}}]})",
         "steps[0].actAs.player: is missing"},
        {R"({"steps":[{"atMs":0,"resetWorld":false}]})", "steps[0].resetWorld: must be true"},
        {R"({"steps":[{"atMs":0,"login":"yes"}]})", "steps[0].login: must be true"},
        {R"({"steps":[{"atMs":0,"addFault":[]}]})",
         "steps[0].addFault: must be a fault rule (an object)"},
        {R"({"steps":[{"atMs":0,"advanceClock":0}]})",
         "steps[0].advanceClock: must be a whole number of milliseconds from 1 to 3155760000000"},
        {R"({"steps":[{"atMs":0,"removeFault":{"addedBy":0}}]})",
         "steps[0].removeFault.addedBy: must be the index of an addFault step before this one"},
        {R"({"steps":[{"atMs":0,"login":true},{"atMs":0,"removeFault":{"addedBy":0}}]})",
         "steps[1].removeFault.addedBy: steps[0] is not an addFault step"},
        {R"({"steps":[{"atMs":0,"removeFault":"a/b"}]})",
         "steps[0].removeFault: must be \"all\", a rule's id or {\"addedBy\": <step index>}"},
        {R"({"steps":[{"atMs":1,"removeFault":{"addedBy":0,"also":1}}]})",
         "steps[0].removeFault.also: is not a field of this action"},
        {R"({"steps":[{"atMs":0,"waitFor":{"service":""}}]})",
         "steps[0].waitFor.service: must be a text"},
        {R"({"steps":[{"atMs":0,"waitFor":{"service":"clubs","count":0}}]})",
         "steps[0].waitFor.count: must be a whole number from 1 to 10000"},
        {R"({"steps":[{"atMs":0,"waitFor":{"service":"clubs","timeoutMs":60001}}]})",
         "steps[0].waitFor.timeoutMs: must be a whole number of milliseconds from 0 to 60000"},
        {R"({"steps":[{"atMs":0,"replaceWorld":{"players":[]}}]})",
         "steps[0].replaceWorld: clubs: is missing"},
        {R"({"steps":[]})", "steps: must be an array of 1 to 500 steps"},
        {R"({"name":"x"})", "steps: is missing"},
        {R"({"name":")" + std::string(201, 'x') + R"(","steps":[{"atMs":0,"login":true}]})",
         "name: must be a text of at most 200 bytes"},
        {R"({"steps":[{"atMs":0,"login":true}],"seed":-3})",
         "seed: must be a whole number of at least 0"},
        {R"({"steps":[{"atMs":0,"login":true}],"repeat":2})",
         "repeat: is not a field of a scenario"},
        {R"([1])", "the scenario: must be an object"},
        {R"({"steps":)", "the scenario is not valid JSON (at offset 9)"},
    };
    for (const auto& [document, error] : cases) {
        EXPECT_EQ(Refusal(document), error) << document;
    }
}

// The description also writes what it reads, so every kind of value keeps what it was given.
TEST(ScenarioDocument, ADocumentReadWritesBackAsItWasGiven) {
    const std::string given =
        R"({"name":"all","seed":7,"steps":[)"
        R"({"atMs":0,"continueOnFailure":true,"actAs":{"player":1002,"method":"PUT",)"
        R"("path":"/v1/clubs/club-1/motd","body":"Raid at nine"}},)"
        R"({"afterMs":5,"continueOnFailure":false,"addFault":{"service":"clubs","times":2}},)"
        R"({"afterMs":0,"continueOnFailure":false,"removeFault":{"addedBy":1}},)"
        R"({"afterMs":0,"continueOnFailure":false,"removeFault":"all"},)"
        R"({"afterMs":0,"continueOnFailure":false,)"
        R"("replaceWorld":{"players":[{"accountId":1,"summonerId":2}],"clubs":[]}},)"
        R"({"afterMs":0,"continueOnFailure":false,"logout":true},)"
        R"({"afterMs":0,"continueOnFailure":false,"waitFor":{"path":"/v1/clubs","count":1,)"
        R"("timeoutMs":5000}}]})";
    rapidjson::Document document;
    document.Parse(given.c_str());
    ScenarioText read;
    ASSERT_EQ(ReadDocument(document, read, FieldNaming::Path, "the scenario"), "");
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    WriteValue(writer, read);
    EXPECT_EQ(std::string(buffer.GetString(), buffer.GetSize()), given);
}

TEST(ScenarioDocument, TooManyStepsOrBytesAreRefused) {
    std::string steps;
    for (std::size_t i = 0; i <= kMaxScenarioSteps; ++i) {
        steps += std::string(i == 0 ? "" : ",") + R"({"afterMs":0,"login":true})";
    }
    EXPECT_EQ(Refusal("{\"steps\":[" + steps + "]}"), "steps: must be an array of 1 to 500 steps");
    const std::string large = "{\"name\":\"" + std::string(kMaxScenarioBytes, 'x') + "\"}";
    EXPECT_EQ(Refusal(large), "the scenario holds " + std::to_string(large.size()) +
                                  " bytes; at most 1048576 are read");
}

// Answers each request with the next status given and remembers what was sent.
class RecordingIssuer {
  public:
    explicit RecordingIssuer(std::vector<int> statuses) : statuses_(std::move(statuses)) {}

    ScenarioRunner::Issuer Issuer() {
        return [this](const HttpRequest& request) {
            Kolm::Platform::MutexLock lock(mutex_);
            sent_.push_back(request.method + " " + request.target);
            const int status = sent_.size() <= statuses_.size() ? statuses_[sent_.size() - 1] : 200;
            return HttpResponse::Json(status, status == 201 ? R"({"id":"9"})" : "{}");
        };
    }
    std::vector<std::string> Sent() {
        Kolm::Platform::MutexLock lock(mutex_);
        return sent_;
    }

  private:
    const std::vector<int> statuses_;
    Kolm::Platform::Mutex mutex_;
    std::vector<std::string> sent_ ZC_GUARDED_BY(mutex_);
};

// "<step index> <state>" of a step's event, "run <state>" of the run's end; "wrong uri" when
// the event is not under scenario 4's uri.
std::string EventSummary(const std::string& json, const std::string& uri) {
    rapidjson::Document event;
    event.Parse(json.c_str());
    if (uri != "/zun-clubs-host/v1/scenarios/4" || !event.IsObject() ||
        event["uri"].GetString() != uri) {
        return "wrong uri";
    }
    const rapidjson::Value& data = event["data"];
    if (data.HasMember("step")) {
        return std::to_string(data["step"]["index"].GetUint()) + " " +
               data["step"]["state"].GetString();
    }
    return std::string("run ") + data["state"].GetString();
}

TEST(ScenarioRunnerSteps, StepsRunInOrderAndARemovalByStepUsesTheIdItsRuleWasGiven) {
    RecordingIssuer issuer({200, 201, 204});
    std::vector<std::string> events;
    ScenarioRunner runner("4", Parse(R"({"name":"three","steps":[{"atMs":0,"login":true},
                              {"afterMs":0,"addFault":{"service":"clubs","path":"/v1/clubs"}},
                              {"afterMs":0,"removeFault":{"addedBy":1}}]})"),
                          issuer.Issuer(),
                          [&events](const std::string& json, const std::string& uri) {
                              events.push_back(EventSummary(json, uri));
                          });
    runner.Start();
    runner.Join();
    EXPECT_EQ(issuer.Sent(), (std::vector<std::string>{"POST /zun-login/v1/session/login",
                                                       "POST /zun-clubs-host/v1/faults",
                                                       "DELETE /zun-clubs-host/v1/faults/9"}));
    const std::string json = runner.Json();
    EXPECT_NE(json.find(R"("id":"4","name":"three","state":"passed")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("index":2,"action":"removeFault",)"
                        R"("request":"DELETE /zun-clubs-host/v1/faults/9","state":"passed")"),
              std::string::npos)
        << json;
    // A start and an end per step, then the run's end, all under the scenario's uri.
    const std::vector<std::string> expected = {"0 running", "0 passed", "1 running", "1 passed",
                                               "2 running", "2 passed", "run passed"};
    EXPECT_EQ(events, expected);
}

TEST(ScenarioRunnerSteps, AFailedStepSkipsTheRestUnlessItContinues) {
    RecordingIssuer issuer({200, 503, 200, 409, 200});
    ScenarioRunner runner("1", Parse(R"({"steps":[{"atMs":0,"login":true},
                              {"afterMs":0,"logout":true,"continueOnFailure":true},
                              {"afterMs":0,"login":true},
                              {"afterMs":0,"resetWorld":true},
                              {"afterMs":0,"login":true}]})"),
                          issuer.Issuer(), nullptr);
    runner.Start();
    runner.Join();
    EXPECT_EQ(issuer.Sent().size(), 4u);
    const std::string json = runner.Json();
    EXPECT_NE(json.find(R"("state":"failed")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("index":1,"action":"logout","request":"DELETE /zun-login/v1/session",)"
                        R"("state":"failed")"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("state":"failed","startMs")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("status":409,"body":"{}")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"({"index":4,"action":"login","request":"POST /zun-login/v1/session/)"
                        R"(login","state":"skipped"})"),
              std::string::npos)
        << json;
}

TEST(ScenarioRunnerSteps, AStepThatSendsNothingReportsWhyInsteadOfAnAnswer) {
    RecordingIssuer issuer({200});  // the rule is added, but its answer names no id
    ScenarioRunner runner("2", Parse(R"({"name":"no id","steps":[
                              {"atMs":0,"addFault":{"service":"clubs","path":"/v1/clubs"}},
                              {"afterMs":0,"removeFault":{"addedBy":0}}]})"),
                          issuer.Issuer(), nullptr);
    runner.Start();
    runner.Join();
    EXPECT_EQ(issuer.Sent(), std::vector<std::string>{"POST /zun-clubs-host/v1/faults"});
    const std::string json = runner.Json();
    EXPECT_EQ(json.substr(0, json.find(R"(,"startedAt")")),
              R"({"id":"2","name":"no id","state":"failed")");
    const std::string removal = json.substr(json.find(R"({"index":1,)"));
    EXPECT_EQ(removal.substr(0, removal.find(R"(,"startMs")")),
              R"({"index":1,"action":"removeFault","request":"DELETE /zun-clubs-host/v1/faults",)"
              R"("state":"failed")");
    EXPECT_EQ(removal.substr(removal.find(R"(,"status")")),
              R"(,"status":0,"error":"steps[0] added no fault rule"}]})");
    const std::string summary = runner.SummaryJson();
    EXPECT_EQ(summary.substr(summary.find(R"(,"stepCount")")), R"(,"stepCount":2})");
}

TEST(ScenarioRunnerSteps, AStoppedRunSkipsItsWaitingSteps) {
    RecordingIssuer issuer({});
    ScenarioRunner runner("1", Parse(R"({"steps":[{"atMs":0,"login":true},
                              {"atMs":3600000,"logout":true}]})"),
                          issuer.Issuer(), nullptr);
    runner.Start();
    runner.Stop();
    runner.Join();
    const std::string json = runner.Json();
    EXPECT_NE(json.find(R"("state":"stopped")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"({"index":1,"action":"logout","request":"DELETE /zun-login/v1/session",)"
                        R"("state":"skipped"})"),
              std::string::npos)
        << json;
    EXPECT_LE(issuer.Sent().size(), 1u);
}

TEST(ScenarioRunnerSteps, TheRunsEndpointsStartListReadAndStopByIdAndRefuseUnknownIds) {
    RecordingIssuer issuer({});
    ScenarioRuns runs(issuer.Issuer(), nullptr);
    HttpRequest post;
    post.method = "POST";
    post.body = R"({"name":"later","steps":[{"atMs":3600000,"login":true}]})";
    const HttpResponse started = runs.Handle(post, "");
    EXPECT_EQ(started.status, 201);
    EXPECT_EQ(started.body.substr(0, 43), R"({"id":"1","name":"later","state":"running",)");
    for (std::size_t i = 1; i < kMaxRunningScenarios; ++i) {
        ASSERT_EQ(runs.Handle(post, "").status, 201) << i;
    }
    const HttpResponse tooMany = runs.Handle(post, "");
    EXPECT_EQ(tooMany.status, 409);
    EXPECT_EQ(tooMany.body, R"({"error":"at most 16 scenarios may run at once; stop one first"})");
    HttpRequest get;
    get.method = "GET";
    EXPECT_EQ(runs.Handle(get, "/17").body, R"({"error":"no scenario with id \"17\""})");
    EXPECT_EQ(runs.Handle(get, "/17").status, 404);
    HttpRequest remove;
    remove.method = "DELETE";
    EXPECT_EQ(runs.Handle(remove, "/1").status, 202);
    post.body = R"({"steps":[{"atMs":1,"waitFor":{"count":"two"}}]})";
    EXPECT_EQ(runs.Handle(post, "").body,
              R"({"error":"steps[0].waitFor.count: must be a whole number from 1 to 10000"})");
    runs.StopAll();
    EXPECT_EQ(runs.Handle(get, "").body.substr(0, 2), "[]");
    post.body = R"({"steps":[{"atMs":0,"login":true}]})";
    EXPECT_EQ(runs.Handle(post, "").status, 503);
}

}  // namespace
}  // namespace Kolm::Host
