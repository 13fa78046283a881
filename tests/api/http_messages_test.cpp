#include <gtest/gtest.h>

#include <cstring>

#include "api/api_response.h"
#include "api/host_response.h"
#include "api/http_transport.h"

namespace Kolm {
namespace {

std::vector<std::pair<std::string, std::string>> HeadersOf(const HostHttpRequest& record) {
    std::vector<std::pair<std::string, std::string>> headers;
    for (uint32_t i = 0; i < record.headerCount; ++i) {
        headers.emplace_back(record.headers[i].name, record.headers[i].value);
    }
    return headers;
}

TEST(HttpRequestFormTest, PutsTheUserAgentFirstUnlessTheRequestHasOne) {
    HttpBaseTransport::Request request;
    request.method = 7;
    request.url = "https://service/v1/clubs";
    request.headers = {{"b", "2"}, {"a", "1"}};
    request.body = "{}";
    request.setting = 20;
    request.flag = 1;
    HttpBaseTransport::HostRequestForm form(request, "KolmClient/18.2.0 (zun-clubs)");
    const HostHttpRequest& record = *form.Record();
    EXPECT_EQ(+record.method, 7u);
    EXPECT_STREQ(record.url, "https://service/v1/clubs");
    EXPECT_EQ(HeadersOf(record),
              (std::vector<std::pair<std::string, std::string>>{
                  {"user-agent", "KolmClient/18.2.0 (zun-clubs)"}, {"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.body), record.bodyLength), "{}");
    EXPECT_EQ(+record.setting, 20u);
    EXPECT_EQ(+record.flag, 1);

    request.headers = {{"user-agent", "mine"}, {"User-Agent", "other"}};
    HttpBaseTransport::HostRequestForm own(request, "KolmClient/18.2.0 (zun-clubs)");
    EXPECT_EQ(HeadersOf(*own.Record()), (std::vector<std::pair<std::string, std::string>>{
                                            {"User-Agent", "other"}, {"user-agent", "mine"}}));
}

TEST(HttpAnswerTest, MapsTransportCodes) {
    EXPECT_EQ(HttpBaseTransport::MapTransportCode(-1), -1);
    EXPECT_EQ(HttpBaseTransport::MapTransportCode(0), 0);
    EXPECT_EQ(HttpBaseTransport::MapTransportCode(2), 2);
    EXPECT_EQ(HttpBaseTransport::MapTransportCode(3), 1);
    EXPECT_EQ(HttpBaseTransport::MapTransportCode(-5), 1);
}

TEST(HttpAnswerTest, CopiesStatusHeadersAndBodyOnlyOnSuccess) {
    HostHeader headers[] = {{"content-type", "application/json"}};
    const char body[] = "{\"a\":1}";
    HostHttpResponse answer{0, 201, headers, 1, reinterpret_cast<const uint8_t*>(body), 7};
    HttpBaseTransport::Response response = HttpBaseTransport::ReadHostAnswer(answer);
    EXPECT_EQ(response.transportCode, 0);
    EXPECT_EQ(response.status, 201u);
    EXPECT_EQ(response.headers.at("content-type"), "application/json");
    EXPECT_EQ(response.body, "{\"a\":1}");

    const char error[] = "connection refused";
    HostHttpResponse failed{7, 500, headers, 1, reinterpret_cast<const uint8_t*>(error), 18};
    response = HttpBaseTransport::ReadHostAnswer(failed);
    EXPECT_EQ(response.transportCode, 1);
    EXPECT_EQ(response.status, 0u);
    EXPECT_TRUE(response.headers.empty());
    EXPECT_EQ(response.body, "connection refused");
}

TEST(HostResponseTest, EmptyResponseHasNoHeaderArrayAndTheSharedEmptyText) {
    HostResponse record;
    ClearHostResponse(record);
    ApiResponse<int32_t> response(0, 204);
    BindingResult value(BindingProperty(0));
    WriteApiResponse(record, response, value, nullptr);
    EXPECT_EQ(+record.status, 204u);
    EXPECT_EQ(+record.headers, nullptr);
    EXPECT_EQ(+record.headerCount, 0u);
    EXPECT_EQ(+record.statusText, SharedEmptyText());
    EXPECT_EQ(+record.hasError, 0);
    EXPECT_EQ(+record.value.kind, static_cast<uint32_t>(HOST_VALUE_KIND_SIGNED));
    HostResponseReleaseFunction release = record.release;
    release(&record);
    release(&record);
    EXPECT_EQ(+record.release, nullptr);
}

TEST(HostResponseTest, UnconvertibleValueIsA400Failure) {
    HostResponse record;
    ClearHostResponse(record);
    ApiResponse<int32_t> response(1);
    BindingResult value = BindingResult::Failure("Couldn't convert native value");
    WriteApiResponse(record, response, value, nullptr);
    EXPECT_EQ(+record.status, 400u);
    EXPECT_EQ(+record.hasError, 1);
    EXPECT_STREQ(record.errorText, "Couldn't convert native value");
    record.release(&record);
}

TEST(ApiResponseTest, FailuresCarryStatusAndTextAcrossValueTypes) {
    auto failed = ApiResponse<std::string>::Failure(404, "CLUB_NOT_FOUND");
    EXPECT_FALSE(failed);
    auto passed = ApiResponse<int>::FailureOf(failed);
    EXPECT_FALSE(passed.Succeeded());
    EXPECT_EQ(passed.status, 404u);
    EXPECT_EQ(passed.ErrorText(), "CLUB_NOT_FOUND");
    ApiResponse<int> plain(5);
    EXPECT_TRUE(plain);
    EXPECT_EQ(plain.status, 0u);
}

}  // namespace
}  // namespace Kolm
