#include "host/serving/openapi_host_paths.h"

#include "host/documents/record_schema.h"
#include "host/faults/fault_rule.h"
#include "host/serving/clock_endpoints.h"
#include "host/serving/http/http_message.h"
#include "host/serving/openapi_clock_paths.h"
#include "host/serving/openapi_journal_paths.h"
#include "host/serving/openapi_snapshot_paths.h"
#include "host/serving/scenario_document.h"
#include "host/serving/scenario_records.h"
#include "host/serving/scenario_report.h"
#include "host/serving/world_endpoint.h"
#include "host/worlds/world_records.h"

namespace Kolm::Host {
namespace {

const char* const kWorldExample =
    R"({"loggedInAccountId":1001,"players":[{"accountId":1001,"summonerId":2001,)"
    R"("name":"Fenwick","profileIconId":4},{"accountId":1004,"summonerId":2004,)"
    R"("name":"Corvina","profileIconId":12}],"clubs":[{"key":"club-1","name":"Night Owls",)"
    R"("motd":"Raid night is Thursday.","active":[{"accountId":1001,"role":"OWNER"},)"
    R"({"accountId":1004,"role":"MEMBER"}]}]})";

const char* const kRuleExample =
    R"({"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd","status":403,)"
    R"("body":{"errorCode":"CLUB_PERMISSION_DENIED"},"latencyMs":0,"probability":1.0,)"
    R"("seed":7,"times":1})";

std::string WorldPath() {
    const std::string noWorld = OpenApiErrorAnswer(
        "This host uses another clubs web service (--clubs-service-url) and holds no world",
        "the world lives in the embedded clubs web service, not embedded in this host");
    const std::string world = R"({"$ref":"#/components/schemas/World"})";
    return std::string(R"({"get":{"operationId":"GetHostWorld","tags":["Host"],)") +
           R"("summary":"The world the emulated platform runs now",)" +
           R"("responses":{"200":{"description":"The world","content":{"application/json":)" +
           R"({"schema":)" + world + R"(,"example":)" + kWorldExample + "}}},\"404\":" + noWorld +
           R"(}},"put":{"operationId":"PutHostWorld","tags":["Host"],)" +
           R"("summary":"Replace the world; the changes reach the plugin as push messages",)" +
           R"("requestBody":{"required":true,"content":{"application/json":{"schema":)" + world +
           R"(,"example":)" + kWorldExample + R"(},"application/x-yaml":{"schema":)" + world +
           R"(},"text/yaml":{"schema":)" + world + R"(}}},"responses":{"200":{"description":)" +
           R"("The world now","content":{"application/json":{"schema":)" + world + "}}},\"400\":" +
           OpenApiErrorAnswer(
               "A world that cannot be read or breaks the service's rules; nothing changed",
               "club \\\"club-1\\\" has two owners (accounts 1001 and 1004)") +
           ",\"404\":" + noWorld + ",\"413\":" +
           OpenApiErrorAnswer(
               "A document above " + std::to_string(kMaxWorldBytes) +
                   " bytes (64 MiB), refused before it is read; nothing changed",
               "request body larger than " + std::to_string(kMaxWorldBytes) + " bytes") +
           "}}}";
}

// The host's answer to a rule of an unknown service, as the rule's reader words it.
std::string UnknownServiceError() {
    const std::string quoted =
        JsonQuote(ParseFaultRule(R"({"service":"mail","path":"/x","status":500})").error);
    return quoted.substr(1, quoted.size() - 2);
}

std::string FaultsPath() {
    const std::string rule = R"({"$ref":"#/components/schemas/FaultRule"})";
    return std::string(R"({"get":{"operationId":"ListHostFaults","tags":["Host"],)") +
           R"("summary":"The fault rules in force",)" +
           R"("responses":{"200":{"description":"The rules, each with its id",)" +
           R"("content":{"application/json":{"schema":{"type":"array","items":)" + rule +
           R"(}}}}}},"post":{"operationId":"AddHostFault","tags":["Host"],)" +
           R"("summary":"Add a fault rule",)" +
           R"("requestBody":{"required":true,"content":{"application/json":{"schema":)" + rule +
           R"(,"example":)" + kRuleExample + R"(}}},"responses":{"201":{"description":)" +
           R"("The rule as stored, with its id","content":{"application/json":{"schema":)" + rule +
           "}}},\"400\":" +
           OpenApiErrorAnswer("A rule that cannot be read; nothing changed",
                              UnknownServiceError()) +
           ",\"409\":" +
           OpenApiErrorAnswer(
               "As many rules as may be in force already are; nothing changed",
               "at most 256 fault rules may be in force; remove some before adding more") +
           ",\"413\":" +
           OpenApiErrorAnswer(
               "A rule larger than a rule may be; nothing changed",
               "a fault rule may hold at most 65536 bytes as compact JSON; this one holds "
               "900089") +
           R"(}},"delete":{"operationId":"ClearHostFaults","tags":["Host"],)" +
           R"("summary":"Remove every fault rule",)" +
           R"("responses":{"204":{"description":"No rule is left"}}}})";
}

std::string FaultPath() {
    return std::string(R"({"delete":{"operationId":"RemoveHostFault","tags":["Host"],)") +
           R"("summary":"Remove one fault rule","parameters":[{"name":"id","in":"path",)" +
           R"("required":true,"schema":{"type":"string"},"example":"1"}],)" +
           R"("responses":{"204":{"description":"The rule is removed"},"404":)" +
           OpenApiErrorAnswer("No rule has this id", "no fault rule with id \\\"42\\\"") + "}}}";
}

const char* const kScenarioExample =
    R"({"name":"an invitation, then a promotion","seed":7,"steps":[)"
    R"({"atMs":0,"actAs":{"player":1002,"method":"POST","path":"/v1/clubs/club-2/invites",)"
    R"("body":{"inviteeSummonerId":2005}}},)"
    R"({"afterMs":2000,"actAs":{"player":1002,"method":"POST",)"
    R"("path":"/v1/clubs/club-2/promote/1003"}},)"
    R"({"afterMs":0,"addFault":{"service":"clubs","method":"PUT","path":"/v1/clubs/*/motd",)"
    R"("status":503,"times":2}}]})";

const char* const kScenarioRunExample =
    R"({"id":"1","name":"an invitation, then a promotion","state":"running",)"
    R"("startedAt":1796820603408,"stepCount":3,"steps":[{"index":0,"action":"actAs",)"
    R"("request":"POST /zun-clubs-host/v1/clubs-service/as/1002/v1/clubs/club-2/invites",)"
    R"("state":"passed","startMs":0,"endMs":2,"status":200,"body":"{\"clubKey\":\"club-2\"}"},)"
    R"({"index":1,"action":"actAs","request":)"
    R"("POST /zun-clubs-host/v1/clubs-service/as/1002/v1/clubs/club-2/promote/1003",)"
    R"("state":"pending"},{"index":2,"action":"addFault",)"
    R"("request":"POST /zun-clubs-host/v1/faults","state":"pending"}]})";

std::string ScenariosPath() {
    const std::string run = R"({"$ref":"#/components/schemas/ScenarioRun"})";
    const std::string document = R"({"$ref":"#/components/schemas/Scenario"})";
    return std::string(R"({"get":{"operationId":"ListHostScenarios","tags":["Host"],)") +
           R"("summary":"The scenarios started, oldest first, without their steps",)" +
           R"("responses":{"200":{"description":"Each scenario's summary",)" +
           R"("content":{"application/json":{"schema":{"type":"array","items":)" + run +
           R"(}}}}}},"post":{"operationId":"StartHostScenario","tags":["Host"],)" +
           R"("summary":"Start a scenario now; its steps are requests to the host's own paths",)" +
           R"("requestBody":{"required":true,"content":{"application/json":{"schema":)" + document +
           R"(,"example":)" + kScenarioExample + R"(},"application/x-yaml":{"schema":)" + document +
           R"(},"text/yaml":{"schema":)" + document +
           R"(}}},"responses":{"201":{"description":"The scenario, started",)" +
           R"("content":{"application/json":{"schema":)" + run + R"(,"example":)" +
           kScenarioRunExample + "}}},\"400\":" +
           OpenApiErrorAnswer(
               "A document that cannot be read, named by step and field; nothing started",
               "steps[2].atMs: must be a whole number of milliseconds from 0 to 3600000") +
           ",\"409\":" +
           OpenApiErrorAnswer("As many scenarios as may run at once already run",
                              "at most 16 scenarios may run at once; stop one first") +
           ",\"413\":" +
           OpenApiErrorAnswer(
               "A document above " + std::to_string(kMaxScenarioBytes) +
                   " bytes (1 MiB), refused before it is read",
               "request body larger than " + std::to_string(kMaxScenarioBytes) + " bytes") +
           ",\"503\":" +
           OpenApiErrorAnswer("The host is stopping",
                              "the host is stopping; no scenario starts now") +
           "}}}";
}

std::string ScenarioPath() {
    const std::string run = R"({"$ref":"#/components/schemas/ScenarioRun"})";
    const std::string id =
        R"([{"name":"id","in":"path","required":true,"schema":{"type":"string"},"example":"1"}])";
    const std::string unknown =
        OpenApiErrorAnswer("No scenario has this id", "no scenario with id \\\"42\\\"");
    return std::string(R"({"get":{"operationId":"GetHostScenario","tags":["Host"],)") +
           R"("summary":"A scenario with the state, times and answer of each step",)" +
           R"("parameters":)" + id + R"(,"responses":{"200":{"description":"The scenario",)" +
           R"("content":{"application/json":{"schema":)" + run + R"(,"example":)" +
           kScenarioRunExample + "}}},\"404\":" + unknown +
           R"(}},"delete":{"operationId":"StopHostScenario","tags":["Host"],)" +
           R"("summary":"Stop a scenario: the running step finishes, the rest are skipped",)" +
           R"("parameters":)" + id + R"(,"responses":{"202":{"description":)" +
           R"("The scenario as it is when asked to stop","content":{"application/json":)" +
           R"({"schema":)" + run + "}}},\"404\":" + unknown + "}}}";
}


using Entries = std::vector<std::pair<std::string, std::string>>;

// `first` followed by the entries of each of `more`: the host's own entries, then those of the
// features that describe their paths in files of their own.
Entries Joined(Entries first, std::initializer_list<Entries> more) {
    for (const Entries& entries : more) {
        first.insert(first.end(), entries.begin(), entries.end());
    }
    return first;
}

}  // namespace

std::string OpenApiErrorAnswer(const std::string& description, const std::string& example) {
    return R"({"description":")" + description +
           R"(","content":{"application/json":{"schema":{"$ref":"#/components/schemas/HostError"},)"
           R"("example":{"error":")" +
           example + R"("}}}})";
}

const Entries& OpenApiHostPaths() {
    static const Entries paths = Joined(
        {
            {"/zun-clubs-host/v1/world", WorldPath()},
            {"/zun-clubs-host/v1/faults", FaultsPath()},
            {"/zun-clubs-host/v1/faults/{id}", FaultPath()},
        },
        {OpenApiClockPaths(),
         OpenApiSnapshotPaths(),
         OpenApiJournalPaths(),
         {{"/zun-clubs-host/v1/scenarios", ScenariosPath()},
          {"/zun-clubs-host/v1/scenarios/{id}", ScenarioPath()}}});
    return paths;
}

const Entries& OpenApiHostSchemas() {
    static const Entries schemas =
        Joined(SchemaComponents<WorldText>(), {SchemaComponents<FaultRule>(),
                                               OpenApiClockSchemas(),
                                               OpenApiSnapshotSchemas(),
                                               OpenApiJournalSchemas(),
                                               SchemaComponents<ScenarioText>(),
                                               SchemaComponents<ScenarioReport>()});
    return schemas;
}

}  // namespace Kolm::Host
