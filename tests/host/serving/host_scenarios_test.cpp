// Scenarios through the running host and the real plugin: steps run in order and are
// reported, a failed step ends the run, a run is stopped, bad documents are refused by step and
// field, and --scenario runs one at start.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/host_test_support.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

constexpr std::chrono::seconds kWait{10};
constexpr const char* kScenarios = "/zun-clubs-host/v1/scenarios";

class HostScenarios : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(host.Port(), 0) << host.ErrorOutput(); }

    HttpResult Call(const std::string& method,
                    const std::string& target,
                    const std::string& body = "",
                    const std::string& type = "application/json") {
        return Request(host.Port(), method, target, body, type);
    }
    // Starts the scenario and returns its id.
    std::string StartScenario(const std::string& document) {
        const HttpResult started = Call("POST", kScenarios, document);
        EXPECT_EQ(started.status, 201) << started.body;
        const rapidjson::Document run = ParseJson(started.body);
        return run.IsObject() && run.HasMember("id") ? run["id"].GetString() : "";
    }
    // The scenario's record once it no longer runs (null when it still runs after kWait).
    rapidjson::Document Finished(const std::string& id) {
        rapidjson::Document run;
        Eventually([&] {
            run = ParseJson(Call("GET", std::string(kScenarios) + "/" + id).body);
            return run.IsObject() && run["state"] != "running";
        });
        return run;
    }

    HostProcess host{{"--quiet"}};
};

std::string StepStates(const rapidjson::Document& run) {
    std::string states;
    for (const auto& step : run["steps"].GetArray()) {
        states += std::string(states.empty() ? "" : " ") + step["state"].GetString();
    }
    return states;
}

// The steps that drive the host's own tools: a reset, the clock and a wait on the journal for
// the plugin's refetch after another player's invitation reaches it as a push.
TEST_F(HostScenarios, ResetClockAndJournalStepsDriveTheHostsOwnPaths) {
    const std::string started = Call("GET", "/zun-clubs-host/v1/clock").body;
    ASSERT_EQ(Call("PATCH", "/zun-clubs/v1/clubs/club-1/motd", R"({"motd":"Before"})").status, 200);
    const std::string id = StartScenario(R"({"name":"tools","steps":[
        {"atMs":0,"resetWorld":true},
        {"afterMs":0,"advanceClock":86400000},
        {"afterMs":0,"actAs":{"player":1003,"method":"POST","path":"/v1/clubs/club-3/invites",
                              "body":{"inviteeSummonerId":2001}}},
        {"afterMs":0,"waitFor":{"service":"clubs","method":"GET","path":"/v1/membership/*/*",
                                "count":1,"timeoutMs":10000}}]})");
    const rapidjson::Document run = Finished(id);
    ASSERT_TRUE(run.IsObject());
    EXPECT_EQ(StepStates(run), "passed passed passed passed")
        << Call("GET", std::string(kScenarios) + "/" + id).body;
    // The reset undid the MOTD change before the clock moved a day past the starting world's.
    EXPECT_EQ(Call("GET", "/zun-clubs/v1/clubs/club-1/motd").body.find("Before"),
              std::string::npos);
    const rapidjson::Document before = ParseJson(started);
    const rapidjson::Document after = ParseJson(Call("GET", "/zun-clubs-host/v1/clock").body);
    ASSERT_TRUE(before.IsObject() && after.IsObject());
    EXPECT_GE(after["now"].GetInt64(), before["now"].GetInt64() + 86400000);
    EXPECT_NE(Call("GET", "/zun-clubs/v1/clubs/membership").body.find("Tidewatch"),
              std::string::npos);
}

