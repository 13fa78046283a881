// The host's socket layer over real loopback connections: what the HTTP server relies on, the
// same on POSIX and on Winsock.
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace Kolm::Platform {
namespace {

// Closes a socket at the end of a test, whatever it asserted.
struct Held {
    NativeSocket socket = kNoSocket;
    ~Held() { CloseSocket(socket); }
};

// Waits up to a few seconds until `socket` is ready for what is asked.
PollEntry WaitFor(NativeSocket socket, bool read, bool write) {
    std::vector<PollEntry> entries(1);
    entries[0].socket = socket;
    entries[0].wantRead = read;
    entries[0].wantWrite = write;
    EXPECT_TRUE(PollSockets(entries, 5000));
    return entries[0];
}

// A listener on a free port, and an accepted connection to it with both ends.
struct Connected {
    Held listener;
    Held client;
    Held server;
    AcceptResult accepted;

    Connected() {
        std::string error;
        listener.socket = BindLoopback(0, &error);
        EXPECT_NE(listener.socket, kNoSocket) << error;
        EXPECT_TRUE(Listen(listener.socket, &error)) << error;
        client.socket = ConnectLoopback(LocalPort(listener.socket));
        EXPECT_NE(client.socket, kNoSocket);
        EXPECT_TRUE(WaitFor(listener.socket, true, false).readable);
        accepted = Accept(listener.socket);
        server.socket = accepted.socket;
    }
};

std::string ReceiveAll(NativeSocket socket, std::size_t expected) {
    std::string text;
    char buffer[4096];
    while (text.size() < expected && WaitFor(socket, true, false).readable) {
        const IoResult got = ReceiveSome(socket, buffer, sizeof(buffer));
        if (got.kind != IoResult::Kind::Done) {
            break;
        }
        text.append(buffer, got.count);
    }
    return text;
}

TEST(LoopbackSockets, AnAcceptedPeerIsOnLoopbackAndBytesCrossBothWays) {
    ASSERT_TRUE(StartSockets());
    Connected pair;
    ASSERT_EQ(pair.accepted.kind, AcceptResult::Kind::Accepted);
    EXPECT_TRUE(pair.accepted.loopbackPeer);
    EXPECT_EQ(PeerAddress(pair.server.socket), "127.0.0.1");

    const std::string request = "GET / HTTP/1.1\r\n\r\n";
    const IoResult sent = SendSome(pair.client.socket, request.data(), request.size());
    EXPECT_EQ(sent.kind, IoResult::Kind::Done);
    EXPECT_EQ(sent.count, request.size());
    EXPECT_EQ(ReceiveAll(pair.server.socket, request.size()), request);

    const std::string answer = "HTTP/1.1 204 No Content\r\n\r\n";
    SendSome(pair.server.socket, answer.data(), answer.size());
    EXPECT_EQ(ReceiveAll(pair.client.socket, answer.size()), answer);
}

TEST(LoopbackSockets, ReceivingWithNothingThereWouldBlockAndAClosedPeerReadsAsClosed) {
    Connected pair;
    char byte = 0;
    EXPECT_EQ(ReceiveSome(pair.server.socket, &byte, 1).kind, IoResult::Kind::WouldBlock);
    // Ending the sending side is seen by the peer as the end of input, and the peer may still
    // answer.
    ShutdownSending(pair.client.socket);
    EXPECT_TRUE(WaitFor(pair.server.socket, true, false).readable);
    EXPECT_EQ(ReceiveSome(pair.server.socket, &byte, 1).kind, IoResult::Kind::Closed);
    EXPECT_EQ(SendSome(pair.server.socket, "x", 1).kind, IoResult::Kind::Done);
    EXPECT_EQ(ReceiveAll(pair.client.socket, 1), "x");
}

TEST(LoopbackSockets, AnAcceptWithNobodyWaitingReturnsNone) {
    Connected pair;
    EXPECT_EQ(Accept(pair.listener.socket).kind, AcceptResult::Kind::None);
}

TEST(LoopbackSockets, APortInUseCannotBeBoundAgain) {
    std::string error;
    Held first{BindLoopback(0, &error)};
    ASSERT_NE(first.socket, kNoSocket) << error;
    ASSERT_TRUE(Listen(first.socket, &error)) << error;
    Held second{BindLoopback(LocalPort(first.socket), &error)};
    EXPECT_EQ(second.socket, kNoSocket);
    EXPECT_EQ(error.rfind("cannot bind: ", 0), 0u) << error;
}

// Whether the waker's read end is ready to read within a short wait.
bool ReadyToRead(const Waker& waker) {
    std::vector<PollEntry> entries(1);
    entries[0].socket = waker.ReadEnd();
    entries[0].wantRead = true;
    EXPECT_TRUE(PollSockets(entries, 50));
    return entries[0].readable;
}

TEST(LoopbackSockets, AWakerEndsAPollFromAnotherThreadAndDrainsToQuiet) {
    Waker waker;
    ASSERT_TRUE(waker.Valid());
    EXPECT_FALSE(ReadyToRead(waker));
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        waker.Wake();
        waker.Wake();
    });
    std::vector<PollEntry> entries(1);
    entries[0].socket = waker.ReadEnd();
    entries[0].wantRead = true;
    EXPECT_TRUE(PollSockets(entries, 10000));
    other.join();
    EXPECT_TRUE(entries[0].readable);
    waker.Drain();
    EXPECT_FALSE(ReadyToRead(waker));
}

}  // namespace
}  // namespace Kolm::Platform
