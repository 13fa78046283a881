// A reset of the default world on a running host with the real plugin, against its floors:
//
// - BM_ResetAfterChange: POST /zun-clubs-host/v1/world/reset through the host's routing after
//   one change the plugin has heard (a new message of the day); the reset's pushes delivered
//   and the plugin's refetches answered before it returns, as the endpoint does;
// - BM_ResetUnchanged: the same with nothing to undo (the comparison of the worlds alone);
// - BM_ApplyParsedWorld: HostWorld::Apply of the world read once, with nobody following the
//   service (no push, no plugin), the floor of any reset;
// - BM_CopyWorldJson: a copy of the world's document, the floor of a reset that kept text;
// - BM_ParseWorld: reading and checking the document, what a reset that kept text would add.
//
// The resets are timed in real time: most of their work (the pushes, the plugin's refetches, the
// service's answers) runs on the relay's, the plugin's and the service's threads.
//
// Goals (ratios of medians in one run): a reset after a change at most 20x reading the world's
// document (so well under a millisecond for the default world); a reset with nothing to undo at
// most 10x applying the world with nobody listening.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/apply_world_loop.h"
#include "host/boundary/plugin_library.h"
#include "host/serving/embedded_clubs_service.h"
#include "host/serving/host_application.h"
#include "host/serving/host_world.h"
#include "host/serving/platform_simulation.h"
#include "host/simulated/host_event_bus.h"
#include "host/worlds/default_world.h"
#include "host/worlds/world_document.h"

namespace {

using Kolm::Host::HostApplication;
using Kolm::Host::HttpRequest;
using Kolm::Host::HttpResponse;

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "world_reset_bench: %s\n", why.c_str());
    std::exit(1);
}

// One host for the whole run: the plugin library is loaded once per process.
HostApplication& Host() {
    static std::unique_ptr<Kolm::Host::PluginLibrary> library;
    static std::unique_ptr<HostApplication> host = [] {
        std::string error;
        library = Kolm::Host::PluginLibrary::Open(ZC_PLUGIN_LIBRARY_PATH, &error);
        if (!library) {
            Fail(error);
        }
        Kolm::Host::HostOptions options;
        options.port = 0;
        options.quiet = true;
        auto started = std::make_unique<HostApplication>(options, nullptr);
        if (started->Start(library->Entry(), &error) != Kolm::Host::kExitClean) {
            Fail(error);
        }
        return started;
    }();
    return *host;
}

HttpResponse Call(const std::string& method, const std::string& target, std::string body = {}) {
    HttpRequest request;
    request.method = method;
    request.target = target;
    request.version = "HTTP/1.1";
    request.body = std::move(body);
    request.peerAddress = "127.0.0.1";
    if (!request.body.empty()) {
        request.headers.emplace_back("Content-Type", "application/json");
    }
    return Host().Handle(request);
}

void Reset() {
    const HttpResponse reset = Call("POST", "/zun-clubs-host/v1/world/reset");
    if (reset.status != 200) {
        Fail("the reset answered " + std::to_string(reset.status) + ": " + reset.body);
    }
}

void BM_ResetAfterChange(benchmark::State& state) {
    int change = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const HttpResponse changed = Call("PATCH", "/zun-clubs/v1/clubs/club-1/motd",
                                          "{\"motd\":\"change " + std::to_string(++change) + "\"}");
        if (changed.status != 200) {
            Fail("the change answered " + std::to_string(changed.status) + ": " + changed.body);
        }
        Host().Platform().Relay().Drain();
        state.ResumeTiming();
        Reset();
    }
}

void BM_ResetUnchanged(benchmark::State& state) {
    Reset();
    for (auto _ : state) {
        Reset();
    }
}

const Kolm::Host::World& ParsedWorld() {
    static const Kolm::Host::World world = [] {
        Kolm::Host::WorldParse parsed = Kolm::Host::ParseWorld(Kolm::Host::DefaultWorldJson());
        if (!parsed.world) {
            Fail(parsed.error);
        }
        return *parsed.world;
    }();
    return world;
}

void BM_ApplyParsedWorld(benchmark::State& state) {
    Kolm::Host::Bench::ApplyWorldRepeatedly(state, ParsedWorld());
}

void BM_CopyWorldJson(benchmark::State& state) {
    const std::string_view json = Kolm::Host::DefaultWorldJson();
    for (auto _ : state) {
        std::string copy(json);
        benchmark::DoNotOptimize(copy.data());
    }
}

void BM_ParseWorld(benchmark::State& state) {
    for (auto _ : state) {
        Kolm::Host::WorldParse parsed = Kolm::Host::ParseWorld(Kolm::Host::DefaultWorldJson());
        benchmark::DoNotOptimize(parsed.world.has_value());
    }
}

}  // namespace

BENCHMARK(BM_ResetAfterChange)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResetUnchanged)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ApplyParsedWorld)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyWorldJson)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseWorld)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
