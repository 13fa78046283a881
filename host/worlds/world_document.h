// The world's document form: JSON, or YAML, which is read with the project's YAML reader and
// then read as its JSON. Its records and their fields are described once, in world_records.h;
// the reader, the writer and the OpenAPI schema all come from that description.
//
// Only "players" and "clubs" are required, and in them the ids, a club's key and name and an
// active member's role; the rest has defaults. Unknown members, members given twice and
// members of the wrong type are refused with the path of the member
// ("clubs[1].active[0].role: ..."). The document is read whole and checked against the
// service's own rules (CheckServiceData) before anything uses it. Writing gives every field, so
// that reading the written text gives the same world; only "clockFrozen" is left out while
// false, so a running clock's world reads as it always has.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/worlds/world.h"

namespace Kolm::Host {

struct WorldParse {
    std::optional<World> world;  // none: `error` says what is wrong and where
    std::string error;
};

enum class WorldFormat { Json, Yaml };

WorldParse ParseWorld(std::string_view text, WorldFormat format = WorldFormat::Json);
// The format of a file by its name: ".yaml" and ".yml" are YAML, everything else JSON.
WorldFormat WorldFormatOfFile(std::string_view fileName);

// Pretty-printed JSON with two spaces of indent and a final line break.
std::string WriteWorld(const World& world);

}  // namespace Kolm::Host
