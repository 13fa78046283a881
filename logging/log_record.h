// Log levels, log groups and the record a log target receives.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace Kolm {

// Levels, signed 32-bit on every interface.
enum LogLevel : std::int32_t {
    kLogOkay = 0,
    kLogWarn = 1,
    kLogError = 2,
    kLogAlways = 3,
};

// Group bits of a line's 64-bit group mask; bits 8 to 63 have no name of their own.
enum LogGroup : std::uint64_t {
    kLogGroupNone = 0,
    kLogGroupDbg = 1u << 0,
    kLogGroupGen = 1u << 1,
    kLogGroupXtr = 1u << 2,
    kLogGroupPrf = 1u << 3,
    kLogGroupMem = 1u << 4,
    kLogGroupDsk = 1u << 5,
    kLogGroupNet = 1u << 6,
    kLogGroupTst = 1u << 7,
};

// One line on its way to the targets. `message` is owned by the logger and valid only during
// the write; it holds at most 4095 characters.
struct LogRecord {
    Platform::LocalTime time;
    std::int32_t level = kLogOkay;
    std::uint64_t groups = 0;
    const char* message = "";
};

// The six-character name of a level ("  OKAY", "  WARN", " ERROR", "ALWAYS"); other levels get
// "??????" so a line never shows a stray value.
const char* LogLevelName(std::int32_t level);

}  // namespace Kolm
