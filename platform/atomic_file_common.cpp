#include "platform/atomic_file.h"

namespace Kolm::Platform {

bool WriteFileAtomically(const std::string& path, std::string_view text, std::string* error) {
    return WriteFileAtomically(
        path, [text](const AtomicFileAppend& append) { return append(text); }, error);
}

}  // namespace Kolm::Platform
