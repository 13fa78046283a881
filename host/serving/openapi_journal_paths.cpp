#include "host/serving/openapi_journal_paths.h"

#include "host/documents/record_schema.h"
#include "host/serving/journal_endpoints.h"
#include "host/serving/journal_records.h"
#include "host/serving/openapi_host_paths.h"

namespace Kolm::Host {
namespace {

// An entry as the journal writes it, for the examples.
JournalEntry ExampleEntry() {
    JournalEntry entry;
    entry.id = 7;
    entry.service = "clubs";
    entry.method = "GET";
    entry.path = "/v1/clubs/club-1";
    entry.status = 200;
    entry.answerBody = R"({"key":"club-1","name":"Night Owls"})";
    entry.answerBodyBytes = entry.answerBody.size();
    entry.durationMs = 1.204;
    entry.cause = {"push", 41, "clubs/v1/clubs/club-1"};
    return entry;
}

JournalRead ExampleRead() {
    JournalRead read;
    read.lastId = 7;
    read.entries = {ExampleEntry()};
    return read;
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
           JournalReadJson(ExampleRead()) + "}}}";
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
        R"("#/components/schemas/JournalRead"},{"type":"object","required":["error"]}]},)"
        R"("example":)" +
        JournalReadJson(ExampleRead(), "1 of the 2 calls waited for were made within 500 ms") +
        "}}}";
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
           R"({"schema":{"$ref":"#/components/schemas/JournalEntry"},"example":)" +
           JournalEntryJson(ExampleEntry(), true) + "}}},\"404\":" +
           OpenApiErrorAnswer("No kept entry has this id",
                              "no journal entry with id \\\"42\\\" is kept") +
           "}}}";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> OpenApiJournalPaths() {
    return {
        {"/zun-clubs-host/v1/requests", RequestsPath()},
        {"/zun-clubs-host/v1/requests/wait", WaitPath()},
        {"/zun-clubs-host/v1/requests/{id}", EntryPath()},
    };
}

std::vector<std::pair<std::string, std::string>> OpenApiJournalSchemas() {
    SchemaEntries components;
    SchemaOf<JournalReadText>(components);
    return components;
}

}  // namespace Kolm::Host
