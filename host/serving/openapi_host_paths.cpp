#include "host/serving/openapi_host_paths.h"

#include "host/serving/openapi_clock_paths.h"
#include "host/serving/openapi_journal_paths.h"
#include "host/serving/openapi_snapshot_paths.h"
#include "host/serving/world_endpoint.h"

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
                              "unknown service \\\"mail\\\"; one of clubs, login, platform-config, "
                              "summoner, chat, player-notifications, messaging") +
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

const char* const kWorldSchema =
    R"({"type":"object","required":["players","clubs"],)"
    R"("description":"Everything the emulated platform knows. Only players and clubs are )"
    R"(required; the rest has defaults.","properties":{)"
    R"("loggedInAccountId":{"type":"integer","format":"int64","nullable":true,)"
    R"("description":"Absent: the first player; null: nobody is logged in"},)"
    R"("players":{"type":"array","items":{"$ref":"#/components/schemas/WorldPlayer"}},)"
    R"("blockedPlayers":{"type":"array","items":{"type":"object","required":["summonerId"],)"
    R"("properties":{"summonerId":{"type":"integer","format":"int64"},"name":{"type":"string"}}}},)"
    R"("platformConfig":{"type":"object","description":"namespace -> key -> any JSON value",)"
    R"("additionalProperties":{"type":"object","additionalProperties":{}}},)"
    R"("service":{"type":"object","properties":{"clock":{"type":"integer","format":"int64"},)"
    R"("clockFrozen":{"type":"boolean","description":"every new stamp is clock; false when )"
    R"(absent"},)"
    R"("chatDomain":{"type":"string"},"limits":{"type":"object",)"
    R"("additionalProperties":{"oneOf":[{"type":"integer"},{"type":"boolean"}]}}}},)"
    R"("clubs":{"type":"array","items":{"$ref":"#/components/schemas/WorldClub"}}}})";

const char* const kWorldPlayerSchema =
    R"({"type":"object",)"
    R"("required":["accountId","summonerId"],"properties":{)"
    R"("accountId":{"type":"integer","format":"int64"},)"
    R"("summonerId":{"type":"integer","format":"int64"},"name":{"type":"string"},)"
    R"("profileIconId":{"type":"integer","format":"int32"},"platformId":{"type":"string"},)"
    R"("token":{"type":"string"},"primaryClubKey":{"type":"string"},)"
    R"("shareClubAffiliation":{"type":"boolean"},"notices":{"type":"array","items":)"
    R"({"type":"object","required":["clubKey","action"],"properties":{)"
    R"("clubKey":{"type":"string"},"clubName":{"type":"string"},"role":{"type":"string"},)"
    R"("status":{"type":"string"},"action":{"type":"string"}}}},)"
    R"("removedClubs":{"$ref":"#/components/schemas/WorldClubReferences"},)"
    R"("revokedInvites":{"$ref":"#/components/schemas/WorldClubReferences"}}})";

const char* const kWorldClubSchema =
    R"({"type":"object",)"
    R"("required":["key","name"],"properties":{"key":{"type":"string"},)"
    R"("name":{"type":"string"},"tag":{"type":"string"},"motd":{"type":"string"},)"
    R"("description":{"type":"string"},"platformId":{"type":"string"},)"
    R"("createdTs":{"type":"integer","format":"int64"},)"
    R"("lastModifiedTs":{"type":"integer","format":"int64"},"jid":{"type":"string"},)"
    R"("active":{"$ref":"#/components/schemas/WorldClubEntries"},)"
    R"("invited":{"$ref":"#/components/schemas/WorldClubEntries"},)"
    R"("nominated":{"$ref":"#/components/schemas/WorldClubEntries"},)"
    R"("removed":{"$ref":"#/components/schemas/WorldClubEntries"}}})";

const char* const kEntriesSchema =
    R"({"type":"array","items":{"type":"object",)"
    R"("required":["accountId"],"properties":{"accountId":{"type":"integer","format":"int64"},)"
    R"("role":{"type":"string","description":"OWNER, OFFICER or MEMBER; required when active"},)"
    R"("since":{"type":"integer","format":"int64"},)"
    R"("by":{"type":"integer","format":"int64","description":"the inviter or nominator"}}}})";

const char* const kReferencesSchema =
    R"({"type":"array","items":{"type":"object",)"
    R"("required":["key"],"properties":{"key":{"type":"string"},"name":{"type":"string"}}}})";

const char* const kFaultRuleSchema =
    R"({"type":"object","required":["service","path"],)"
    R"("properties":{"id":{"type":"string","readOnly":true},"service":{"type":"string",)"
    R"("enum":["clubs","login","platform-config","summoner","chat","player-notifications",)"
    R"("messaging"]},"method":{"type":"string","description":"any method when absent"},)"
    R"("path":{"type":"string","description":"a path pattern; * stands for one segment"},)"
    R"("status":{"type":"integer","minimum":100,"maximum":599},)"
    R"("body":{"description":"any JSON, answered with the status"},)"
    R"("transportFailure":{"type":"boolean","description":"no answer at all"},)"
    R"("latencyMs":{"type":"integer","minimum":0,"maximum":120000},)"
    R"("probability":{"type":"number","minimum":0,"maximum":1},)"
    R"("seed":{"type":"integer","format":"int64","minimum":0},)"
    R"("times":{"type":"integer","minimum":1}}})";

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
        {OpenApiClockPaths(), OpenApiSnapshotPaths(), OpenApiJournalPaths()});
    return paths;
}

const Entries& OpenApiHostSchemas() {
    static const Entries schemas = Joined(
        {
            {"World", kWorldSchema},
            {"WorldPlayer", kWorldPlayerSchema},
            {"WorldClub", kWorldClubSchema},
            {"WorldClubEntries", kEntriesSchema},
            {"WorldClubReferences", kReferencesSchema},
            {"FaultRule", kFaultRuleSchema},
        },
        {OpenApiClockSchemas(), OpenApiSnapshotSchemas(), OpenApiJournalSchemas()});
    return schemas;
}

}  // namespace Kolm::Host