TEST_F(HostScenarios, StepsRunInOrderUnderTheScenariosSeedAndEachIsReported) {
    EventStreamReader stream(host.Port(),
                             "/zun-clubs-host/v1/events?uri=/zun-clubs-host/v1/scenarios");
    ASSERT_TRUE(stream.Connected());
    const std::string id = StartScenario(R"({"name":"three","seed":7,"steps":[
        {"atMs":0,"actAs":{"player":1003,"method":"POST","path":"/v1/clubs/club-3/invites",
                           "body":{"inviteeSummonerId":2001}}},
        {"afterMs":0,"addFault":{"service":"clubs","path":"/v1/clubs/*/motd","status":503,
                                 "probability":0.5}},
        {"afterMs":0,"actAs":{"player":1001,"path":"/v1/clubs/club-1"}}]})");
    const rapidjson::Document run = Finished(id);
    ASSERT_TRUE(run.IsObject());
    EXPECT_EQ(std::string(run["state"].GetString()), "passed");
    EXPECT_EQ(StepStates(run), "passed passed passed");
    const auto& steps = run["steps"];
    EXPECT_EQ(steps[0]["status"].GetInt(), 200);
    EXPECT_EQ(steps[1]["status"].GetInt(), 201);
    EXPECT_EQ(steps[2]["status"].GetInt(), 200);
    for (rapidjson::SizeType i = 1; i < steps.Size(); ++i) {
        EXPECT_GE(steps[i]["startMs"].GetInt64(), steps[i - 1]["endMs"].GetInt64()) << i;
    }
    EXPECT_NE(std::string(steps[2]["body"].GetString()).find("\"name\":\"Night Owls\""),
              std::string::npos);
    // The rule the scenario added has the scenario's seed; the plugin heard of the invitation.
    EXPECT_NE(Call("GET", "/zun-clubs-host/v1/faults").body.find("\"probability\":0.5,\"seed\":7"),
              std::string::npos)
        << Call("GET", "/zun-clubs-host/v1/faults").body;
    EXPECT_TRUE(Eventually([&] {
        return Call("GET", "/zun-clubs/v1/clubs/membership").body.find("Tidewatch") !=
               std::string::npos;
    })) << Call("GET", "/zun-clubs/v1/clubs/membership").body;
    // Two events a step (start and end) and the run's end.
    const std::vector<StreamEvent> events =
        stream.WaitFor("\"state\":\"passed\",\"startedAt\"", kWait);
    std::size_t mine = 0;
    for (const StreamEvent& event : events) {
        const bool ofThisRun = event.data.find("\"uri\":\"/zun-clubs-host/v1/scenarios/" + id +
                                               "\"") != std::string::npos;
        mine += ofThisRun ? 1 : 0;
    }
    EXPECT_EQ(mine, 7u);
}

TEST_F(HostScenarios, AFailedStepStopsTheRestAndKeepsTheAnswer) {
    const std::string id = StartScenario(R"({"steps":[
        {"atMs":0,"actAs":{"player":9999,"path":"/v1/clubs/club-1"}},
        {"afterMs":0,"login":true}]})");
    const rapidjson::Document run = Finished(id);
    ASSERT_TRUE(run.IsObject());
    EXPECT_EQ(std::string(run["state"].GetString()), "failed");
    EXPECT_EQ(StepStates(run), "failed skipped");
    EXPECT_EQ(run["steps"][0]["status"].GetInt(), 404);
    EXPECT_EQ(std::string(run["steps"][0]["body"].GetString()),
              "{\"error\":\"no player with account id 9999\"}");
}

TEST_F(HostScenarios, AStoppedScenarioSkipsTheStepsStillToCome) {
    const std::string id = StartScenario(R"({"steps":[
        {"atMs":0,"actAs":{"player":1001,"path":"/v1/clubs/club-1"}},
        {"atMs":3600000,"logout":true}]})");
    EXPECT_EQ(Call("DELETE", std::string(kScenarios) + "/" + id).status, 202);
    const rapidjson::Document run = Finished(id);
    ASSERT_TRUE(run.IsObject());
    EXPECT_EQ(std::string(run["state"].GetString()), "stopped");
    EXPECT_EQ(std::string(run["steps"][1]["state"].GetString()), "skipped");
    // Still logged in: the logout never ran.
    EXPECT_NE(Call("GET", "/zun-login/v1/session").body.find("\"state\":\"SUCCEEDED\""),
              std::string::npos)
        << Call("GET", "/zun-login/v1/session").body;
    EXPECT_EQ(Call("DELETE", std::string(kScenarios) + "/77").body,
              "{\"error\":\"no scenario with id \\\"77\\\"\"}");
}

TEST_F(HostScenarios, ABadDocumentIsRefusedWithTheStepAndFieldAndNothingRuns) {
    const HttpResult refused = Call("POST", kScenarios, R"({"steps":[
        {"atMs":0,"login":true},{"afterMs":0,"login":true},{"atMs":7200000,"login":true}]})");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body,
              "{\"error\":\"steps[2].atMs: must be a whole number of milliseconds from 0 to "
              "3600000\"}");
    const HttpResult yaml =
        Call("POST", kScenarios,
             "steps:\n  - atMs: 0\n    actAs: {player: 1001, path: /v1/clubs/club-1,"
             " colour: red}\n",
             "application/x-yaml");
    EXPECT_EQ(yaml.status, 400);
    EXPECT_EQ(yaml.body, "{\"error\":\"steps[0].actAs.colour: is not a field of this action\"}");
    EXPECT_EQ(Call("GET", kScenarios).body, "[]");
}

