// Files written whole or not at all. The text goes to a temporary file in the same folder as
// the target (so that the rename below never crosses file systems), is flushed to the disk, and
// the temporary file is then renamed over the target in one step (rename, or MoveFileExW with
// MOVEFILE_REPLACE_EXISTING). A crash or a failed write at any point leaves either the old file
// or the new one, never half of one or none. Paths are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace Kolm::Platform {

// Appends one chunk to the temporary file; false once a write has failed.
using AtomicFileAppend = std::function<bool(std::string_view chunk)>;

// Writes the chunks `produce` hands to `append`, then replaces `path` with them. When `produce`
// returns false, a write fails or the rename fails, the temporary file is removed, `path` is
// left as it was, and `error` (when given) says why. True when `path` holds the new text.
bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(const AtomicFileAppend& append)>& produce,
                         std::string* error);

// The same for a text held whole.
bool WriteFileAtomically(const std::string& path, std::string_view text, std::string* error);

}  // namespace Kolm::Platform
