// The answers of the world's reset and snapshot paths, described once: a kept world's summary,
// the list of them, and what a reset and a restore say they did. Their writers and OpenAPI
// schemas come from the maps below.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/documents/record_map.h"
#include "host/serving/world_snapshots.h"

namespace Kolm::Host {

struct WorldSnapshotList {
    std::vector<WorldSnapshots::Summary> snapshots;
    std::size_t bytes = 0;
    std::size_t maxCount = WorldSnapshots::kMaxCount;
    std::size_t maxBytes = WorldSnapshots::kMaxBytes;
};

struct WorldResetAnswer {
    std::string world = "the world the host started with";
    std::vector<std::string> cleared;
};

struct WorldRestoreAnswer {
    std::string restored;
};

// What a reset may clear besides the world.
inline constexpr const char* kWorldResetClears[] = {"faultRules", "toasts", "requests"};

template <>
struct RecordMap<WorldSnapshots::Summary> {
    static constexpr const char* kName = "WorldSnapshot";
    template <class Io>
    static void Map(Io& io, WorldSnapshots::Summary& summary) {
        io.Required("name", summary.name);
        io.Required("bytes", summary.bytes, Rules().Describe("of the world's document"));
    }
};

template <>
struct RecordMap<WorldSnapshotList> {
    static constexpr const char* kName = "WorldSnapshotList";
    template <class Io>
    static void Map(Io& io, WorldSnapshotList& list) {
        io.Required("snapshots", list.snapshots, Rules().Describe("by name"));
        io.Required("bytes", list.bytes, Rules().Describe("of every kept world together"));
        io.Required("maxCount", list.maxCount);
        io.Required("maxBytes", list.maxBytes);
    }
};

template <>
struct RecordMap<WorldResetAnswer> {
    static constexpr const char* kName = "WorldReset";
    template <class Io>
    static void Map(Io& io, WorldResetAnswer& reset) {
        io.Required("world", reset.world);
        io.Required(
            "cleared", reset.cleared,
            Rules().Describe("what was cleared besides the world").Choices(kWorldResetClears));
    }
};

template <>
struct RecordMap<WorldRestoreAnswer> {
    static constexpr const char* kName = "WorldRestore";
    template <class Io>
    static void Map(Io& io, WorldRestoreAnswer& restore) {
        io.Required("restored", restore.restored, Rules().Describe("the snapshot's name"));
    }
};

}  // namespace Kolm::Host
