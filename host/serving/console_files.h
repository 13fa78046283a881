// The console's files (host/serving/console/), built into the program by
// cmake/embed_files.cmake so that the host serves its page without reading the disk or the
// network. The table is generated at build time from the plain files, which stay editable.
#pragma once

#include <span>
#include <string_view>

namespace Kolm::Host {

struct EmbeddedFile {
    std::string_view path;    // relative to the console folder, "/" separated: "js/app.js"
    std::string_view bytes;   // the file's contents
    std::string_view sha256;  // hexadecimal digest of the contents, the base of the ETag
};

// Every file of the console folder, in path order.
std::span<const EmbeddedFile> ConsoleFiles();

}  // namespace Kolm::Host
