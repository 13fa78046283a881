// Requests dispatched in-process through the ApiDescription's handler, as a host calls them.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "api/api_registry.h"
#include "host/boundary/owned_host_value.h"
#include "tests/api/endpoint_caller.h"
#include "tests/api/test_endpoints.h"

namespace Kolm::ApiTest {
namespace {

class DispatchTest : public ::testing::Test {
  protected:
    DispatchTest() {
        api_.Types().RegisterBuiltins();
        RegisterTestApi(api_, &handlers_);
        caller_ = std::make_unique<EndpointCaller>(api_.BuildDescription());
    }

    Answer Get(const std::string& function, const std::string& uri) {
        Call call;
        call.uri = uri;
        return caller_->Invoke(function, call);
    }

    // The search endpoint's query rides on its placeholder, which captures it along.
    Answer Search(const std::string& query) {
        return Get("GetTestV1SearchByScope", "/test/v1/search/s?" + query);
    }
    static std::string Reply(const std::string& filter,
                             const std::string& flag,
                             const std::string& ids,
                             const std::string& limit,
                             const std::string& text,
                             const std::string& scope) {
        // `scope` is written as it stands inside the JSON text.
        return R"({"filter":)" + filter + R"(,"flag":)" + flag + R"(,"ids":)" + ids +
               R"(,"limit":)" + limit + R"(,"scope":")" + scope + R"(","text":)" + text + "}";
    }

    Answer Patch(const std::string& contentType, const std::string& body) {
        Call call;
        call.method = HOST_METHOD_PATCH;
        call.uri = "/test/v1/items/a/name";
        call.contentType = contentType;
        call.body = body;
        call.hasBody = true;
        return caller_->Invoke("PatchTestV1ItemsByIdName", call);
    }

    static void ExpectFailure(const Answer& answer, const std::string& text, uint32_t status = 0) {
        EXPECT_TRUE(answer.hasError);
        EXPECT_EQ(answer.errorText, text);
        EXPECT_EQ(answer.status, status);
        EXPECT_EQ(answer.valueJson, "null");
    }

