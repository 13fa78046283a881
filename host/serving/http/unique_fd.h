// UniqueFd: sole owner of one POSIX file descriptor (a socket, a pipe end), closed by its
// destructor. Move-only, so a signature that takes or returns one says who closes the
// descriptor; Release hands it to code that keeps raw descriptors.
#pragma once

#include <unistd.h>

#include <utility>

namespace Kolm::Host {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Gives up ownership: the caller closes the descriptor.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the held descriptor (if any) and takes `fd`.
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

}  // namespace Kolm::Host
