// Worlds of 10,000 and 100,000 players in as many clubs of five members (every player in five
// clubs), the sizes a tester writes for load runs, through each step between a world's text and
// a host that runs it:
//
// - BM_ParseWorld/N: ParseWorld, the reading of the document and its check, what a --world
//   file and a PUT of the world cost before anything is applied;
// - BM_CheckWorld/N: CheckServiceData alone, on the world read once;
// - BM_ApplyWorld/N: HostWorld::Apply of the world read once onto an embedded clubs web service
//   and a simulated platform, as at start (no one follows the service yet);
// - BM_ReplaceFollowedWorld/N: the clubs web service's Replace told to an observer, as a PUT of
//   the world on a running host is: every club and membership written before and after and
//   compared, and each changed membership written for the observer;
// - BM_WriteWorld/N: WriteWorld, what --export-world and a GET of the world cost, beside
//   BM_WriteWorldFloor/N: the same text written by RapidJSON from a document already in memory,
//   the encoding alone without the world's description.
//
// Goals (ratios of medians in one run): every step at most 12x as long for 100,000 as for
// 10,000, that is, near linear (10x); WriteWorld at most 3x its floor.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "bench/apply_world_loop.h"
#include "host/clubs_web_service/clubs_web_service.h"
#include "host/clubs_web_service/service_rules.h"
#include "host/serving/embedded_clubs_service.h"
#include "host/serving/host_world.h"
#include "host/serving/platform_simulation.h"
#include "host/simulated/host_event_bus.h"
#include "host/worlds/world_document.h"

namespace {

using Kolm::Host::World;

constexpr int kMembers = 5;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "worlds_bench: %s\n", what.c_str());
    std::abort();
}

// `size` players and clubs; club c's members are the players from c on, round the list.
std::string WorldText(int size) {
    std::string text = R"({"loggedInAccountId":1001,"players":[)";
    for (int i = 0; i < size; ++i) {
        const std::string id = std::to_string(1001 + i);
        text += std::string(i == 0 ? "" : ",") + R"({"accountId":)" + id + R"(,"summonerId":)" +
                std::to_string(500001 + i) + R"(,"name":"Player )" + id + R"("})";
    }
    text += R"(],"clubs":[)";
    for (int c = 0; c < size; ++c) {
        const std::string number = std::to_string(c + 1);
        text += std::string(c == 0 ? "" : ",") + R"({"key":"club-)" + number +
                R"(","name":"Club )" + number + R"(","active":[)";
        for (int m = 0; m < kMembers; ++m) {
            text += std::string(m == 0 ? "" : ",") + R"({"accountId":)" +
                    std::to_string(1001 + (c + m) % size) + R"(,"role":")" +
                    (m == 0 ? "OWNER" : "MEMBER") + R"("})";
        }
        text += "]}";
    }
    return text + "]}";
}

// Each size's text and world, made once for all benchmarks.
const std::string& Text(int size) {
    static std::map<int, std::string> texts;
    auto found = texts.find(size);
    if (found == texts.end()) {
        found = texts.emplace(size, WorldText(size)).first;
    }
    return found->second;
}

const World& Parsed(int size) {
    static std::map<int, World> worlds;
    auto found = worlds.find(size);
    if (found == worlds.end()) {
        Kolm::Host::WorldParse parsed = Kolm::Host::ParseWorld(Text(size));
        if (!parsed.world) {
            Fail("the generated world is refused: " + parsed.error);
        }
        found = worlds.emplace(size, std::move(*parsed.world)).first;
    }
    return found->second;
}

void BM_ParseWorld(benchmark::State& state) {
    const std::string& text = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Kolm::Host::WorldParse parsed = Kolm::Host::ParseWorld(text);
        if (!parsed.world) {
            Fail(parsed.error);
        }
        benchmark::DoNotOptimize(parsed.world->service.clubs.size());
    }
}

void BM_CheckWorld(benchmark::State& state) {
    const World& world = Parsed(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::string error = Kolm::Host::CheckServiceData(world.service);
        if (!error.empty()) {
            Fail(error);
        }
        benchmark::DoNotOptimize(error.data());
    }
}

void BM_ApplyWorld(benchmark::State& state) {
    Kolm::Host::Bench::ApplyWorldRepeatedly(state, Parsed(static_cast<int>(state.range(0))));
}

void BM_ReplaceFollowedWorld(benchmark::State& state) {
    const World& world = Parsed(static_cast<int>(state.range(0)));
    // Two worlds that differ in every player's preferences, so that each replacement changes
    // every membership: every club and membership is written before and after and compared,
    // and every membership is written once more for the observer.
    Kolm::Host::ServiceData sharing = world.service;
    for (auto& [accountId, record] : sharing.players) {
        record.shareClubAffiliation = true;
    }
    Kolm::Host::ClubsWebService service;
    service.Replace(world.service, world.clock);
    std::size_t told = 0;
    service.AddObserver([&](const std::string&, const std::string&) { ++told; });
    bool share = true;
    for (auto _ : state) {
        state.PauseTiming();
        Kolm::Host::ServiceData data = share ? sharing : world.service;
        share = !share;
        state.ResumeTiming();
        service.Replace(std::move(data), world.clock);
    }
    if (told < world.service.players.size()) {
        Fail("a replacement told " + std::to_string(told) + " changes");
    }
}

void BM_WriteWorld(benchmark::State& state) {
    const World& world = Parsed(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::string text = Kolm::Host::WriteWorld(world);
        benchmark::DoNotOptimize(text.data());
    }
}

void BM_WriteWorldFloor(benchmark::State& state) {
    const std::string written = Kolm::Host::WriteWorld(Parsed(static_cast<int>(state.range(0))));
    rapidjson::Document document;
    document.Parse(written.c_str(), written.size());
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::PrettyWriter<rapidjson::StringBuffer> w(buffer);
        w.SetIndent(' ', 2);
        document.Accept(w);
        if (buffer.GetSize() + 1 != written.size()) {
            Fail("the floor writes another text");
        }
    }
}

BENCHMARK(BM_ParseWorld)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckWorld)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyWorld)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceFollowedWorld)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteWorld)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteWorldFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
