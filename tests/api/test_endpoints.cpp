#include "tests/api/test_endpoints.h"

#include <cstring>

#include "binding/binding_conversion.h"

namespace Kolm::ApiTest {

namespace {

// A two-chunk stream: "hello " then "world".
class GreetingStream final : public ApiResponseStream {
  public:
    bool Read(uint8_t* buffer, uint32_t& count, bool& more) override {
        const char* chunk = chunk_ == 0 ? "hello " : "world";
        uint32_t length = static_cast<uint32_t>(std::strlen(chunk));
        if (count < length) {
            return false;
        }
        std::memcpy(buffer, chunk, length);
        count = length;
        more = ++chunk_ < 2;
        return true;
    }
    uint64_t Size() const override { return 11; }

  private:
    int chunk_ = 0;
};

}  // namespace

ApiResponse<Item> TestHandlers::GetItem(std::string id) {
    ++calls;
    return Item{id, static_cast<uint32_t>(id.size())};
}

ApiResponse<Item> TestHandlers::PatchItemName(std::string id, NameBody body) {
    ++calls;
    // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on a chain of string additions.
    std::string joined = std::move(id);
    joined += ':';
    joined += body.name;
    return Item{std::move(joined), 1};
}

ApiResponse<BindingProperty> TestHandlers::Search(std::string scope,
                                                  bool flag,
                                                  std::vector<int32_t> ids,
                                                  Filter filter,
                                                  std::string text,
                                                  uint64_t limit) {
    ++calls;
    BindingProperty reply;
    reply["scope"] = scope;
    reply["flag"] = flag;
    BindingProperty& list = reply["ids"].MakeCollection();
    for (int32_t id : ids) {
        list.Append() = id;
    }
    reply["filter"]["name"] = filter.name;
    reply["filter"]["limit"] = filter.limit;
    reply["text"] = text;
    reply["limit"] = limit;
    return reply;
}

ApiResponse<std::string> TestHandlers::Header(std::string token) {
    ++calls;
    return token;
}

ApiResponse<BindingProperty> TestHandlers::Context(const RemotingRequest& context, std::string id) {
    ++calls;
    BindingProperty reply;
    reply["id"] = id;
    reply["token"] = context.callToken;
    reply["uri"] = context.uri;
    reply["method"] = context.methodCode;
    reply["methodName"] = context.methodName;
    reply["timed"] = context.receiveTime > 0;
    reply["owned"] = context.owner != 0;
    for (const auto& [name, value] : context.headers) {
        reply["headers"][name] = value;
    }
    return reply;
}

ApiResponse<BindingProperty> TestHandlers::Explicit(std::string id,
                                                    int32_t number,
                                                    BindingProperty any) {
    ++calls;
    BindingProperty reply;
    reply["id"] = id;
    reply["number"] = number;
    reply["any"] = any;
    return reply;
}

ApiResponse<Item> TestHandlers::Missing(std::string id) const {
    std::string text = "ITEM_NOT_FOUND: ";
    text += id;
    return ApiResponse<Item>::Failure(404, text);
}

ApiResponse<BindingProperty> TestHandlers::Decorated() {
    ++calls;
    ApiResponse<BindingProperty> reply(BindingProperty("streamed"), 206);
    reply.statusText = "Partial";
    reply.headers = {{"x-b", "2"}, {"x-a", "1"}};
    reply.formatFlag = 1;
    reply.formatCode = 7;
    reply.stream = std::make_shared<GreetingStream>();
    return reply;
}

ApiResponse<BindingProperty> TestHandlers::Everything(std::string rest) {
    ++calls;
    return ApiResponse<BindingProperty>(BindingProperty(rest), 204);
}

void RegisterTestApi(ApiRegistry& api, TestHandlers* handlers) {
    BindingTypeRegistry& types = api.Types();
    types.RegisterStruct<Item>("ApiTestItem", "An item.")
        .AddField("id", &Item::id)
        .AddField("count", &Item::count);
    types.RegisterStruct<Filter>("ApiTestFilter")
        .AddField("name", &Filter::name)
        .AddField("limit", &Filter::limit);
    types.RegisterStruct<NameBody>("ApiTestNameBody").AddField("name", &NameBody::name);

    api.RegisterEndpoint(HttpMethod::Get, "/test/v1/items/{id}", handlers, &TestHandlers::GetItem)
        .PathArgument("id");
    api.RegisterEndpoint(HttpMethod::Patch, "/test/v1/items/{id}/name", handlers,
                         &TestHandlers::PatchItemName)
        .PathArgument("id")
        .BodyArgument("body");
    // A literal path never matches a URI with a query, so the query rides on the placeholder.
    api.RegisterEndpoint(HttpMethod::Get, "/test/v1/search/{scope}", handlers,
                         &TestHandlers::Search)
        .PathArgument("scope")
        .Argument("flag")
        .Argument("ids")
        .Argument("filter")
        .Argument("text")
        .Argument("limit");
    api.RegisterEndpoint(HttpMethod::Get, "/test/v1/header", handlers, &TestHandlers::Header)
        .Argument("X-Token");
    api.RegisterEndpoint(HttpMethod::Post, "/test/v1/context/{id}", handlers,
                         &TestHandlers::Context)
        .PathArgument("id");
    api.RegisterEndpoint(HttpMethod::Post, "/test/v1/explicit/{id}", handlers,
                         &TestHandlers::Explicit)
        .PathArgument("id")
        .Argument("number")
        .Argument("any");
    api.RegisterEndpoint(HttpMethod::Get, "/test/v1/missing/{id}", handlers, &TestHandlers::Missing)
        .PathArgument("id");
    api.RegisterEndpoint(HttpMethod::Get, "/test/v1/decorated", handlers, &TestHandlers::Decorated);
    api.RegisterEndpoint(EndpointMethod("PURGE"), "/test/v1/everything/{+rest}/", handlers,
                         &TestHandlers::Everything)
        .PathArgument("rest");
}

}  // namespace Kolm::ApiTest
