#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/sockets.h"

namespace Kolm::Platform {
namespace {

SOCKET Native(NativeSocket socket) {
    return static_cast<SOCKET>(socket);
}

bool WouldBlock() {
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

std::string Failure(const char* what) {
    return std::string(what) + ": " + LastSocketError();
}

// A non-blocking socket that child processes do not inherit; kNoSocket on failure.
NativeSocket NewSocket(int type, int protocol) {
    if (!StartSockets()) {
        return kNoSocket;
    }
    SOCKET made = WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (made == INVALID_SOCKET) {
        // Systems before Windows 7 SP1 lack the flag; the handle is then made private after.
        made = WSASocketW(AF_INET, type, protocol, nullptr, 0, 0);
        if (made == INVALID_SOCKET) {
            return kNoSocket;
        }
        SetHandleInformation(reinterpret_cast<HANDLE>(made), HANDLE_FLAG_INHERIT, 0);
    }
    if (!SetNonBlocking(made)) {
        closesocket(made);
        return kNoSocket;
    }
    return made;
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
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void CloseSocket(NativeSocket socket) {
    if (socket != kNoSocket) {
        closesocket(Native(socket));
    }
}

std::string LastSocketError() {
    const int code = WSAGetLastError();
    char text[256] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof(text), nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return (message.empty() ? std::string("socket error") : message) + " (" + std::to_string(code) +
           ")";
}

NativeSocket BindLoopback(std::uint16_t port, std::string* error) {
    const NativeSocket bound = NewSocket(SOCK_STREAM, IPPROTO_TCP);
    if (bound == kNoSocket) {
        *error = Failure("socket");
        return kNoSocket;
    }
    // On Windows SO_REUSEADDR would let another program bind the same port and take our
    // clients; exclusive use forbids that.
    const BOOL on = TRUE;
    setsockopt(Native(bound), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof(on));
    const sockaddr_in address = LoopbackAddress(port);
    if (bind(Native(bound), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        *error = Failure("cannot bind");
        closesocket(Native(bound));
        return kNoSocket;
    }
    return bound;
}

std::uint16_t LocalPort(NativeSocket socket) {
    sockaddr_in address{};
    int length = sizeof(address);
    if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

bool Listen(NativeSocket socket, std::string* error) {
    if (listen(Native(socket), SOMAXCONN) != 0) {
        *error = Failure("cannot listen");
        return false;
    }
    return true;
}

AcceptResult Accept(NativeSocket listener) {
    sockaddr_in peer{};
    int length = sizeof(peer);
    const SOCKET accepted = accept(Native(listener), reinterpret_cast<sockaddr*>(&peer), &length);
    if (accepted == INVALID_SOCKET) {
        const int error = WSAGetLastError();
        const bool full = error == WSAEMFILE || error == WSAENOBUFS;
        return {full ? AcceptResult::Kind::OutOfDescriptors : AcceptResult::Kind::None};
    }
    // An accepted socket has the listener's properties; the handle is made private anyway.
    SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    if (!SetNonBlocking(accepted)) {
        closesocket(accepted);
        return {AcceptResult::Kind::None};
    }
    const bool loopback = peer.sin_family == AF_INET && (ntohl(peer.sin_addr.s_addr) >> 24) == 127;
    return {AcceptResult::Kind::Accepted, accepted, loopback};
}

NativeSocket ConnectLoopback(std::uint16_t port) {
    const NativeSocket client = NewSocket(SOCK_STREAM, IPPROTO_TCP);
    if (client == kNoSocket) {
        return kNoSocket;
    }
    // Connected while blocking, so that the caller gets a connection or nothing.
    u_long off = 0;
    ioctlsocket(Native(client), FIONBIO, &off);
    const sockaddr_in address = LoopbackAddress(port);
    if (connect(Native(client), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
            0 ||
        !SetNonBlocking(client)) {
        closesocket(Native(client));
        return kNoSocket;
    }
    return client;
}

std::string PeerAddress(NativeSocket socket) {
    sockaddr_in peer{};
    int length = sizeof(peer);
    char text[INET_ADDRSTRLEN] = "";
    if (getpeername(Native(socket), reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
    }
    return text;
}

IoResult SendSome(NativeSocket socket, const void* data, std::size_t size) {
    const int chunk = static_cast<int>(size > 1u << 30 ? 1u << 30 : size);
    const int sent = send(Native(socket), static_cast<const char*>(data), chunk, 0);
    if (sent >= 0) {
        return {IoResult::Kind::Done, static_cast<std::size_t>(sent)};
    }
    return {WouldBlock() ? IoResult::Kind::WouldBlock : IoResult::Kind::Closed, 0};
}

IoResult ReceiveSome(NativeSocket socket, void* data, std::size_t size) {
    const int chunk = static_cast<int>(size > 1u << 30 ? 1u << 30 : size);
    const int got = recv(Native(socket), static_cast<char*>(data), chunk, 0);
    if (got > 0) {
        return {IoResult::Kind::Done, static_cast<std::size_t>(got)};
    }
    if (got < 0 && WouldBlock()) {
        return {IoResult::Kind::WouldBlock, 0};
    }
    return {IoResult::Kind::Closed, 0};
}

void ShutdownSending(NativeSocket socket) {
    shutdown(Native(socket), SD_SEND);
}

bool SetNonBlocking(NativeSocket socket) {
    u_long on = 1;
    return ioctlsocket(Native(socket), FIONBIO, &on) == 0;
}

bool PollSockets(std::vector<PollEntry>& entries, int timeoutMilliseconds) {
    std::vector<WSAPOLLFD> polled;
    polled.reserve(entries.size());
    for (const PollEntry& entry : entries) {
        // WSAPoll refuses any request flag beyond these two.
        const SHORT events = static_cast<SHORT>((entry.wantRead ? POLLRDNORM : 0) |
                                                (entry.wantWrite ? POLLWRNORM : 0));
        polled.push_back({Native(entry.socket), events, 0});
    }
    if (WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), timeoutMilliseconds) ==
        SOCKET_ERROR) {
        return WSAGetLastError() == WSAEINTR;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SHORT got = polled[i].revents;
        // Winsock reports the peer's end of input as a hang-up even when only its sending half
        // is closed; it is end of input, as poll reports it on POSIX, and a read tells the rest.
        entries[i].readable = (got & (POLLRDNORM | POLLRDBAND | POLLHUP)) != 0;
        entries[i].writable = (got & POLLWRNORM) != 0;
        entries[i].hungUp = false;
        entries[i].failed = (got & (POLLERR | POLLNVAL)) != 0;
    }
    return true;
}

Waker::Waker() {
    // One datagram socket bound to a loopback port and connected to itself: what it sends, it
    // reads, and a datagram that finds the buffer full is dropped, never blocks.
    const NativeSocket made = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (made == kNoSocket) {
        return;
    }
    sockaddr_in address = LoopbackAddress(0);
    int length = sizeof(address);
    if (bind(Native(made), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(Native(made), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(Native(made), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(Native(made));
        return;
    }
    read_ = made;
    write_ = made;
}

Waker::~Waker() {
    CloseSocket(read_);
}

void Waker::Wake() {
    if (write_ != kNoSocket) {
        send(Native(write_), "x", 1, 0);
    }
}

void Waker::Drain() {
    char scratch[256];
    while (read_ != kNoSocket && recv(Native(read_), scratch, sizeof(scratch), 0) > 0) {
    }
}

}  // namespace Kolm::Platform