    TestHandlers handlers_;
    ApiRegistry api_;
    std::unique_ptr<EndpointCaller> caller_;
};

TEST_F(DispatchTest, BindsPathArgumentAndAnswersWithTheStructure) {
    Answer answer = Get("GetTestV1ItemsById", "/test/v1/items/abc");
    EXPECT_FALSE(answer.hasError);
    EXPECT_EQ(answer.status, 0u);
    EXPECT_EQ(answer.valueJson, R"({"count":3,"id":"abc"})");
    EXPECT_TRUE(answer.zeroedAfterRelease);
    EXPECT_EQ(Get("GetTestV1ItemsById", "/test/v1/items/a%2Fb+c").valueJson,
              R"({"count":5,"id":"a/b c"})");
}

TEST_F(DispatchTest, WrongMethodPathOrRecordIsAnInvalidFunction) {
    Call post;
    post.method = HOST_METHOD_POST;
    post.uri = "/test/v1/items/abc";
    ExpectFailure(caller_->Invoke("GetTestV1ItemsById", post), "Invalid function", 404);
    ExpectFailure(Get("GetTestV1ItemsById", "/test/v1/items/abc/more"), "Invalid function", 404);
    ExpectFailure(Get("NoSuchFunction", "/test/v1/items/abc"), "Invalid function", 404);
    HostRequest request{};
    int stray = 0;
    request.dispatchRecord = &stray;
    request.uri = "/test/v1/items/abc";
    ExpectFailure(EndpointCaller::InvokeRaw(caller_->Find("GetTestV1ItemsById"), request),
                  "Invalid function", 404);
    EXPECT_EQ(handlers_.calls, 0u);
}

TEST_F(DispatchTest, QueryFlagsDefaultToFalseAndBareKeysAreTrue) {
    const std::string base = "ids&filter&text=t&limit=1";
    EXPECT_EQ(Search(base).valueJson,
              Reply(R"({"limit":0,"name":""})", "false", "[]", "1", R"("t")", "s?" + base));
    EXPECT_EQ(Search(base + "&flag").valueJson, Reply(R"({"limit":0,"name":""})", "true", "[]", "1",
                                                      R"("t")", "s?" + base + "&flag"));
}

TEST_F(DispatchTest, QueryPathsFillVectorsAndStructures) {
    const std::string query = "ids.0=5&ids.1=0x10&filter.name=n&filter.limit=-2&limit=3&text=t";
    EXPECT_EQ(Search(query).valueJson,
              Reply(R"({"limit":-2,"name":"n"})", "false", "[5,16]", "3", R"("t")", "s?" + query));
    const std::string sparse = "ids.2=9&filter&limit=1&text=t";
    EXPECT_EQ(Search(sparse).valueJson,
              Reply(R"({"limit":0,"name":""})", "false", "[0,0,9]", "1", R"("t")", "s?" + sparse));
}

TEST_F(DispatchTest, StructuredQueryValuesAreSniffedButTextsStayTexts) {
    const std::string query =
        "filter=%7B%22name%22%3A%22x%22%7D&text=%7B%22a%22%3A1%7D&ids&limit=1";
    EXPECT_EQ(Search(query).valueJson,
              Reply(R"({"limit":0,"name":"x"})", "false", "[]", "1", R"("{\"a\":1}")",
                    R"(s?filter={\"name\":\"x\"}&text={\"a\":1}&ids&limit=1)"));
    const std::string yaml = "ids=---%0A- 4%0A- 5&filter&text=t&limit=1";
    EXPECT_EQ(Search(yaml).valueJson,
              Reply(R"({"limit":0,"name":""})", "false", "[4,5]", "1", R"("t")",
                    R"(s?ids=---\n- 4\n- 5&filter&text=t&limit=1)"));
}

TEST_F(DispatchTest, BadIndicesFailWithTheirSegment) {
    ExpectFailure(Search("ids.1x=5"), "Index 1x is in an incorrect format");
    ExpectFailure(Search("ids.2147483648=5"), "Index 2147483648 is out of range");
    ExpectFailure(Search("ids.99999999999999999999999=5"),
                  "Index 99999999999999999999999 is out of range");
    ExpectFailure(Search("ids.1000000=5"), "Index 1000000 is out of range");
    // Indices share one budget of new elements per call, so no query can grow without bound.
    ExpectFailure(Search("filter.x.40000=1&ids.40000=5"), "Index 40000 is out of range");
    ExpectFailure(Search("ids.x1=5&limit=1"),
                  "Couldn't assign value to 'ids' of type vector because the input not a "
                  "collection.");
}

TEST_F(DispatchTest, BadQueryValuesFailWithTheirMessages) {
    ExpectFailure(Search("limit"), "Expected value for argument 'limit'.");
    ExpectFailure(Search("ids&filter&text=t&limit=abc"),
                  "Value abc for 'limit' of type uint64 is in an incorrect format");
    ExpectFailure(Search("nope=1"), "Unknown argument 'nope' for 'GetTestV1SearchByScope'.");
    ExpectFailure(
        Search("filter=%7Bbad&limit=1"),
        "Couldn't deserialize JSON value for parameter 'filter' of 'GetTestV1SearchByScope': "
        "Error: Missing a name for object member. at offset 1.");
    ExpectFailure(Search(""),
                  "Couldn't assign value to 'ids' of type vector because the input not a "
                  "collection.");
    ExpectFailure(Search("ids&filter&text=t"), "A value for 'limit' is required.");
    // Malformed escapes stay as they are ("%zz1" fails as a number), a short one is dropped.
    ExpectFailure(Search("ids&filter&text=t&limit=%zz1"),
                  "Value %zz1 for 'limit' of type uint64 is in an incorrect format");
    const std::string query = "ids&filter&text=t&&limit=%zz1&limit=%4";
    EXPECT_EQ(Search(query).valueJson, Reply(R"({"limit":0,"name":""})", "false", "[]", "4",
                                             R"("t")", "s?ids&filter&text=t&&limit=%zz1&limit=4"));
}

TEST_F(DispatchTest, ArgumentsOutsideTheirLocationAreRefused) {
    ExpectFailure(Get("GetTestV1ItemsById", "/test/v1/items/abc?id=x"),
                  "Argument 'id' for 'GetTestV1ItemsById' was specified in an invalid location.");
    ExpectFailure(Get("GetTestV1ItemsById", "/test/v1/items/?id=x"),
                  "Argument 'id' for 'GetTestV1ItemsById' was specified in an invalid location.");
}

TEST_F(DispatchTest, TrailingPlaceholderTakesTheQueryAlong) {
    // The query is read separately too, and "x" names no argument of this endpoint.
    Call call;
    call.method = HOST_METHOD_OTHER;
    call.methodName = "PURGE";
    call.uri = "/test/v1/everything/a/b";
    Answer answer = caller_->Invoke("PurgeTestV1EverythingByRest", call);
    EXPECT_EQ(answer.valueJson, R"("a/b")");
    EXPECT_EQ(answer.status, 204u);
    EXPECT_TRUE(answer.headerArrayNull);
    EXPECT_TRUE(answer.statusTextShared);
    call.methodName = "LINK";
    ExpectFailure(caller_->Invoke("PurgeTestV1EverythingByRest", call), "Invalid function", 404);
}

TEST_F(DispatchTest, HeadersBindByLowerCaseName) {
    Call call;
    call.uri = "/test/v1/header";
    call.headers = {{"X-TOKEN", "first"}, {"x-token", "second"}, {"other", "o"}};
    Answer answer = caller_->Invoke("GetTestV1Header", call);
    EXPECT_FALSE(answer.hasError);
    EXPECT_EQ(answer.valueJson, R"("second")");
    call.headers = {};
    ExpectFailure(caller_->Invoke("GetTestV1Header", call), "A value for 'X-Token' is required.");
}

TEST_F(DispatchTest, BodiesAreDecodedByContentType) {
    EXPECT_EQ(Patch("Application/JSON; charset=utf-8", R"({"name":"n"})").valueJson,
              R"({"count":1,"id":"a:n"})");
    EXPECT_EQ(Patch("application/vnd.api+json", R"({"name":"v"})").valueJson,
              R"({"count":1,"id":"a:v"})");
    Answer yaml = Patch("application/x-yaml", "name: why\n");
    EXPECT_EQ(yaml.valueJson, R"({"count":1,"id":"a:why"})") << yaml.errorText;
    EXPECT_EQ(Patch("application/x-msgpack", "\x81\xA4name\xA1m").valueJson,
              R"({"count":1,"id":"a:m"})");
}

TEST_F(DispatchTest, BodiesThatDoNotDecodeFail) {
    ExpectFailure(Patch("text/plain", "name"), "Unsupported body content type");
    ExpectFailure(Patch("application/x-msgpack", std::string("\x81\xA4name\xA1m\x00", 9)),
                  "Extra MessgePack data found in body");
    ExpectFailure(Patch("application/x-msgpack", "\x81\xA4na"),
                  "Invalid MessagePack data. String of size 4 at position 2 is truncated.");
    ExpectFailure(Patch("application/x-msgpack", "\xC1"),
                  "Invalid MessagePack data at position 1.");
    ExpectFailure(Patch("application/json", "{"),
                  "Error: Missing a name for object member. at offset 1.");
    ExpectFailure(Patch("application/x-yaml", "a: [1"),
                  "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0");
    ExpectFailure(Patch("application/json", "[1]"),
                  "Couldn't assign value to 'body' of type ApiTestNameBody because the input not "
                  "a structure.");
    ExpectFailure(Patch("application/json", ""), "A value for 'body' is required.");
    EXPECT_EQ(handlers_.calls, 0u);
}

TEST_F(DispatchTest, NullBodyPointerMeansNoBody) {
    Call call;
    call.method = HOST_METHOD_PATCH;
    call.uri = "/test/v1/items/a/name";
    call.contentType = "application/json";
    call.nullBodyWithLength = true;
    ExpectFailure(caller_->Invoke("PatchTestV1ItemsByIdName", call),
                  "A value for 'body' is required.");
}

TEST_F(DispatchTest, ExplicitArgumentsBindByNameOrByPositionAfterThePath) {
    Host::OwnedHostValue number = Host::OwnedHostValue::Signed(-7);
    Host::OwnedHostValue any = Host::OwnedHostValue::Json(R"({"k":[true,1.5,"s"]})");
    Call call;
    call.method = HOST_METHOD_POST;
    call.uri = "/test/v1/explicit/e";
    call.arguments = {{nullptr, number.Get()}, {"any", any.Get()}};
    Answer answer = caller_->Invoke("PostTestV1ExplicitById", call);
    EXPECT_EQ(answer.valueJson, R"({"any":{"k":[true,1.5,"s"]},"id":"e","number":-7})");

    call.arguments = {{"nope", number.Get()}};
    ExpectFailure(caller_->Invoke("PostTestV1ExplicitById", call),
                  "Unknown argument 'nope' for 'PostTestV1ExplicitById'.");
    call.arguments = {{nullptr, number.Get()}, {nullptr, number.Get()}, {nullptr, number.Get()}};
    ExpectFailure(caller_->Invoke("PostTestV1ExplicitById", call),
                  "Unknown argument '3' for 'PostTestV1ExplicitById'.");
}

TEST_F(DispatchTest, ExplicitArgumentsOfEveryHostValueKind) {
    const char text[] = "t";
    const uint8_t bytes[] = {1, 2};
    std::vector<HostValue> kinds(12);
    kinds[1].kind = HOST_VALUE_KIND_BOOL;
    kinds[1].payload.boolean = 1;
    kinds[2].kind = HOST_VALUE_KIND_SIGNED;
    kinds[2].payload.signedNumber = -3;
    kinds[3].kind = HOST_VALUE_KIND_UNSIGNED;
    kinds[3].payload.unsignedNumber = 3;
    kinds[4].kind = HOST_VALUE_KIND_FLOAT;
    kinds[4].payload.floatNumber = 2.5;
    kinds[5].kind = HOST_VALUE_KIND_BORROWED_STRING;
    kinds[5].payload.string.text = text;
    kinds[6].kind = HOST_VALUE_KIND_STRING;
    kinds[6].payload.string = {text, 1};
    kinds[7].kind = HOST_VALUE_KIND_BORROWED_BLOB;
    kinds[7].payload.blob = {bytes, 2};
    kinds[8].kind = HOST_VALUE_KIND_BLOB;
    kinds[8].payload.blob = {bytes, 2};
    kinds[9].kind = HOST_VALUE_KIND_COLLECTION;
    kinds[10].kind = HOST_VALUE_KIND_STRUCTURE;
    kinds[11].kind = 11;
    const std::vector<std::string> expected = {
        "null", "true", "-3", "3", "2.5", R"("t")", R"("t")", R"("AQI=")", R"("AQI=")", "[]", "{}"};
    const std::string invalid =
        "Couldn't assign value to 'number' of type int32 because the input is "
        "of an invalid type ";
    const std::vector<std::string> numberErrors = {
        "A value for 'number' is required.",
        invalid + "bool.",
        "",
        "",
        "",
        "Value t for 'number' of type int32 is in an incorrect format",
        "Value t for 'number' of type int32 is in an incorrect format",
        invalid + "blob.",
        invalid + "blob.",
        invalid + "collection.",
        invalid + "structure.",
        "Couldn't assign value to 'number' of type object because the input is of an "
        "incompatible type ''."};
    for (size_t kind = 0; kind < kinds.size(); ++kind) {
        Call call;
        call.method = HOST_METHOD_POST;
        call.uri = "/test/v1/explicit/e";
        call.arguments = {{"number", kinds[2]}, {"any", kinds[kind]}};
        Answer answer = caller_->Invoke("PostTestV1ExplicitById", call);
        if (kind < expected.size()) {
            EXPECT_EQ(answer.valueJson, R"({"any":)" + expected[kind] + R"(,"id":"e","number":-3})")
                << "kind " << kind;
        } else {
            ExpectFailure(answer,
                          "Couldn't assign value to 'any' of type object because the input is "
                          "of an incompatible type ''.");
        }
        call.arguments = {{"number", kinds[kind]}, {"any", kinds[2]}};
        answer = caller_->Invoke("PostTestV1ExplicitById", call);
        EXPECT_EQ(answer.errorText, numberErrors[kind]) << "kind " << kind;
    }
}

TEST_F(DispatchTest, RequestContextCarriesTheCall) {
    Call call;
    call.method = HOST_METHOD_POST;
    call.uri = "/test/v1/context/c";
    call.callToken = 77;
    call.headers = {{"Accept", "json"}};
    Answer answer = caller_->Invoke("PostTestV1ContextById", call);
    EXPECT_FALSE(answer.hasError) << answer.errorText;
    EXPECT_EQ(answer.valueJson,
              R"({"headers":{"Accept":"json"},"id":"c","method":6,"methodName":"",)"
              R"("owned":true,"timed":true,"token":77,"uri":"/test/v1/context/c"})");
    call.uri = "/test/v1/context/c?x";
    ExpectFailure(caller_->Invoke("PostTestV1ContextById", call),
                  "Unknown argument 'x' for 'PostTestV1ContextById'.");
}

TEST_F(DispatchTest, HandlerFailuresKeepTheirStatus) {
    Answer answer = Get("GetTestV1MissingById", "/test/v1/missing/q");
    ExpectFailure(answer, "ITEM_NOT_FOUND: q", 404);
    EXPECT_TRUE(answer.statusTextShared);
}

TEST_F(DispatchTest, ResponsesCarryHeadersStatusTextFormatAndStream) {
    Answer answer = Get("GetTestV1Decorated", "/test/v1/decorated");
    EXPECT_FALSE(answer.hasError);
    EXPECT_EQ(answer.status, 206u);
    EXPECT_EQ(answer.statusText, "Partial");
    EXPECT_EQ(answer.headers,
              (std::vector<std::pair<std::string, std::string>>{{"x-a", "1"}, {"x-b", "2"}}));
    EXPECT_EQ(answer.formatFlag, 1);
    EXPECT_EQ(answer.formatCode, 0u);
    EXPECT_EQ(answer.valueJson, R"("streamed")");
    EXPECT_EQ(answer.streamSize, 11u);
    EXPECT_EQ(answer.streamText, "hello world");
    EXPECT_TRUE(answer.zeroedAfterRelease);
}

TEST_F(DispatchTest, NullResponseOrRequestNeverCrashes) {
    const HostFunctionEntry* entry = caller_->Find("GetTestV1ItemsById");
    entry->handler(nullptr, nullptr);
    HostResponse response;
    entry->handler(&response, nullptr);
    EXPECT_EQ(response.hasError, 1);
    EXPECT_STREQ(response.errorText, "Invalid function");
    response.release(&response);
}

}  // namespace
}  // namespace Kolm::ApiTest

namespace Kolm::ApiTest {
namespace {

// Host threads call handlers at once; each call builds its own values over the shared routes.
TEST(ConcurrentDispatchTest, ParallelCallsGetTheirOwnAnswers) {
    TestHandlers handlers;
    ApiRegistry api;
    api.Types().RegisterBuiltins();
    RegisterTestApi(api, &handlers);
    EndpointCaller caller(api.BuildDescription());
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&caller, &wrong, t] {
            for (int i = 0; i < 200; ++i) {
                std::string id = std::to_string(t) + "x" + std::to_string(i);
                Call call;
                call.method = HOST_METHOD_PATCH;
                call.uri = "/test/v1/items/" + id + "/name";
                call.contentType = "application/json";
                call.body = R"({"name":"n"})";
                call.hasBody = true;
                Answer answer = caller.Invoke("PatchTestV1ItemsByIdName", call);
                if (answer.valueJson != R"({"count":1,"id":")" + id + R"(:n"})") {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace Kolm::ApiTest
