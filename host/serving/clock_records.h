// The clock's records, described once: the reading the clock paths answer and publish, the
// body of a PUT that sets it and the body of a POST that advances it. Their readers, writers
// and OpenAPI schemas all come from the maps below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/clubs_web_service/clubs_web_service.h"
#include "host/documents/record_map.h"

namespace Kolm::Host {

// 9999-12-31T23:59:59.999Z, the last instant every date library can show.
constexpr int64_t kMaxClockMs = 253402300799999;
// A hundred years of 365.25 days.
constexpr int64_t kMaxClockAdvanceMs = 3155760000000;

// What a PUT of the clock asks: either member may be left out.
struct ClockSetting {
    std::optional<int64_t> now;
    std::optional<bool> frozen;
};

struct ClockAdvance {
    int64_t ms = 0;
};

// The rule of a reading, with its bound, for the errors of a setting.
inline const char* ClockNowRule() {
    static const std::string rule =
        "must be a whole number of milliseconds since 1970-01-01 UTC, from 0 to " +
        std::to_string(kMaxClockMs);
    return rule.c_str();
}

template <>
struct RecordMap<ClubsWebService::ClockReading> {
    static constexpr const char* kName = "HostClock";
    template <class Io>
    static void Map(Io& io, ClubsWebService::ClockReading& clock) {
        io.Required(
            "now", clock.now,
            Rules()
                .Range(0, kMaxClockMs)
                .Describe("Milliseconds since 1970-01-01 UTC. Running, the clock moves one "
                          "millisecond ahead before each stamp; frozen, every stamp is now"));
        io.Required("frozen", clock.frozen);
    }
};

template <>
struct RecordMap<ClockSetting> {
    static constexpr const char* kName = "HostClockSetting";
    template <class Io>
    static void Map(Io& io, ClockSetting& setting) {
        io.Optional(
            "now", setting.now,
            Rules()
                .Range(0, kMaxClockMs)
                .Rule(ClockNowRule())
                .Describe("Milliseconds since 1970-01-01 UTC; not before the newest time stamp "
                          "the service holds"));
        io.Optional("frozen", setting.frozen);
    }
};

template <>
struct RecordMap<ClockAdvance> {
    static constexpr const char* kName = "HostClockAdvance";
    template <class Io>
    static void Map(Io& io, ClockAdvance& advance) {
        io.Required("ms", advance.ms, Rules().Range(1, kMaxClockAdvanceMs).Unit("milliseconds"));
    }
};

}  // namespace Kolm::Host
