// Resource events, remote calls and service-proxy events, through the events test plugin's real
// entry and the host side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin/host_events_fixture.h"

namespace Kolm::Host {
namespace {

using ResourceEvents = HostEventsFixture;
using RemoteCalls = HostEventsFixture;
using ServiceProxyEvents = HostEventsFixture;
using BadInput = HostEventsFixture;

constexpr const char* kSession = "/zun-login/v1/session";

TEST_F(ResourceEvents, APublicationReachesTheHostTwiceWithTheSamePayload) {
    std::vector<std::pair<std::string, std::string>> sent;
    bus.Listen("", [&](std::string_view name, const HostValue& payload) {
        if (name.find("zun-clubs") != std::string_view::npos || name == "OnJsonApiEvent") {
            sent.emplace_back(std::string(name), HostValueToJson(payload));
        }
    });
    Command(R"({"action":"publish","type":1,"uri":"/zun-clubs/v1/clubs/membership",)"
            R"("data":{"clubs":[1,2]}})");

    const std::string payload =
        R"({"data":{"clubs":[1,2]},"eventType":"Update","uri":"/zun-clubs/v1/clubs/membership"})";
    // The driver's own command event also passes under "OnJsonApiEvent"; keep the plugin's.
    std::vector<std::pair<std::string, std::string>> plugin;
    for (const auto& event : sent) {
        if (event.second == payload) {
            plugin.push_back(event);
        }
    }
    ASSERT_EQ(plugin.size(), 2u);
    EXPECT_EQ(plugin[0].first, "OnJsonApiEvent_zun-clubs_v1_clubs");
    EXPECT_EQ(plugin[1].first, "OnJsonApiEvent");
}

TEST_F(ResourceEvents, AnExactObserverGetsTheCurrentValueAsCreateThenEveryLaterEvent) {
    auto login = plugins.Add("/zun-login");
    login->SetResource(kSession, OwnedHostValue::Json(R"({"state":"IN_PROGRESS"})"));

    Command(R"({"action":"observe","uri":"/zun-login/v1/session"})");
    EXPECT_EQ(TakeObserved(),
              std::vector<std::string>{R"({"data":{"state":"IN_PROGRESS"},"eventType":0,)"
                                       R"("uri":"/zun-login/v1/session"})"});
    EXPECT_EQ(login->RequestCount(HOST_METHOD_GET, kSession), 1u);

    login->Publish(ResourceEventType::Update, kSession,
                   OwnedHostValue::Json(R"({"state":"SUCCEEDED"})"));
    // Same host event name, other URI: not for this observer.
    login->Publish(ResourceEventType::Update, "/zun-login/v1/session/extra",
                   OwnedHostValue::Json("1"));
    login->Publish(ResourceEventType::Delete, kSession, OwnedHostValue::Null());
    EXPECT_EQ(TakeObserved(),
              (std::vector<std::string>{
                  R"({"data":{"state":"SUCCEEDED"},"eventType":1,"uri":"/zun-login/v1/session"})",
                  R"({"data":null,"eventType":2,"uri":"/zun-login/v1/session"})"}));
}

TEST_F(ResourceEvents, AFailedFirstReadDeliversNothingButTheObserverStays) {
    auto login = plugins.Add("/zun-login");
    Command(R"({"action":"observe","uri":"/zun-login/v1/session"})");
    EXPECT_TRUE(TakeObserved().empty());
    login->Publish(ResourceEventType::Create, kSession, OwnedHostValue::Json("{}"));
    EXPECT_EQ(TakeObserved().size(), 1u);
}

TEST_F(ResourceEvents, AWildcardMatchesOnePieceAndIsNotReadAtOnce) {
    auto clubs = plugins.Add("/zun-clubs");
    Command(R"({"action":"observe","uri":"/zun-clubs/v1/clubs/*"})");
    EXPECT_TRUE(clubs->ReceivedRequests().empty());

    clubs->Publish(ResourceEventType::Update, "/zun-clubs/v1/clubs/abc", OwnedHostValue::Signed(1));
    clubs->Publish(ResourceEventType::Update, "/zun-clubs/v1/clubs/abc/members",
                   OwnedHostValue::Signed(2));
    clubs->Publish(ResourceEventType::Update, "/zun-clubs/v1/other/abc", OwnedHostValue::Signed(3));
    EXPECT_EQ(TakeObserved(), std::vector<std::string>{
                                  R"({"data":1,"eventType":1,"uri":"/zun-clubs/v1/clubs/abc"})"});
}

TEST_F(ResourceEvents, TheHostSubscriptionLastsUntilTheLastUnsubscribe) {
    const std::string name = "OnJsonApiEvent_zun-chat_v1_blocked";
    auto active = [&] {
        int count = 0;
        for (const RecordedSubscription& s : host->Host().ActiveSubscriptions()) {
            count += s.name == name ? 1 : 0;
        }
        return count;
    };
    Command(R"({"action":"subscribe","uri":"/zun-chat/v1/blocked/a"})");
    Command(R"({"action":"subscribe","uri":"/zun-chat/v1/blocked/b"})");
    Command(R"({"action":"unsubscribe","uri":"/zun-chat/v1/blocked/a"})");
    EXPECT_EQ(active(), 1);
    EXPECT_TRUE(host->Host().Unsubscriptions().empty());
    Command(R"({"action":"unsubscribe","uri":"/zun-chat/v1/blocked/b"})");
    EXPECT_EQ(active(), 0);
    const std::vector<RecordedUnsubscription> expected{{name, host->Host().ClientWord()}};
    EXPECT_EQ(host->Host().Unsubscriptions(), expected);
    // A surplus unsubscribe is ignored.
    Command(R"({"action":"unsubscribe","uri":"/zun-chat/v1/blocked/b"})");
    EXPECT_EQ(host->Host().Unsubscriptions().size(), 1u);
}

TEST_F(ResourceEvents, ATypedObserverGetsDeletesWithDefaultDataAndSkipsUnconvertibleUpdates) {
    auto manager = plugins.Add("/zun-plugin-manager");
    const std::string uri = "/zun-plugin-manager/v1/state";
    Command(R"({"action":"observeTyped","uri":"/zun-plugin-manager/v1/state"})");

    manager->Publish(ResourceEventType::Update, uri, OwnedHostValue::String("garbage"));
    manager->Publish(ResourceEventType::Update, uri,
                     OwnedHostValue::Json(R"({"state":"PluginsInitialized"})"));
    manager->Publish(ResourceEventType::Delete, uri, OwnedHostValue::String("garbage"));
    EXPECT_EQ(TakeObserved(),
              (std::vector<std::string>{
                  R"({"data":1,"eventType":1,"uri":"/zun-plugin-manager/v1/state"})",
                  R"({"data":0,"eventType":2,"uri":"/zun-plugin-manager/v1/state"})"}));
}

class StreamedAnswers : public HostEventsFixture {
  protected:
    std::string CallStream(std::shared_ptr<ScriptedStream> stream) {
        auto target = plugins.Add("/zun-target");
        target->On(HOST_METHOD_GET, "/zun-target/v1/s",
                   [stream](const SimulatedRequest&) { return SimulatedAnswer::Stream(stream); });
        std::string result = Result(R"({"action":"call","method":2,"uri":"/zun-target/v1/s"})");
        EXPECT_TRUE(stream->Released());
        for (uint32_t size : stream->BufferSizes()) {
            EXPECT_EQ(size, 4096u);
        }
        return result;
    }
    int Yields() const {
        int waits = 0;
        for (const RecordedWait& wait : host->Host().Waits()) {
            EXPECT_EQ(wait.label, "Wait: yield");
            EXPECT_EQ(wait.flags, 0u);
            ++waits;
        }
        EXPECT_EQ(host->Host().YieldCount(), waits);
        EXPECT_EQ(host->Host().EndWaitCount(), waits);
        return waits;
    }
};

TEST_F(StreamedAnswers, AShortReadWithMoreToComeIsFollowedByExactlyOneYield) {
    auto stream = std::make_shared<ScriptedStream>(
        std::vector<ScriptedStream::Step>{{"[1,", true, false}, {"2]", false, false}});
    EXPECT_EQ(CallStream(stream),
              R"({"action":"call","failed":false,"message":"","status":0,"value":[1,2]})");
    EXPECT_EQ(stream->ReadCalls(), 2u);
    EXPECT_EQ(Yields(), 1);
}

TEST_F(StreamedAnswers, FullChunksAreReadOnWithoutYielding) {
    const std::string text = "\"" + std::string(4094, 'a') + "\"";  // exactly one chunk
    auto stream = std::make_shared<ScriptedStream>(
        std::vector<ScriptedStream::Step>{{text, true, false}, {"", false, false}});
    const std::string result = CallStream(stream);
    EXPECT_NE(result.find(std::string(4094, 'a')), std::string::npos);
    EXPECT_EQ(stream->ReadCalls(), 2u);
    EXPECT_EQ(Yields(), 0);
}

TEST_F(StreamedAnswers, AHugeAnnouncedSizeIsNotReservedUpFront) {
    auto stream = std::make_shared<ScriptedStream>(
        std::vector<ScriptedStream::Step>{{"[true]", false, false}}, uint64_t{1} << 46);
    EXPECT_EQ(CallStream(stream),
              R"({"action":"call","failed":false,"message":"","status":0,"value":[true]})");
}

TEST_F(StreamedAnswers, AFailingReadFailsTheCallWithStatusZero) {
    auto stream = std::make_shared<ScriptedStream>(
        std::vector<ScriptedStream::Step>{{"[1", true, false}, {"", true, true}});
    EXPECT_EQ(CallStream(stream),
              R"({"action":"call","failed":true,"message":"Error reading streamed response for )"
              R"(GET /zun-target/v1/s: Stream read error","status":0,"value":null})");
}

TEST_F(StreamedAnswers, TextThatIsNotJsonFailsTheCall) {
    auto stream = ScriptedStream::OfText("{\"a\":");
    const std::string result = CallStream(stream);
    EXPECT_NE(result.find(R"("failed":true,"message":"Error reading streamed response for GET )"
                          R"(/zun-target/v1/s: Error:)"),
              std::string::npos)
        << result;
}

TEST_F(RemoteCalls, AnErrorAnswerFailsWithItsStatusAndText) {
    auto target = plugins.Add("/zun-target");
    target->On(HOST_METHOD_GET, "/zun-target/v1/x",
               [](const SimulatedRequest&) { return SimulatedAnswer::Error(404, "Not here"); });
    EXPECT_EQ(Result(R"({"action":"call","method":2,"uri":"/zun-target/v1/x"})"),
              R"({"action":"call","failed":true,"message":"Error response for GET )"
              R"(/zun-target/v1/x: Not here","status":404,"value":null})");
    EXPECT_EQ(Result(R"({"action":"callVoid","method":1,"uri":"/zun-target/v1/x"})"),
              R"({"action":"callVoid","failed":true,"message":"Error response for DELETE )"
              R"(/zun-target/v1/x: No handler for 1 /zun-target/v1/x","status":404})");
}

TEST_F(RemoteCalls, AnErrorFlagWithoutTextIsStillAFailure) {
    auto target = plugins.Add("/zun-target");
    target->On(HOST_METHOD_GET, "/zun-target/v1/x",
               [](const SimulatedRequest&) { return SimulatedAnswer::ErrorWithoutText(503); });
    EXPECT_EQ(Result(R"({"action":"callVoid","method":2,"uri":"/zun-target/v1/x"})"),
              R"({"action":"callVoid","failed":true,"message":"Error response for GET )"
              R"(/zun-target/v1/x: ","status":503})");
}

TEST_F(RemoteCalls, AnAnswerThatDoesNotConvertFailsWithStatusZero) {
    auto target = plugins.Add("/zun-target");
    target->On(HOST_METHOD_GET, "/zun-target/v1/text",
               [](const SimulatedRequest&) { return SimulatedAnswer::Json("\"nope\"", 200); });
    target->On(HOST_METHOD_GET, "/zun-target/v1/odd", [](const SimulatedRequest&) {
        HostValue odd{};
        odd.kind = 42;
        return SimulatedAnswer::Value(OwnedHostValue::Adopt(odd), 200);
    });
    EXPECT_EQ(Result(R"({"action":"callTyped","method":2,"uri":"/zun-target/v1/text"})"),
              R"({"action":"callTyped","failed":true,"message":"Error converting response for )"
              R"(GET /zun-target/v1/text: Couldn't assign value to '<result>' of type )"
              R"(PluginManagerResource because the input not a structure.","state":0,"status":0})");
    EXPECT_EQ(Result(R"({"action":"call","method":2,"uri":"/zun-target/v1/odd"})"),
              R"({"action":"call","failed":true,"message":"Error converting response for GET )"
              R"(/zun-target/v1/odd: Couldn't assign value to '<result>' of type object because )"
              R"(the input is of an incompatible type ''.","status":0,"value":null})");
}

TEST_F(RemoteCalls, AValueTravelsAsOneUnnamedArgumentWithTheClientWordAsCallToken) {
    auto target = plugins.Add("/zun-target");
    target->On(HOST_METHOD_POST, "/zun-target/v1/echo", [](const SimulatedRequest& request) {
        return SimulatedAnswer::Json(request.FirstArgumentJson(), 201);
    });
    EXPECT_EQ(Result(R"({"action":"call","method":6,"uri":"/zun-target/v1/echo?x=1",)"
                     R"("value":{"ids":[3,4]}})"),
              R"({"action":"call","failed":false,"message":"","status":0,)"
              R"("value":{"ids":[3,4]}})");
    const std::vector<SimulatedRequest> requests = target->ReceivedRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, static_cast<uint32_t>(HOST_METHOD_POST));
    EXPECT_EQ(requests[0].uri, "/zun-target/v1/echo?x=1");
    ASSERT_EQ(requests[0].arguments.size(), 1u);
    EXPECT_FALSE(requests[0].arguments[0].name.has_value());
    EXPECT_EQ(requests[0].callToken, host->Host().ClientWord());
}

TEST_F(ServiceProxyEvents, TheThreeEventsAreSubscribedWithKindOneAtInit) {
    std::vector<std::string> names;
    for (const RecordedSubscription& s : host->Host().ActiveSubscriptions()) {
        if (s.kind == HOST_EVENT_KIND_SERVICE_PROXY) {
            names.push_back(s.name);
        }
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent",
                                        "OnServiceProxyAsyncEvent"}));
}

OwnedHostValue ProxyAnswer(const std::string& uuid) {
    return OwnedHostValue::Json(R"({"uuid":")" + uuid +
                                R"(","serviceName":"s","methodName":"m","payload":"{}",)"
                                R"("status":"200","error":""})");
}

TEST_F(ServiceProxyEvents, AnAsyncAnswerWithoutHandlerLogsItsKey) {
    host->Host().DeliverEvent("OnServiceProxyAsyncEvent", ProxyAnswer("u1").Get());
    bool logged = false;
    for (const RecordedLogLine& line : host->Host().LogLines()) {
        if (line.line.find("Could not find registered handler for async service proxy event s.m") !=
            std::string::npos) {
            EXPECT_EQ(line.level, 2);
            logged = true;
        }
    }
    EXPECT_TRUE(logged);
}

TEST_F(ServiceProxyEvents, AnswersAreQueuedByUuidAndByMethod) {
    host->Host().DeliverEvent("OnServiceProxyUuidEvent", ProxyAnswer("u1").Get());
    host->Host().DeliverEvent("OnServiceProxyUuidEvent", ProxyAnswer("u1").Get());
    host->Host().DeliverEvent("OnServiceProxyMethodEvent", ProxyAnswer("u2").Get());
    EXPECT_EQ(Result(R"({"action":"queued","key":"u1"})"),
              R"({"action":"queued","count":2,"failed":false,"message":"","status":0})");
    EXPECT_EQ(Result(R"({"action":"queued","key":"s.m"})"),
              R"({"action":"queued","count":1,"failed":false,"message":"","status":0})");
}

TEST_F(ServiceProxyEvents, APendingRequestTakesTheOldestAnswerOfItsKeyAndItsQueue) {
    host->Host().DeliverEvent("OnServiceProxyUuidEvent", ProxyAnswer("u1").Get());
    OwnedHostValue second = OwnedHostValue::Json(
        R"({"uuid":"u1","serviceName":"s","methodName":"m","payload":"second"})");
    host->Host().DeliverEvent("OnServiceProxyUuidEvent", second.Get());
    EXPECT_EQ(Result(R"({"action":"await","key":"u1"})"),
              R"({"action":"fulfilled","failed":false,"message":"{}","status":0,"uuid":"u1"})");
    EXPECT_EQ(Result(R"({"action":"queued","key":"u1"})"),
              R"({"action":"queued","count":0,"failed":false,"message":"","status":0})");
    const std::vector<RecordedLogLine> lines = host->Host().LogLines();
    int fulfilled = 0;
    for (const RecordedLogLine& line : lines) {
        if (line.line.find("Fulfilled service proxy request: u1") != std::string::npos) {
            EXPECT_EQ(line.level, 3);
            ++fulfilled;
        }
    }
    EXPECT_EQ(fulfilled, 1);

    // A request that waits first is served by the next answer of its key.
    EXPECT_TRUE(Command(R"({"action":"await","key":"s.m"})").empty());
    std::vector<std::string> results;
    bus.Listen(kResultsEvent, [&](std::string_view, const HostValue& payload) {
        results.push_back(EventData(payload));
    });
    host->Host().DeliverEvent("OnServiceProxyMethodEvent", ProxyAnswer("u9").Get());
    EXPECT_EQ(results, std::vector<std::string>{R"({"action":"fulfilled","failed":false,)"
                                                R"("message":"{}","status":0,"uuid":"u9"})"});
}

std::vector<OwnedHostValue> PayloadsThatDoNotConvert() {
    std::vector<OwnedHostValue> payloads;
    payloads.push_back(OwnedHostValue::Null());
    payloads.push_back(OwnedHostValue::Bool(true));
    payloads.push_back(OwnedHostValue::Signed(-5));
    payloads.push_back(OwnedHostValue::Unsigned(7));
    payloads.push_back(OwnedHostValue::Float(1.5));
    payloads.push_back(OwnedHostValue::String("text"));
    payloads.push_back(OwnedHostValue::Blob({1, 2, 3}));
    payloads.push_back(OwnedHostValue::Json("[1,2]"));
    payloads.push_back(OwnedHostValue::Json(R"({"uri":5,"eventType":"Nope","uuid":[1]})"));
    payloads.push_back(
        OwnedHostValue::Json(R"({"uri":"/zun-login/v1/session","eventType":9,"uuid":[1]})"));
    HostValue odd{};
    odd.kind = 77;
    payloads.push_back(OwnedHostValue::Adopt(odd));
    HostValue borrowed{};
    borrowed.kind = HOST_VALUE_KIND_BORROWED_STRING;  // a borrowed text without text
    payloads.push_back(OwnedHostValue::Adopt(borrowed));
    return payloads;
}

TEST_F(BadInput, UnknownNamesAndUnconvertiblePayloadsAreDropped) {
    plugins.Add("/zun-login");
    Command(R"({"action":"observe","uri":"/zun-login/v1/session"})");
    const char* names[] = {"OnJsonApiEvent_zun-login_v1_session", "OnServiceProxyUuidEvent",
                           "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"};
    for (const OwnedHostValue& payload : PayloadsThatDoNotConvert()) {
        EXPECT_EQ(host->Host().DeliverEvent("OnNothingAnyoneWants", payload.Get()), 0);
        for (const char* name : names) {
            host->Host().DeliverEvent(name, payload.Get());
        }
    }
    EXPECT_TRUE(TakeObserved().empty());
    EXPECT_EQ(Result(R"({"action":"queued","key":""})"),
              R"({"action":"queued","count":0,"failed":false,"message":"","status":0})");
}

}  // namespace
}  // namespace Kolm::Host
