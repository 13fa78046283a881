// The socket operations of the host's loopback HTTP server, over POSIX sockets or Winsock.
// Host-only (library zc_platform_net): the plugin DLL never links it, so it imports no socket
// library. Every socket made here is non-blocking and is not inherited by child processes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Kolm::Platform {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;  // SOCKET
inline constexpr NativeSocket kNoSocket = ~NativeSocket{0};
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;
#endif

// Starts the socket library once per process (nothing to do on POSIX); false if it cannot.
bool StartSockets();
// Closes `socket` unless it is kNoSocket.
void CloseSocket(NativeSocket socket);
// The system's text for the last failed socket call on this thread.
std::string LastSocketError();

// A TCP socket bound to 127.0.0.1:`port` (0: any free port), not listening yet. No other
// program may bind the same port while it is held. kNoSocket with `error` set to
// "socket: <reason>" or "cannot bind: <reason>" on failure.
NativeSocket BindLoopback(std::uint16_t port, std::string* error);
// The local port of a bound socket, 0 when the system cannot tell.
std::uint16_t LocalPort(NativeSocket socket);
// Starts listening; false with `error` set to "cannot listen: <reason>".
bool Listen(NativeSocket socket, std::string* error);

struct AcceptResult {
    enum class Kind {
        Accepted,
        None,              // nothing is waiting (or the attempt failed): try on the next round
        OutOfDescriptors,  // a peer waits, but the process may open no more sockets now
    } kind = Kind::None;
    NativeSocket socket = kNoSocket;  // Accepted: the caller owns it
    bool loopbackPeer = false;        // the peer is on 127.0.0.0/8
};
AcceptResult Accept(NativeSocket listener);
// A client socket connected to 127.0.0.1:`port` (the connection made before it returns, then
// non-blocking); kNoSocket when it cannot connect. For tests and tools on this machine.
NativeSocket ConnectLoopback(std::uint16_t port);
// The peer's IPv4 address in dotted form, empty when the system cannot tell.
std::string PeerAddress(NativeSocket socket);

// What a send or receive did: moved `count` bytes, would block, or found the connection gone
// (closed by the peer, or failed).
struct IoResult {
    enum class Kind { Done, WouldBlock, Closed } kind;
    std::size_t count;
};
IoResult SendSome(NativeSocket socket, const void* data, std::size_t size);
IoResult ReceiveSome(NativeSocket socket, void* data, std::size_t size);
// Ends the sending direction; what the peer sends may still be read.
void ShutdownSending(NativeSocket socket);
bool SetNonBlocking(NativeSocket socket);

// One socket to wait on and, after PollSockets, what it is ready for.
struct PollEntry {
    NativeSocket socket = kNoSocket;
    bool wantRead = false;
    bool wantWrite = false;
    bool readable = false;  // data or the peer's end of input
    bool writable = false;
    bool hungUp = false;  // closed in both directions (POSIX only: Winsock cannot tell it apart)
    bool failed = false;  // an error on the socket, or not a socket
};
// Waits up to `timeoutMilliseconds` until some entry is ready; false when waiting itself
// failed (an interruption is not a failure).
bool PollSockets(std::vector<PollEntry>& entries, int timeoutMilliseconds);

// Wakes a thread that waits in PollSockets from another thread: poll ReadEnd() for reading,
// Wake() from anywhere, Drain() after the wait. A pipe on POSIX, a loopback datagram socket
// sending to itself on Windows (Winsock polls sockets only).
class Waker {
  public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    bool Valid() const { return read_ != kNoSocket; }
    NativeSocket ReadEnd() const { return read_; }
    void Wake();
    void Drain();

  private:
    NativeSocket read_ = kNoSocket;
    NativeSocket write_ = kNoSocket;  // the same socket as read_ on Windows
};

}  // namespace Kolm::Platform
