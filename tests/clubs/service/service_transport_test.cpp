#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clubs/service/service_transport.h"
#include "plugin/plugin_connection.h"

namespace Kolm::Client::Clubs {
namespace {

HttpBaseTransport::Request GetRequest() {
    HttpBaseTransport::Request request;
    request.method = 2;
    request.url = "https://clubs.test/v1/clubs/k";
    return request;
}

TEST(ReadServiceAnswerTest, CopiesStatusHeadersAndBody) {
    const HostHeader headers[] = {{"content-type", "application/json"}, {"x", nullptr}};
    const std::string body = "{\"a\":1}";
    HostHttpResponse answer{0,
                            201,
                            headers,
                            2,
                            reinterpret_cast<const uint8_t*>(body.data()),
                            static_cast<uint32_t>(body.size())};
    const ServiceHttpAnswer read = ReadServiceAnswer(answer, GetRequest());
    EXPECT_EQ(read.transportCode, 0);
    EXPECT_EQ(read.status, 201u);
    EXPECT_FALSE(read.conversionFailed);
    EXPECT_EQ(read.errorText, "");
    EXPECT_EQ(read.headers, (std::map<std::string, std::string>{
                                {"content-type", "application/json"}, {"x", ""}}));
    EXPECT_EQ(read.body, body);
}

TEST(ReadServiceAnswerTest, AnnouncedPartsWithoutAddressFailTheConversion) {
    const std::string body = "{}";
    HostHttpResponse noHeaders{0, 200, nullptr, 3, reinterpret_cast<const uint8_t*>(body.data()),
                               2};
    ServiceHttpAnswer read = ReadServiceAnswer(noHeaders, GetRequest());
    EXPECT_TRUE(read.conversionFailed);
    EXPECT_EQ(read.errorText,
              "Error converting response for GET https://clubs.test/v1/clubs/k: headers was null");
    EXPECT_EQ(read.body, "{}");
    HostHttpResponse noBody{0, 200, nullptr, 0, nullptr, 12};
    read = ReadServiceAnswer(noBody, GetRequest());
    EXPECT_TRUE(read.conversionFailed);
    EXPECT_EQ(read.errorText,
              "Error converting response for GET https://clubs.test/v1/clubs/k: body was null");
    HostHttpResponse empty{0, 204, nullptr, 0, nullptr, 0};
    EXPECT_FALSE(ReadServiceAnswer(empty, GetRequest()).conversionFailed);
}

TEST(ReadServiceAnswerTest, AFailedTransportKeepsOnlyItsMessage) {
    const std::string message = "timed out";
    const HostHeader headers[] = {{"x", "y"}};
    HostHttpResponse answer{7,
                            200,
                            headers,
                            1,
                            reinterpret_cast<const uint8_t*>(message.data()),
                            static_cast<uint32_t>(message.size())};
    const ServiceHttpAnswer read = ReadServiceAnswer(answer, GetRequest());
    EXPECT_EQ(read.transportCode, 1);
    EXPECT_EQ(read.status, 0u);
    EXPECT_EQ(read.errorText, "timed out");
    EXPECT_TRUE(read.headers.empty());
    EXPECT_EQ(read.body, "");
    HostHttpResponse noText{-1, 0, nullptr, 0, nullptr, 5};
    EXPECT_EQ(ReadServiceAnswer(noText, GetRequest()).errorText, "");
}

// A connection whose host answers every HTTP request with one canned record.
class CannedConnection : public PluginConnection {
  public:
    explicit CannedConnection(HostHttpResponse canned) : canned_(canned) {
        userAgent = "KolmClient/18.0.0 (zun-clubs)";
    }
    void SendHttpRequest(HostHttpResponse* response, const HostHttpRequest* request) override {
        seenUrl = request->url;
        seenSetting = request->setting;
        seenFlag = request->flag;
        for (uint32_t i = 0; i < request->headerCount; ++i)
            seenHeaders.push_back(std::string(request->headers[i].name) + "=" +
                                  request->headers[i].value);
        *response = canned_;
    }
    void SendRemotingRequest(HostResponse*, const HostRequest*) override {}
    void SendEvent(const HostEventRecord*) override {}
    void SubscribeHostEvent(const char*, uint32_t, HostEventCallback, void*, uint32_t) override {}
    void UnsubscribeHostEvent(const char*, uint32_t) override {}
    void HostReserved5(uint32_t, uint32_t, uint32_t, double, uint32_t) override {}
    void HostYield() override {}
    void BeginWait(const char*, uint32_t) override {}
    uint64_t EndWait() override { return 0; }

    std::string seenUrl;
    uint32_t seenSetting = 0;
    uint8_t seenFlag = 0;
    std::vector<std::string> seenHeaders;

  private:
    HostHttpResponse canned_;
};

TEST(SendThroughConnectionTest, HandsTheHostFormOverAndReadsTheAnswer) {
    const std::string body = "{}";
    CannedConnection connection(
        HostHttpResponse{0, 200, nullptr, 0, reinterpret_cast<const uint8_t*>(body.data()), 2});
    HttpBaseTransport::Request request = GetRequest();
    request.headers = {{"Authorization", "JwtBearer t"}};
    request.setting = 20;
    request.flag = 1;
    const ServiceHttpAnswer answer = SendThroughConnection(connection)(request);
    EXPECT_EQ(connection.seenUrl, "https://clubs.test/v1/clubs/k");
    EXPECT_EQ(connection.seenSetting, 20u);
    EXPECT_EQ(connection.seenFlag, 1u);
    EXPECT_EQ(connection.seenHeaders,
              (std::vector<std::string>{"user-agent=KolmClient/18.0.0 (zun-clubs)",
                                        "Authorization=JwtBearer t"}));
    EXPECT_EQ(answer.status, 200u);
    EXPECT_EQ(answer.body, "{}");
}

}  // namespace
}  // namespace Kolm::Client::Clubs
