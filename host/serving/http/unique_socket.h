// UniqueSocket: sole owner of one socket, closed by its destructor. Move-only, so a signature
// that takes or returns one says who closes it, and whoever holds it is the only thread that
// may touch it.
#pragma once

#include <utility>

#include "platform/sockets.h"

namespace Kolm::Host {

class UniqueSocket {
  public:
    UniqueSocket() = default;
    explicit UniqueSocket(Platform::NativeSocket socket) : socket_(socket) {}
    ~UniqueSocket() { Reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.Release()) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    Platform::NativeSocket Get() const { return socket_; }
    bool Valid() const { return socket_ != Platform::kNoSocket; }
    // Gives up ownership: the caller closes the socket.
    Platform::NativeSocket Release() { return std::exchange(socket_, Platform::kNoSocket); }
    // Closes the held socket (if any) and takes `socket`.
    void Reset(Platform::NativeSocket socket = Platform::kNoSocket) {
        Platform::CloseSocket(std::exchange(socket_, socket));
    }

  private:
    Platform::NativeSocket socket_ = Platform::kNoSocket;
};

}  // namespace Kolm::Host
