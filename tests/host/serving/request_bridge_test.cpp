// The request bridge in-process: endpoint choice over hand-made function entries, the request
// record the plugin receives, and the response rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/serving/request_bridge.h"

namespace Kolm::Host {
namespace {

struct Seen {
    std::string uri;
    uint32_t method = 0;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    const void* dispatchRecord = nullptr;
};
Seen gSeen;
int gReleases = 0;

void ZC_HOST_CALL Release(HostResponse* response) {
    ++gReleases;
    std::memset(response, 0, sizeof(*response));
}

void ZC_HOST_CALL Handler(HostResponse* response, const HostRequest* request) {
    response->release = &Release;
    gSeen.uri = request->uri;
    gSeen.method = request->method;
    gSeen.contentType = request->contentType != nullptr ? request->contentType : "";
    gSeen.body.assign(reinterpret_cast<const char*>(request->body), request->bodyLength);
    gSeen.headers.clear();
    for (uint32_t i = 0; i < request->headerCount; ++i) {
        gSeen.headers.emplace_back(request->headers[i].name, request->headers[i].value);
    }
    gSeen.dispatchRecord = request->dispatchRecord;
    response->value.kind = HOST_VALUE_KIND_BORROWED_STRING;
    response->value.payload.string.text = "ok";
}

class BridgeFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* templates[] = {"/x/{id}", "/x/me", "/x/{id}/{sub}", "/r/{+rest}"};
        const uint32_t methods[] = {HOST_METHOD_GET, HOST_METHOD_GET, HOST_METHOD_POST,
                                    HOST_METHOD_GET};
        entries.resize(4);
        for (int i = 0; i < 4; ++i) {
            entries[i] = HostFunctionEntry{};
            entries[i].pathTemplate = templates[i];
            entries[i].method = methods[i];
            entries[i].handler = &Handler;
            entries[i].dispatchRecord = &records[i];
        }
        description.functions = entries.data();
        description.functionCount = 4;
        gReleases = 0;
    }
    std::vector<HostFunctionEntry> entries;
    int records[4] = {};
    HostApiDescription description{};
};

TEST(TemplateMatching, CapturesOneSegmentOrTheRest) {
    EXPECT_EQ(TemplateMatchLength("/x/{id}", "/x/abc"), 3);
    EXPECT_EQ(TemplateMatchLength("/x/{id}", "/x/p/q"), -1);
    EXPECT_EQ(TemplateMatchLength("/x/{id}", "/x/"), 0);
    EXPECT_EQ(TemplateMatchLength("/r/{+rest}", "/r/p/q/r"), 5);
    EXPECT_EQ(TemplateMatchLength("/a.b/{x}", "/a.b/1"), 1);
    EXPECT_EQ(TemplateMatchLength("/a/{x}.json", "/a/v1.json"), 2);
    EXPECT_EQ(TemplateMatchLength("/lit", "/lit"), 0);
    EXPECT_EQ(TemplateMatchLength("/lit", "/lit/"), -1);
    EXPECT_EQ(TemplateMatchLength("/u/{open", "/u/"), 0);
}

TEST_F(BridgeFixture, PicksTheLiteralRouteThenTheShortestCaptures) {
    RequestBridge bridge(&description);
    EXPECT_EQ(bridge.Pick("GET", "/x/me"), &entries[1]);
    EXPECT_EQ(bridge.Pick("GET", "/x/you"), &entries[0]);
    EXPECT_EQ(bridge.Pick("POST", "/x/1/2"), &entries[2]);
    EXPECT_EQ(bridge.Pick("GET", "/x/1/2"), nullptr);
    EXPECT_TRUE(bridge.ServesPath("/x/1/2"));
    EXPECT_FALSE(bridge.ServesPath("/y"));
}

TEST_F(BridgeFixture, HandsThePluginTheRequestAsItCame) {
    RequestBridge bridge(&description);
    HttpRequest request;
    request.method = "GET";
    request.target = "/r/a%2Fb/c?q=%20";
    request.headers = {{"Content-Type", "Application/JSON; charset=utf-8"}, {"X-Trace", "7"}};
    request.body = "{}";
    const HttpResponse response = bridge.Handle(request);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "\"ok\"");
    EXPECT_EQ(gSeen.uri, "/r/a%2Fb/c?q=%20");
    EXPECT_EQ(gSeen.method, static_cast<uint32_t>(HOST_METHOD_GET));
    EXPECT_EQ(gSeen.contentType, "Application/JSON; charset=utf-8");
    EXPECT_EQ(gSeen.body, "{}");
    EXPECT_EQ(gSeen.headers[1], (std::pair<std::string, std::string>{"x-trace", "7"}));
    EXPECT_EQ(gSeen.dispatchRecord, &records[3]);
    EXPECT_EQ(gReleases, 1);
}

TEST(ResponseRecords, StatusAndErrorRules) {
    HostResponse record{};
    record.release = &Release;
    gReleases = 0;
    record.hasError = 1;
    record.errorText = "Invalid \"function\"";
    HttpResponse response = ResponseFromRecord(record);
    EXPECT_EQ(response.status, 500);
    EXPECT_EQ(response.body, "{\"error\":\"Invalid \\\"function\\\"\"}");
    EXPECT_EQ(gReleases, 1);

    record = HostResponse{};
    record.hasError = 1;
    record.errorText = "CLUB_NOT_FOUND";
    record.status = 404;
    EXPECT_EQ(ResponseFromRecord(record).status, 404);

    record = HostResponse{};
    record.status = 7;  // not an HTTP status
    EXPECT_EQ(ResponseFromRecord(record).body,
              "{\"error\":\"the plugin answered with the invalid status 7\"}");

    HostHeader headers[] = {
        {"X-Club", "a"}, {"Content-Length", "99"}, {"Bad\nName", "x"}, {"X-Evil", "a\r\nb"}};
    record = HostResponse{};
    record.status = 201;
    record.headers = headers;
    record.headerCount = 4;
    response = ResponseFromRecord(record);
    EXPECT_EQ(response.status, 201);
    EXPECT_EQ(response.body, "null");
    ASSERT_EQ(response.headers.size(), 1u);
    EXPECT_EQ(response.headers[0].first, "X-Club");
}

}  // namespace
}  // namespace Kolm::Host
