// Registering endpoints: names, stored templates, the builder's argument descriptions and what
// the ApiDescription says about them.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "api/api_registry.h"
#include "api/http_transport.h"
#include "tests/api/endpoint_caller.h"

namespace Kolm {
namespace {

class RegistrationTest : public ::testing::Test {
  protected:
    RegistrationTest() { api_.Types().RegisterBuiltins(); }

    const HostFunctionEntry* Entry(const std::string& name) {
        return ApiTest::EndpointCaller(api_.BuildDescription()).Find(name);
    }

    ApiRegistry api_;
};

TEST_F(RegistrationTest, CallablesTakeTheOutsideRequestFormAsContext) {
    std::function<ApiResponse<std::string>(HttpBaseTransport::Request, int64_t)> handler =
        [](HttpBaseTransport::Request request, int64_t delta) {
            return ApiResponse<std::string>(request.url + " " + std::to_string(request.method) +
                                            " " + std::to_string(delta));
        };
    api_.RegisterEndpoint(HttpMethod::Delete, "/x/{delta}/", handler).PathArgument("delta");
    Endpoint& endpoint = *api_.Endpoints().back();
    EXPECT_EQ(endpoint.functionName, "DeleteXByDelta");
    EXPECT_EQ(endpoint.pathTemplate, "/x/{delta}");
    ASSERT_EQ(endpoint.arguments.size(), 1u);
    EXPECT_TRUE(endpoint.invoker->TakesRequestContext());

    ApiTest::Call call;
    call.method = HOST_METHOD_DELETE;
    call.uri = "/x/-4";
    ApiTest::Answer answer =
        ApiTest::EndpointCaller(api_.BuildDescription()).Invoke("DeleteXByDelta", call);
    EXPECT_EQ(answer.valueJson, R"("/x/-4 1 -4")");
}

TEST_F(RegistrationTest, BuilderDescribesArgumentsInOrderAndIgnoresExtraCalls) {
    std::function<ApiResponse<bool>(std::string, BindingProperty, bool)> handler =
        [](std::string, BindingProperty, bool) { return ApiResponse<bool>(true); };
    BindingTypeId overridden{BindingTypeCode::Vector, BindingTypeCode::String, nullptr};
    EndpointBuilder builder = api_.RegisterEndpoint(HttpMethod::Post, "/y/{key}", handler);
    EXPECT_FALSE(builder.Finished());
    builder.PathArgument("key", "the key").BodyArgument("payload", "", overridden);
    EXPECT_FALSE(builder.Finished());
    builder.Argument("verbose").PathArgument("ignored");
    EXPECT_TRUE(builder.Finished());

    const Endpoint& endpoint = *api_.Endpoints().back();
    ASSERT_EQ(endpoint.arguments.size(), 3u);
    EXPECT_EQ(endpoint.arguments[2].name, "verbose");
    EXPECT_EQ(endpoint.arguments[2].location, ArgumentLocation::Any);

    const HostFunctionEntry* entry = Entry("PostYByKey");
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(+entry->argumentCount, 3u);
    EXPECT_STREQ(entry->arguments[0].description, "the key");
    EXPECT_EQ(+entry->arguments[0].type.code, 12u);
    EXPECT_STREQ(entry->arguments[1].name, "payload");
    EXPECT_EQ(+entry->arguments[1].type.code, 15u);
    EXPECT_EQ(+entry->arguments[1].type.elementCode, 12u);
    EXPECT_STREQ(entry->arguments[1].type.typeName, "");
    EXPECT_EQ(+entry->arguments[2].type.code, 1u);
    EXPECT_EQ(+entry->returns.code, 1u);
    const uint32_t locations[] = {entry->argumentLocations[0].location,
                                  entry->argumentLocations[1].location,
                                  entry->argumentLocations[2].location};
    EXPECT_EQ(locations[0], 2u);
    EXPECT_EQ(locations[1], 5u);
    EXPECT_EQ(locations[2], 0u);
}

TEST_F(RegistrationTest, ParametersWithoutACallKeepTheirPositionalNames) {
    std::function<ApiResponse<int32_t>(int32_t, int32_t)> add = [](int32_t a, int32_t b) {
        return ApiResponse<int32_t>(a + b);
    };
    api_.RegisterEndpoint(HttpMethod::Get, "/sum/{a}", add).PathArgument("a");
    const Endpoint& endpoint = *api_.Endpoints().back();
    EXPECT_EQ(endpoint.arguments[1].name, "arg1");
    HostValue forty{};
    forty.kind = HOST_VALUE_KIND_SIGNED;
    forty.payload.signedNumber = 40;
    ApiTest::Call call;
    call.uri = "/sum/2";
    call.arguments = {{"arg1", forty}};
    ApiTest::EndpointCaller caller(api_.BuildDescription());
    EXPECT_EQ(caller.Invoke("GetSumByA", call).valueJson, "42");
    // An unnamed argument lands after the path arguments.
    call.arguments = {{nullptr, forty}};
    EXPECT_EQ(caller.Invoke("GetSumByA", call).valueJson, "42");
}

TEST_F(RegistrationTest, RepeatedFunctionNamesShareTheFirstHelp) {
    std::function<ApiResponse<int32_t>(std::string)> first = [](std::string) {
        return ApiResponse<int32_t>(1);
    };
    std::function<ApiResponse<int32_t>(std::string)> second = [](std::string) {
        return ApiResponse<int32_t>(2);
    };
    api_.RegisterEndpoint(HttpMethod::Get, "/dup/{a}", first).PathArgument("a", "first");
    api_.RegisterEndpoint(HttpMethod::Get, "/dup/{a}/", second).PathArgument("b", "second");
    EXPECT_NE(api_.Endpoints()[0]->function, nullptr);
    EXPECT_EQ(api_.Endpoints()[1]->function, nullptr);
    const HostApiDescription* description = api_.BuildDescription();
    ASSERT_EQ(+description->functionCount, 2u);
    EXPECT_STREQ(description->functions[1].arguments[0].description, "first");
    EXPECT_NE(+description->functions[0].dispatchRecord, +description->functions[1].dispatchRecord);
    EXPECT_EQ(api_.BuildDescription(), description);
}

}  // namespace
}  // namespace Kolm
