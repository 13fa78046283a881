// One dispatched REST call end to end (host request record in, response record out and
// released), against its parts: building an endpoint's route with its expression, matching a
// path against a route built once, and converting the reply value for the host.
//
// Goals (ratios of medians in one run): matching the reused route at least 10x cheaper than
// building the route; a whole dispatched GET at most 3x the cost of converting its reply to a
// HostValue and releasing it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "api/api_registry.h"
#include "api/route_table.h"
#include "binding/binding_conversion.h"
#include "tests/api/test_endpoints.h"

namespace {

using Kolm::ApiTest::Item;

struct BenchApi {
    Kolm::ApiTest::TestHandlers handlers;
    Kolm::ApiRegistry api;
    const HostFunctionEntry* get = nullptr;
    const HostFunctionEntry* patch = nullptr;

    BenchApi() {
        api.Types().RegisterBuiltins();
        Kolm::ApiTest::RegisterTestApi(api, &handlers);
        for (const HostFunctionEntry* entry = api.BuildDescription()->functions; entry;
             entry = entry->next) {
            std::string name = entry->name;
            get = name == "GetTestV1ItemsById" ? entry : get;
            patch = name == "PatchTestV1ItemsByIdName" ? entry : patch;
        }
    }
};

BenchApi& Api() {
    static BenchApi* api = new BenchApi();
    return *api;
}

void Call(const HostFunctionEntry* entry, const HostRequest& request) {
    HostResponse response;
    entry->handler(&response, &request);
    benchmark::DoNotOptimize(response.value.kind);
    if (response.hasError) {
        std::abort();
    }
    response.release(&response);
}

void BM_BuildRoute(benchmark::State& state) {
    for (auto _ : state) {
        Kolm::Route route = Kolm::BuildRoute(2, "", "/test/v1/items/{id}", nullptr);
        benchmark::DoNotOptimize(route.matcher.get());
    }
}
BENCHMARK(BM_BuildRoute);

void BM_MatchReusedRoute(benchmark::State& state) {
    Kolm::Route route = Kolm::BuildRoute(2, "", "/test/v1/items/{id}", nullptr);
    const std::vector<const Kolm::Route*> routes = {&route};
    for (auto _ : state) {
        Kolm::RouteMatch match;
        bool matched = Kolm::MatchRoutes(2, "", "/test/v1/items/abc", routes, false, match);
        benchmark::DoNotOptimize(matched);
    }
}
BENCHMARK(BM_MatchReusedRoute);

void BM_ReplyToHostValue(benchmark::State& state) {
    const Kolm::BindingTypeRegistry& types = Api().api.Types();
    Item item{"abc", 3};
    for (auto _ : state) {
        Kolm::BindingResult value = Kolm::ToBinding(item, &types);
        HostValue host{};
        Kolm::ToHostValue(value.value, host, &types);
        benchmark::DoNotOptimize(host.kind);
        Kolm::ReleaseHostValue(host);
    }
}
BENCHMARK(BM_ReplyToHostValue);

void BM_DispatchGet(benchmark::State& state) {
    HostRequest request{};
    request.method = HOST_METHOD_GET;
    request.uri = "/test/v1/items/abc";
    request.dispatchRecord = Api().get->dispatchRecord;
    for (auto _ : state) {
        Call(Api().get, request);
    }
}
BENCHMARK(BM_DispatchGet);

void BM_DispatchPatchJson(benchmark::State& state) {
    static const char body[] = R"({"name":"renamed"})";
    HostRequest request{};
    request.method = HOST_METHOD_PATCH;
    request.uri = "/test/v1/items/abc/name";
    request.dispatchRecord = Api().patch->dispatchRecord;
    request.contentType = "application/json";
    request.body = reinterpret_cast<const uint8_t*>(body);
    request.bodyLength = static_cast<uint32_t>(std::strlen(body));
    for (auto _ : state) {
        Call(Api().patch, request);
    }
}
BENCHMARK(BM_DispatchPatchJson);

}  // namespace

BENCHMARK_MAIN();
