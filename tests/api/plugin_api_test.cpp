// The test plugin loaded as a library of its own and called as a host calls it: through the
// exported entry, the ApiDescription in the load record and the endpoint handler function.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "plugin/host_boundary.h"
#include "tests/api/endpoint_caller.h"

#ifndef ZC_API_TEST_PLUGIN_PATH
#error "the build names the test plugin library"
#endif

namespace Kolm::ApiTest {
namespace {

class LoadedPluginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        library_ = Platform::LoadDynamicLibrary(ZC_API_TEST_PLUGIN_PATH);
        ASSERT_NE(library_, nullptr);
        auto load = reinterpret_cast<LoadZunClubsFunction>(
            Platform::FindDynamicSymbol(library_, "load_api_test_plugin"));
        ASSERT_NE(load, nullptr);
        record_.versionMajor = 18;
        record_.versionMinor = 1;
        load(&record_);
        ASSERT_NE(+record_.instance, nullptr);
        ASSERT_NE(+record_.apiDescription, nullptr);
    }

    void TearDown() override {
        if (record_.callbacks != nullptr && record_.instance != nullptr) {
            record_.callbacks->Shutdown(record_.instance);
        }
        if (library_ != nullptr) {
            Platform::FreeDynamicLibrary(library_);
        }
    }

    const HostTypeEntry* FindType(const std::string& name) const {
        for (const HostTypeEntry* type = record_.apiDescription->types; type; type = type->next) {
            if (name == type->name) {
                return type;
            }
        }
        return nullptr;
    }

    static std::vector<std::string> Tags(const char* const* tags, uint32_t count) {
        return std::vector<std::string>(tags, tags + count);
    }

    Platform::DynamicLibrary library_ = nullptr;
    PluginLoadRecord record_{};
};

TEST_F(LoadedPluginTest, DispatchesThroughTheDescribedHandler) {
    EndpointCaller caller(record_.apiDescription);
    Call get;
    get.uri = "/test/v1/items/abc";
    Answer answer = caller.Invoke("GetTestV1ItemsById", get);
    EXPECT_FALSE(answer.hasError) << answer.errorText;
    EXPECT_EQ(answer.valueJson, R"({"count":3,"id":"abc"})");

    Call patch;
    patch.method = HOST_METHOD_PATCH;
    patch.uri = "/test/v1/items/a/name";
    patch.contentType = "application/json";
    patch.body = R"({"name":"n"})";
    patch.hasBody = true;
    EXPECT_EQ(caller.Invoke("PatchTestV1ItemsByIdName", patch).valueJson,
              R"({"count":1,"id":"a:n"})");
    get.method = HOST_METHOD_POST;
    answer = caller.Invoke("GetTestV1ItemsById", get);
    EXPECT_EQ(answer.errorText, "Invalid function");
    EXPECT_EQ(answer.status, 404u);
}

TEST_F(LoadedPluginTest, FunctionEntriesDescribeEachEndpoint) {
    EndpointCaller caller(record_.apiDescription);
    const HostFunctionEntry* patch = caller.Find("PatchTestV1ItemsByIdName");
    ASSERT_NE(patch, nullptr);
    EXPECT_EQ(+patch->method, static_cast<uint32_t>(HOST_METHOD_PATCH));
    EXPECT_STREQ(patch->pathTemplate, "/test/v1/items/{id}/name");
    ASSERT_EQ(+patch->argumentCount, 2u);
    EXPECT_STREQ(patch->arguments[0].name, "id");
    EXPECT_EQ(+patch->arguments[0].type.code, 12u);
    EXPECT_STREQ(patch->arguments[1].name, "body");
    EXPECT_EQ(+patch->arguments[1].type.code, 17u);
    EXPECT_STREQ(patch->arguments[1].type.typeName, "ApiTestNameBody");
    EXPECT_EQ(+patch->arguments[0].next, &patch->arguments[1]);
    EXPECT_EQ(+patch->argumentLocations[0].location, 2u);
    EXPECT_EQ(+patch->argumentLocations[1].location, 5u);
    EXPECT_EQ(+patch->argumentLocations[0].next, &patch->argumentLocations[1]);
    EXPECT_EQ(+patch->returns.code, 17u);
    EXPECT_STREQ(patch->returns.typeName, "ApiTestItem");
    EXPECT_EQ(Tags(patch->tags, patch->tagCount),
              (std::vector<std::string>{"Plugins", "Plugin api-test"}));
    EXPECT_NE(+patch->dispatchRecord, nullptr);
    EXPECT_STREQ(patch->methodName, "");

    const HostFunctionEntry* purge = caller.Find("PurgeTestV1EverythingByRest");
    ASSERT_NE(purge, nullptr);
    EXPECT_EQ(+purge->method, static_cast<uint32_t>(HOST_METHOD_OTHER));
    EXPECT_STREQ(purge->methodName, "PURGE");
    EXPECT_STREQ(purge->pathTemplate, "/test/v1/everything/{+rest}");
    EXPECT_EQ(+record_.apiDescription->functionCount, 9u);
}

TEST_F(LoadedPluginTest, TypeListHoldsTheBuiltInsAndThePluginRecords) {
    const HostTypeEntry* format = FindType("BindingHelpFormat");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(+format->fields, nullptr);
    ASSERT_EQ(+format->entryCount, 2u);
    EXPECT_STREQ(format->values[0].name, "Epytext");
    EXPECT_EQ(+format->values[0].value, 2);
    EXPECT_STREQ(format->values[1].name, "Full");
    EXPECT_EQ(+format->values[1].value, 1);
    EXPECT_EQ(Tags(format->tags, format->tagCount), (std::vector<std::string>{"$builtin", "help"}));

    const HostTypeEntry* typeHelp = FindType("BindingFullTypeHelp");
    ASSERT_NE(typeHelp, nullptr);
    std::vector<std::string> fields;
    for (const HostFieldEntry* field = typeHelp->fields; field; field = field->next) {
        fields.push_back(field->name);
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"name", "nameSpace", "size", "description", "tags",
                                                "fields", "values"}));

    const HostTypeEntry* state = FindType("BindingAsyncState");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(+state->entryCount, 6u);
    EXPECT_EQ(+state->size, 4u);

    const HostTypeEntry* item = FindType("ApiTestItem");
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(+item->entryCount, 2u);
    EXPECT_STREQ(item->fields[1].name, "count");
    EXPECT_EQ(+item->fields[1].type.code, 7u);
    EXPECT_STREQ(item->description, "An item.");

    bool onCallback = false;
    for (const HostEventEntry* event = record_.apiDescription->events; event; event = event->next) {
        onCallback = onCallback || (std::string(event->name) == "OnCallback" &&
                                    std::string(event->typeName) == "BindingCallbackEvent");
    }
    EXPECT_TRUE(onCallback);
}

}  // namespace
}  // namespace Kolm::ApiTest
