#include "host/serving/openapi_clock_paths.h"

#include "host/documents/record_schema.h"
#include "host/serving/clock_endpoints.h"
#include "host/serving/openapi_host_paths.h"

namespace Kolm::Host {
namespace {

const std::string kClockRef = R"({"$ref":"#/components/schemas/HostClock"})";
const std::string kClockExample = R"({"now":1700000000012,"frozen":false})";

std::string ClockAnswer(const std::string& description, const std::string& example) {
    return R"({"description":")" + description + R"(","content":{"application/json":{"schema":)" +
           kClockRef + R"(,"example":)" + example + "}}}";
}

const std::string kNotEmbedded = OpenApiErrorAnswer(
    "This host uses another clubs web service (--clubs-service-url) and holds no clock",
    "the clock lives in the embedded clubs web service, not embedded in this host");

std::string ClockPath() {
    const std::string setting = R"({"$ref":"#/components/schemas/HostClockSetting"})";
    return R"({"get":{"operationId":"GetHostClock","tags":["Host"],)"
           R"("summary":"The clubs web service's clock, which stamps since, createdTs and )"
           R"(lastModifiedTs","responses":{"200":)" +
           ClockAnswer("The clock", kClockExample) + R"(,"404":)" + kNotEmbedded +
           R"(}},"put":{"operationId":"SetHostClock","tags":["Host"],)"
           R"("summary":"Set the clock's reading, freeze it or let it run; either member may )"
           R"(be left out","requestBody":{"required":true,"content":{"application/json":)"
           R"({"schema":)" +
           setting + R"(,"example":{"now":1700086400000,"frozen":true}}}},"responses":{"200":)" +
           ClockAnswer("The clock now", R"({"now":1700086400000,"frozen":true})") + R"(,"400":)" +
           OpenApiErrorAnswer("A body that cannot be read, naming the field; nothing changed",
                              "\\\"now\\\" " + std::string(ClockNowRule())) +
           R"(,"404":)" + kNotEmbedded + R"(,"409":)" +
           OpenApiErrorAnswer(
               "A reading before the newest time stamp the service holds; nothing changed",
               "\\\"now\\\" 1600000000000 is before 1700000000012, the newest time stamp "
               "the service holds; the clock may not go back past a stamp it gave") +
           "}}}";
}

std::string AdvancePath() {
    return R"({"post":{"operationId":"AdvanceHostClock","tags":["Host"],)"
           R"("summary":"Move the clock ahead, frozen or not",)"
           R"("requestBody":{"required":true,"content":{"application/json":{"schema":)"
           R"({"$ref":"#/components/schemas/HostClockAdvance"},"example":{"ms":3600000}}}},)"
           R"("responses":{"200":)" +
           ClockAnswer("The clock now", R"({"now":1700003600012,"frozen":false})") + R"(,"400":)" +
           OpenApiErrorAnswer(
               "A body that cannot be read or a step out of bounds, naming the field; "
               "nothing changed",
               "\\\"ms\\\" must be a whole number of milliseconds from 1 to " +
                   std::to_string(kMaxClockAdvanceMs)) +
           R"(,"404":)" + kNotEmbedded + "}}}";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> OpenApiClockPaths() {
    return {{kClockUri, ClockPath()}, {std::string(kClockUri) + "/advance", AdvancePath()}};
}

std::vector<std::pair<std::string, std::string>> OpenApiClockSchemas() {
    SchemaEntries components;
    SchemaOf<ClubsWebService::ClockReading>(components);
    SchemaOf<ClockSetting>(components);
    SchemaOf<ClockAdvance>(components);
    return components;
}

}  // namespace Kolm::Host