TEST_F(HostScenarios, AYamlScenarioRuns) {
    const HttpResult started =
        Call("POST", kScenarios,
             "name: motd\nsteps:\n  - atMs: 0\n    actAs:\n      player: 1001\n      method: PUT\n"
             "      path: /v1/clubs/club-1/motd\n      body: Raid at nine\n",
             "application/x-yaml");
    ASSERT_EQ(started.status, 201) << started.body;
    const rapidjson::Document run = Finished("1");
    ASSERT_TRUE(run.IsObject());
    EXPECT_EQ(StepStates(run), "passed");
    EXPECT_TRUE(Eventually([&] {
        return Call("GET", "/zun-clubs/v1/clubs/club-1/motd").body == "\"Raid at nine\"";
    })) << Call("GET", "/zun-clubs/v1/clubs/club-1/motd").body;
}

TEST(HostScenarioFile, TheScenarioGivenAtStartRunsOnceTheHostServes) {
    const std::string path = testing::TempDir() + "zc_scenario_test.json";
    std::ofstream(path)
        << R"({"name":"at start","steps":[{"atMs":0,"actAs":{"player":1001,)"
           R"("method":"PUT","path":"/v1/clubs/club-1/motd","body":"Set at start"}}]})";
    HostProcess host({"--quiet", "--scenario", path});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    EXPECT_TRUE(Eventually([&] {
        return Request(host.Port(), "GET", "/zun-clubs-host/v1/scenarios/1")
                   .body.find("\"state\":\"passed\"") != std::string::npos;
    })) << Request(host.Port(), "GET", "/zun-clubs-host/v1/scenarios/1").body;
    EXPECT_TRUE(Eventually([&] {
        return Request(host.Port(), "GET", "/zun-clubs/v1/clubs/club-1/motd").body ==
               "\"Set at start\"";
    }));
    EXPECT_NE(
        host.ErrorOutput().find("scenario " + path + " started as /zun-clubs-host/v1/scenarios/1"),
        std::string::npos)
        << host.ErrorOutput();
    std::remove(path.c_str());
}

// The examples shipped in scenarios/ pass against the default world, and their effects reach
// the plugin: Corvina promoted, the MOTD change refused twice, Tidewatch's invitation seen.
TEST(HostScenarioFile, TheShippedExamplesPassAgainstTheDefaultWorld) {
    const std::string folder = std::string(ZC_SCENARIOS_DIR) + "/";
    HostProcess host({"--quiet", "--scenario", folder + "invite-promote-motd-fails.json"});
    ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
    std::ifstream yaml(folder + "away-while-invited.yaml");
    const std::string away((std::istreambuf_iterator<char>(yaml)), {});
    ASSERT_EQ(Request(host.Port(), "POST", kScenarios, away, "application/x-yaml").status, 201);
    for (const char* id : {"1", "2"}) {
        EXPECT_TRUE(Eventually(
            [&] {
                return Request(host.Port(), "GET", std::string(kScenarios) + "/" + id)
                           .body.find("\"state\":\"passed\",\"startedAt\"") != std::string::npos;
            },
            std::chrono::seconds(30)))
            << Request(host.Port(), "GET", std::string(kScenarios) + "/" + id).body;
    }
    const std::string motd = R"({"motd":"Raid moved"})";
    EXPECT_EQ(Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/club-1/motd", motd).status, 503);
    EXPECT_EQ(Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/club-1/motd", motd).status, 503);
    EXPECT_EQ(Request(host.Port(), "PATCH", "/zun-clubs/v1/clubs/club-1/motd", motd).status, 200);
    const std::string membership =
        Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").body;
    EXPECT_NE(membership.find("\"role\":\"OFFICER\",\"since\":1700000000004,\"summonerIconId\":12"),
              std::string::npos)
        << membership;
    EXPECT_NE(membership.find("Tidewatch"), std::string::npos) << membership;
}

TEST(HostScenarioFile, ABadScenarioFileStopsTheHostWithTheStepAndField) {
    const std::string path = testing::TempDir() + "zc_bad_scenario_test.yaml";
    std::ofstream(path) << "steps:\n  - afterMs: 0\n    advanceClock: 0\n";
    HostProcess host({"--scenario", path});
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 2);
    EXPECT_NE(host.ErrorOutput().find(
                  "the scenario " + path +
                  ": steps[0].advanceClock: must be a whole number of milliseconds from 1 to "
                  "3155760000000"),
              std::string::npos)
        << host.ErrorOutput();
    std::remove(path.c_str());
}

}  // namespace
}  // namespace Kolm::HostTest
