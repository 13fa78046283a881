// The timed loop of applying a world already read onto an embedded clubs web service and a
// simulated platform, as at start (no one follows the service yet): shared by the benchmarks
// that set the floor of a reset and that scale a world's size.
#pragma once

#include <benchmark/benchmark.h>

#include "host/serving/embedded_clubs_service.h"
#include "host/serving/host_world.h"
#include "host/serving/platform_simulation.h"
#include "host/simulated/host_event_bus.h"
#include "host/worlds/world.h"

namespace Kolm::Host::Bench {

inline void ApplyWorldRepeatedly(benchmark::State& state, const World& world) {
    HostEventBus bus;
    EmbeddedClubsService service;
    PlatformSimulation platform(bus, HostWorld::LoggedInPlayer(world).value_or(SimulatedPlayer{}),
                                "http://127.0.0.1:1");
    HostWorld host(service, platform);
    for (auto _ : state) {
        host.Apply(world);
    }
}

}  // namespace Kolm::Host::Bench
