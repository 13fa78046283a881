#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/sockets.h"

namespace Kolm::Platform {
namespace {

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

std::string Failure(const char* what) {
    return std::string(what) + ": " + LastSocketError();
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

}  // namespace

bool StartSockets() {
    return true;
}

void CloseSocket(NativeSocket socket) {
    if (socket != kNoSocket) {
        close(socket);
    }
}

std::string LastSocketError() {
    return std::strerror(errno);
}

NativeSocket BindLoopback(std::uint16_t port, std::string* error) {
    const NativeSocket bound = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (bound == kNoSocket) {
        *error = Failure("socket");
        return kNoSocket;
    }
    // Lets a restarted host take its port back while the old connections are in TIME_WAIT;
    // on Linux this does not let a second socket bind a port that is in use.
    const int on = 1;
    setsockopt(bound, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    const sockaddr_in address = LoopbackAddress(port);
    if (bind(bound, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        *error = Failure("cannot bind");
        close(bound);
        return kNoSocket;
    }
    return bound;
}

std::uint16_t LocalPort(NativeSocket socket) {
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

bool Listen(NativeSocket socket, std::string* error) {
    if (listen(socket, SOMAXCONN) != 0) {
        *error = Failure("cannot listen");
        return false;
    }
    return true;
}

AcceptResult Accept(NativeSocket listener) {
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    const NativeSocket accepted = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length,
                                          SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (accepted == kNoSocket) {
        const bool full = errno == EMFILE || errno == ENFILE;
        return {full ? AcceptResult::Kind::OutOfDescriptors : AcceptResult::Kind::None};
    }
    const bool loopback = peer.sin_family == AF_INET && (ntohl(peer.sin_addr.s_addr) >> 24) == 127;
    return {AcceptResult::Kind::Accepted, accepted, loopback};
}

NativeSocket ConnectLoopback(std::uint16_t port) {
    const NativeSocket client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client == kNoSocket) {
        return kNoSocket;
    }
    const sockaddr_in address = LoopbackAddress(port);
    if (connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        !SetNonBlocking(client)) {
        close(client);
        return kNoSocket;
    }
    return client;
}

std::string PeerAddress(NativeSocket socket) {
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    char text[INET_ADDRSTRLEN] = "";
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
    }
    return text;
}

IoResult SendSome(NativeSocket socket, const void* data, std::size_t size) {
    const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) {
        return {IoResult::Kind::Done, static_cast<std::size_t>(sent)};
    }
    return {WouldBlock() ? IoResult::Kind::WouldBlock : IoResult::Kind::Closed, 0};
}

IoResult ReceiveSome(NativeSocket socket, void* data, std::size_t size) {
    const ssize_t got = recv(socket, data, size, MSG_DONTWAIT);
    if (got > 0) {
        return {IoResult::Kind::Done, static_cast<std::size_t>(got)};
    }
    if (got < 0 && WouldBlock()) {
        return {IoResult::Kind::WouldBlock, 0};
    }
    return {IoResult::Kind::Closed, 0};
}

void ShutdownSending(NativeSocket socket) {
    shutdown(socket, SHUT_WR);
}

bool SetNonBlocking(NativeSocket socket) {
    const int flags = fcntl(socket, F_GETFL, 0);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool PollSockets(std::vector<PollEntry>& entries, int timeoutMilliseconds) {
    std::vector<pollfd> polled;
    polled.reserve(entries.size());
    for (const PollEntry& entry : entries) {
        const short events =
            static_cast<short>((entry.wantRead ? POLLIN : 0) | (entry.wantWrite ? POLLOUT : 0));
        polled.push_back({entry.socket, events, 0});
    }
    if (poll(polled.data(), polled.size(), timeoutMilliseconds) < 0) {
        return errno == EINTR;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short got = polled[i].revents;
        entries[i].readable = (got & POLLIN) != 0;
        entries[i].writable = (got & POLLOUT) != 0;
        entries[i].hungUp = (got & POLLHUP) != 0;
        entries[i].failed = (got & (POLLERR | POLLNVAL)) != 0;
    }
    return true;
}

Waker::Waker() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        read_ = ends[0];
        write_ = ends[1];
    }
}

Waker::~Waker() {
    CloseSocket(read_);
    CloseSocket(write_);
}

void Waker::Wake() {
    if (write_ != kNoSocket) {
        (void)!write(write_, "x", 1);  // a full pipe already wakes the reader
    }
}

void Waker::Drain() {
    char scratch[256];
    while (read_ != kNoSocket && read(read_, scratch, sizeof(scratch)) > 0) {
    }
}

}  // namespace Kolm::Platform
