#include "host/simulated/simulated_plugins.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/simulated/host_event_bus.h"

namespace Kolm::Host {
namespace {

// Fields of the packed boundary records are copied before an assertion takes them by reference.
template <class T>
T Field(T value) {
    return value;
}

class SimulatedPluginsTest : public ::testing::Test {
  protected:
    HostResponse Call(uint32_t method, const char* uri, std::vector<HostArgument> arguments = {}) {
        HostRequest request{};
        request.method = method;
        request.uri = uri;
        request.arguments = arguments.empty() ? nullptr : arguments.data();
        request.argumentCount = static_cast<uint32_t>(arguments.size());
        request.callToken = 77;
        HostResponse response{};
        plugins.Answer(response, request);
        return response;
    }
    void CallAndRelease(uint32_t method, const std::string& uri) {
        HostResponse response = Call(method, uri.c_str());
        response.release(&response);
    }

    HostEventBus bus;
    SimulatedPlugins plugins{bus};
};

TEST_F(SimulatedPluginsTest, RoutesToTheLongestPrefixOnAPieceBoundary) {
    auto login = plugins.Add("/zun-login");
    auto session = plugins.Add("/zun-login/v1/session");
    EXPECT_EQ(plugins.Find("/zun-login/v1/session?x=1"), session);
    EXPECT_EQ(plugins.Find("/zun-login/v1/other"), login);
    EXPECT_EQ(plugins.Find("/zun-login"), login);
    EXPECT_EQ(plugins.Find("/zun-loginx/v1"), nullptr);

    HostResponse response = Call(HOST_METHOD_GET, "/zun-nobody/v1/x");
    EXPECT_EQ(Field(response.hasError), 1);
    EXPECT_EQ(Field(response.status), 404u);
    EXPECT_STREQ(Field(response.errorText), "No plugin serves /zun-nobody/v1/x");
    response.release(&response);
}

TEST_F(SimulatedPluginsTest, AnswersHandlersResourcesAndUnknownPaths) {
    auto summoner = plugins.Add("/zun-summoner");
    summoner->SetResource("/zun-summoner/v1/me", OwnedHostValue::Json(R"({"name":"Kai"})"));
    summoner->On(HOST_METHOD_POST, "/zun-summoner/v1/names", [](const SimulatedRequest& request) {
        return SimulatedAnswer::Json(
            "[\"" + request.query + "\"," + request.FirstArgumentJson() + "]", 200);
    });

    HostResponse me = Call(HOST_METHOD_GET, "/zun-summoner/v1/me");
    EXPECT_EQ(Field(me.hasError), 0);
    EXPECT_EQ(HostValueToJson(me.value), R"({"name":"Kai"})");
    EXPECT_STREQ(Field(me.statusText), "");
    me.release(&me);
    EXPECT_EQ(Field(me.release), nullptr);  // zeroed

    OwnedHostValue ids = OwnedHostValue::Json("[1,2]");
    HostResponse names =
        Call(HOST_METHOD_POST, "/zun-summoner/v1/names?q=1", {HostArgument{nullptr, ids.Get()}});
    EXPECT_EQ(Field(names.status), 200u);
    EXPECT_EQ(HostValueToJson(names.value), R"(["q=1",[1,2]])");
    names.release(&names);

    HostResponse missing = Call(HOST_METHOD_DELETE, "/zun-summoner/v1/me");
    EXPECT_STREQ(Field(missing.errorText), "No handler for 1 /zun-summoner/v1/me");
    missing.release(&missing);

    ASSERT_EQ(summoner->ReceivedRequests().size(), 3u);
    EXPECT_EQ(summoner->ReceivedRequests()[1].callToken, 77u);
    EXPECT_EQ(summoner->RequestCount(HOST_METHOD_GET, "/zun-summoner/v1/me"), 1u);
    EXPECT_EQ(SimulatedPlugins::OutstandingAnswers(), 0u);
}

TEST_F(SimulatedPluginsTest, PublishSendsTheEventUnderBothNamesAndKeepsTheResource) {
    auto config = plugins.Add("/zun-platform-config");
    std::vector<std::pair<std::string, std::string>> seen;
    bus.Listen("", [&](std::string_view name, const HostValue& payload) {
        seen.emplace_back(std::string(name), HostValueToJson(payload));
    });
    const std::string uri = "/zun-platform-config/v1/namespaces/Clubs/ClubsEnabled";
    config->Publish(ResourceEventType::Update, uri, OwnedHostValue::Bool(true));

    const std::string payload = R"({"data":true,"eventType":"Update","uri":")" + uri + "\"}";
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, "OnJsonApiEvent_zun-platform-config_v1_namespaces_Clubs_ClubsEnabled");
    EXPECT_EQ(seen[0].second, payload);
    EXPECT_EQ(seen[1].first, "OnJsonApiEvent");
    EXPECT_EQ(seen[1].second, payload);
    EXPECT_EQ(config->Resource(uri)->ToJson(), "true");

    config->Publish(ResourceEventType::Delete, uri, OwnedHostValue::Null());
    EXPECT_FALSE(config->Resource(uri).has_value());
}

