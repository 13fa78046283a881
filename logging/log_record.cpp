#include "logging/log_record.h"

namespace Kolm {

const char* LogLevelName(std::int32_t level) {
    static const char* const names[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
    static_assert(sizeof(names) / sizeof(names[0]) == kLogAlways + 1, "one name per level");
    if (level < kLogOkay || level > kLogAlways) {
        return "??????";
    }
    return names[level];
}

}  // namespace Kolm
