#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"

namespace Kolm::Platform {
namespace {

// A name no other writer of the same target uses: this process's id and a counter.
std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool Fail(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errno);
    }
    return false;
}

bool WriteAll(int fd, std::string_view chunk) {
    while (!chunk.empty()) {
        const ssize_t written = write(fd, chunk.data(), chunk.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        chunk.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself last through a power cut; a system that cannot is not an error, the
// file is whole either way.
void SyncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(const AtomicFileAppend& append)>& produce,
                         std::string* error) {
    const std::string temporary = TemporaryName(path);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Fail(error, "cannot create " + temporary);
    }
    bool written = true;
    const bool produced = produce([&](std::string_view chunk) {
        written = written && WriteAll(fd, chunk);
        return written;
    });
    if (!written || fsync(fd) != 0) {
        Fail(error, "cannot write " + temporary);
        written = false;
    } else if (!produced && error != nullptr) {
        *error = "the text for " + path + " could not be made whole";
    }
    if (close(fd) != 0 && written && produced) {
        Fail(error, "cannot write " + temporary);
        written = false;
    }
    if (!written || !produced) {
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        Fail(error, "cannot replace " + path);
        unlink(temporary.c_str());
        return false;
    }
    SyncFolderOf(path);
    return true;
}

}  // namespace Kolm::Platform