TEST_F(SimulatedPluginsTest, StreamsSplitStepsOverTheReadersBufferAndReleaseOnce) {
    auto stream = std::make_shared<ScriptedStream>(
        std::vector<ScriptedStream::Step>{{"abcdef", true, false}, {"", false, true}}, 1000);
    auto files = plugins.Add("/zun-files");
    files->On(HOST_METHOD_GET, "/zun-files/v1/f",
              [&](const SimulatedRequest&) { return SimulatedAnswer::Stream(stream); });

    HostResponse response = Call(HOST_METHOD_GET, "/zun-files/v1/f");
    ASSERT_NE(Field(response.streamRead), nullptr);
    EXPECT_EQ(Field(response.streamSize), 1000u);
    uint8_t buffer[4];
    uint32_t count = sizeof buffer;
    uint8_t more = 1;
    ASSERT_EQ(response.streamRead(response.streamContext, buffer, &count, &more), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "abcd");
    EXPECT_EQ(more, 1);
    count = sizeof buffer;
    ASSERT_EQ(response.streamRead(response.streamContext, buffer, &count, &more), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "ef");
    count = sizeof buffer;
    EXPECT_EQ(response.streamRead(response.streamContext, buffer, &count, &more), 0);
    EXPECT_EQ(stream->BufferSizes(), (std::vector<uint32_t>{4, 4, 4}));

    EXPECT_FALSE(stream->Released());
    HostResponseReleaseFunction release = response.release;
    release(&response);  // releases the stream the reader left
    EXPECT_TRUE(stream->Released());
    release(&response);  // harmless on the zeroed record
    EXPECT_EQ(SimulatedPlugins::OutstandingAnswers(), 0u);
}

TEST_F(SimulatedPluginsTest, AnErrorFlagMayComeWithoutText) {
    auto broken = plugins.Add("/zun-broken");
    broken->On(HOST_METHOD_GET, "/zun-broken/v1/x",
               [](const SimulatedRequest&) { return SimulatedAnswer::ErrorWithoutText(500); });
    HostResponse response = Call(HOST_METHOD_GET, "/zun-broken/v1/x");
    EXPECT_EQ(Field(response.hasError), 1);
    EXPECT_EQ(Field(response.errorText), nullptr);
    EXPECT_EQ(Field(response.status), 500u);
    response.release(&response);
}

TEST_F(SimulatedPluginsTest, OnlyTheNewestCallsAreRecordedByDefault) {
    auto login = plugins.Add("/zun-login");
    const std::size_t total = RecentRecords<SimulatedRequest>::kDefaultLimit + 10;
    for (std::size_t i = 0; i < total; ++i) {
        CallAndRelease(HOST_METHOD_GET, "/zun-login/v1/call-" + std::to_string(i));
    }
    const std::vector<SimulatedRequest> kept = login->ReceivedRequests();
    ASSERT_EQ(kept.size(), RecentRecords<SimulatedRequest>::kDefaultLimit);
    EXPECT_EQ(kept.front().path, "/zun-login/v1/call-10");
    EXPECT_EQ(kept.back().path, "/zun-login/v1/call-" + std::to_string(total - 1));
}

TEST_F(SimulatedPluginsTest, ARecordLimitBoundsTheCallsAndTheirCounts) {
    auto login = plugins.Add("/zun-login");
    for (int i = 0; i < 5; ++i) {
        CallAndRelease(HOST_METHOD_GET, "/zun-login/v1/session");
    }
    login->SetRecordLimit(3);
    EXPECT_EQ(login->RequestCount(HOST_METHOD_GET, "/zun-login/v1/session"), 3u);
    CallAndRelease(HOST_METHOD_POST, "/zun-login/v1/session");
    EXPECT_EQ(login->RequestCount(HOST_METHOD_GET, "/zun-login/v1/session"), 2u);
    EXPECT_EQ(login->RequestCount(HOST_METHOD_POST, "/zun-login/v1/session"), 1u);
    EXPECT_EQ(login->ReceivedRequests().size(), 3u);
}

TEST(RecentRecordsTest, KeepsTheNewestRecordsThatFitItsByteLimitAndAlwaysTheNewestOne) {
    RecentRecords<std::string> records;
    records.SetByteLimit(1000);
    for (char c = 'a'; c <= 'j'; ++c) {
        records.Add(std::string(300, c));
    }
    // sizeof(std::string) plus 300 bytes each: three fit in 1000.
    ASSERT_EQ(records.Items().size(), 3u);
    EXPECT_EQ(records.Items().front(), std::string(300, 'h'));
    EXPECT_EQ(records.Bytes(), 3 * (sizeof(std::string) + 300));
    records.Add(std::string(5000, 'k'));
    ASSERT_EQ(records.Items().size(), 1u);
    EXPECT_EQ(records.Items().front(), std::string(5000, 'k'));
    records.Add("l");
    EXPECT_EQ(records.ToVector(), std::vector<std::string>{"l"});
    EXPECT_EQ(records.Bytes(), sizeof(std::string) + 1);
}

}  // namespace
}  // namespace Kolm::Host
