// The endpoints of the API tests: one of every argument kind (path, query, header, body in each
// format, bool, vector, structure, object, explicit host arguments, request context) and the
// records they read and answer. Shared by the in-process tests, the test plugin library, the
// fuzz target and the benchmark.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "api/api_registry.h"

namespace Kolm::ApiTest {

struct Item {
    std::string id;
    uint32_t count = 0;
};

struct Filter {
    std::string name;
    int32_t limit = 0;
};

struct NameBody {
    std::string name;
};

// The handlers; each answers with what it received, so a test sees how its arguments were bound.
class TestHandlers {
  public:
    ApiResponse<Item> GetItem(std::string id);
    ApiResponse<Item> PatchItemName(std::string id, NameBody body);
    ApiResponse<BindingProperty> Search(std::string scope,
                                        bool flag,
                                        std::vector<int32_t> ids,
                                        Filter filter,
                                        std::string text,
                                        uint64_t limit);
    ApiResponse<std::string> Header(std::string token);
    ApiResponse<BindingProperty> Context(const RemotingRequest& context, std::string id);
    ApiResponse<BindingProperty> Explicit(std::string id, int32_t number, BindingProperty any);
    ApiResponse<Item> Missing(std::string id) const;
    ApiResponse<BindingProperty> Decorated();
    ApiResponse<BindingProperty> Everything(std::string rest);

    std::atomic<uint32_t> calls{0};
};

// Registers the records and the endpoints; the caller has registered the built-ins.
void RegisterTestApi(ApiRegistry& api, TestHandlers* handlers);

}  // namespace Kolm::ApiTest
