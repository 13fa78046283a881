#include "host/serving/openapi_journal_paths.h"

#include "host/serving/journal_endpoints.h"
#include "host/serving/openapi_host_paths.h"

namespace Kolm::Host {
namespace {

const char* const kEntryExample =
    R"({"id":7,"service":"clubs","method":"GET","path":"/v1/clubs/club-1","query":"",)"
    R"("status":200,"requestBody":"","answerBody":"{\"key\":\"club-1\",\"name\":\"Night Owls\"}",)"
    R"("requestBodyBytes":0,"answerBodyBytes":37,"durationMs":1.204,"faultRule":null,)"
    R"("cause":{"kind":"push","id":41,"label":"clubs/v1/clubs/club-1"}})";

std::string ReadExample() {
    return std::string(R"({"dropped":0,"lastId":7,"entries":[)") + kEntryExample + "]}";
}

// The filters every read of the journal takes.
std::string FilterParameters() {
    return R"({"name":"service","in":"query","schema":{"type":"string"},"example":"clubs",)"
           R"("description":"the service as fault rules name it"},)"
           R"({"name":"method","in":"query","schema":{"type":"string"},"example":"GET"},)"
           R"({"name":"path","in":"query","schema":{"type":"string"},"example":"/v1/clubs/*",)"
           R"("description":"a path pattern as fault rules write it; * stands for one segment"},)"
           R"({"name":"since","in":"query","schema":{"type":"integer","format":"int64",)"
           R"("minimum":0},"example":6,"description":"only entries with a greater id"})";
}

std::string ReadAnswer(const std::string& description) {
    return R"({"description":")" + description +
           R"(","content":{"application/json":{"schema":{"$ref":)"
           R"("#/components/schemas/JournalRead"},"example":)" +
           ReadExample() + "}}}";
}

std::string BadQuery() {
    return OpenApiErrorAnswer("A parameter that cannot be read",
                              "\\\"since\\\" must be an entry id, a whole number");
}

std::string RequestsPath() {
    return std::string(R"({"get":{"operationId":"ListHostRequests","tags":["Host"],)") +
           R"("summary":"The calls the plugin made, oldest first","parameters":[)" +
           FilterParameters() + R"(],"responses":{"200":)" +
           ReadAnswer("The matching entries kept, and how many were dropped for room") +
           ",\"400\":" + BadQuery() +
           R"(}},"delete":{"operationId":"ClearHostRequests","tags":["Host"],)" +
           R"("summary":"Empty the request journal",)" +
           R"("responses":{"204":{"description":"No entry is left"}}}})";
}

std::string WaitPath() {
    const std::string timedOut =
        R"({"description":"Fewer calls matched when the time was up; the ones that did",)"
        R"("content":{"application/json":{"schema":{"allOf":[{"$ref":)"
        R"("#/components/schemas/JournalRead"},{"type":"object","required":["error"],)"
        R"("properties":{"error":{"type":"string"}}}]},"example":{"error":)"
        R"("1 of the 2 calls waited for were made within 500 ms",)"
        R"("dropped":0,"lastId":7,"entries":[)" +
        std::string(kEntryExample) + "]}}}}";
    return std::string(R"({"get":{"operationId":"WaitForHostRequests","tags":["Host"],)") +
           R"("summary":"Wait until the plugin has made so many matching calls","parameters":[)" +
           FilterParameters() +
           R"(,{"name":"count","in":"query","schema":{"type":"integer","minimum":1,"maximum":)" +
           std::to_string(kMaxJournalWaitCount) + R"(,"default":1},"example":2},)" +
           R"({"name":"timeoutMs","in":"query","schema":{"type":"integer","minimum":0,)" +
           R"("maximum":)" + std::to_string(kMaxJournalWaitMs) +
           R"(,"default":5000},"example":2000}],"responses":{"200":)" +
           ReadAnswer("As many calls as waited for matched") + ",\"400\":" + BadQuery() +
           ",\"408\":" + timedOut + ",\"503\":" +
           OpenApiErrorAnswer("Too many waits are under way",
                              "too many waits for the request journal are "
                              "under way; this one was not started, try again "
                              "later") +
           "}}}";
}

std::string EntryPath() {
    return std::string(R"({"get":{"operationId":"GetHostRequest","tags":["Host"],)") +
           R"("summary":"One call, with its bodies","parameters":[{"name":"id","in":"path",)" +
           R"("required":true,"schema":{"type":"integer","format":"int64"},"example":7}],)" +
           R"("responses":{"200":{"description":"The entry","content":{"application/json":)" +
           R"({"schema":{"$ref":"#/components/schemas/JournalEntry"},"example":)" + kEntryExample +
           "}}},\"404\":" +
           OpenApiErrorAnswer("No kept entry has this id",
                              "no journal entry with id \\\"42\\\" is kept") +
           "}}}";
}

const char* const kEntrySchema =
    R"({"type":"object","required":["id","service","method","path","query","status",)"
    R"("requestBodyBytes","answerBodyBytes","durationMs","faultRule","cause"],"properties":{)"
    R"("id":{"type":"integer","format":"int64"},)"
    R"("service":{"type":"string","description":"clubs, or a simulated plugin as fault rules )"
    R"(name it"},"method":{"type":"string"},"path":{"type":"string"},)"
    R"("query":{"type":"string","description":"without the question mark"},)"
    R"("status":{"type":"integer","description":"0 when no answer came"},)"
    R"("requestBody":{"type":"string"},"answerBody":{"type":"string"},)"
    R"("requestBodyBytes":{"type":"integer"},"answerBodyBytes":{"type":"integer"},)"
    R"("bodiesCut":{"type":"boolean","description":"a body was kept cut short"},)"
    R"("error":{"type":"string","description":"the transport's or the plugin's error text"},)"
    R"("durationMs":{"type":"number"},)"
    R"("faultRule":{"type":"string","nullable":true,"description":"the id of the rule applied"},)"
    R"("cause":{"type":"object","required":["kind","id","label"],"properties":{)"
    R"("kind":{"type":"string","enum":["request","push","host","none"]},)"
    R"("id":{"type":"integer","format":"int64"},"label":{"type":"string"}}}}})";

const char* const kReadSchema =
    R"({"type":"object","required":["dropped","lastId","entries"],"properties":{)"
    R"("dropped":{"type":"integer","description":"entries dropped for room since the last clear"},)"
    R"("lastId":{"type":"integer","format":"int64"},)"
    R"("entries":{"type":"array","items":{"$ref":"#/components/schemas/JournalEntry"}}}})";

}  // namespace

std::vector<std::pair<std::string, std::string>> OpenApiJournalPaths() {
    return {
        {"/zun-clubs-host/v1/requests", RequestsPath()},
        {"/zun-clubs-host/v1/requests/wait", WaitPath()},
        {"/zun-clubs-host/v1/requests/{id}", EntryPath()},
    };
}

std::vector<std::pair<std::string, std::string>> OpenApiJournalSchemas() {
    return {{"JournalEntry", kEntrySchema}, {"JournalRead", kReadSchema}};
}

}  // namespace Kolm::Host
