#include "host/serving/http/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>

namespace Kolm::Host {
namespace {

using Clock = std::chrono::steady_clock;

// How long a connection may linger after its answer, and how much it may still send, before
// it is closed.
constexpr std::chrono::milliseconds kLinger{200};
constexpr std::size_t kMaxDrainedBytes = 256 * 1024;

int RemainingMilliseconds(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left, 60000));
}

bool IsLoopbackPeer(const sockaddr_in& peer) {
    return (ntohl(peer.sin_addr.s_addr) >> 24) == 127;
}

std::string HeadOf(const HttpResponse& response, bool withLength) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       ReasonPhrase(response.status) + "\r\n";
    if (!response.contentType.empty() && !StatusHasNoBody(response.status)) {
        head += "Content-Type: " + response.contentType + "\r\n";
    }
    if (withLength && !StatusHasNoBody(response.status)) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    bool sniffing = true;
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
        sniffing = sniffing && !EqualsIgnoringCase(name, "X-Content-Type-Options");
    }
    if (sniffing) {
        head += "X-Content-Type-Options: nosniff\r\n";
    }
    head += "Connection: close\r\n\r\n";
    return head;
}

// The bytes of an answer; a HEAD request gets the head alone.
std::string Serialize(const HttpResponse& response, const HttpRequest* request) {
    std::string data = HeadOf(response, true);
    const bool head = request != nullptr && request->method == "HEAD";
    if (!head && !StatusHasNoBody(response.status)) {
        data += response.body;
    }
    return data;
}

// Sends what the socket takes now of `data` from `offset` on, advancing it; false when the
// connection failed.
bool SendSome(int socket, const std::string& data, std::size_t& offset) {
    while (offset < data.size()) {
        const ssize_t sent =
            send(socket, data.data() + offset, data.size() - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        offset += static_cast<std::size_t>(sent);
    }
    return true;
}

// A short text written without waiting: a refusal or an interim answer.
void SendNow(int socket, const std::string& data) {
    std::size_t offset = 0;
    SendSome(socket, data, offset);
}

std::string PeerAddress(int socket) {
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
    return text;
}

}  // namespace

// One client connection through its stages. Reading: the request arrives; Handling: a worker
// runs the handler (the network thread leaves the connection alone); Writing: the answer
// leaves; Lingering: after the answer, what the client still sends (an unread body) is read
// and dropped for a moment, so that closing does not reset the connection under the answer.
struct HttpServer::Connection {
    enum class Stage { Reading, Handling, Writing, Lingering };

    uint64_t id = 0;
    UniqueFd socket;
    Stage stage = Stage::Reading;
    Clock::time_point deadline;
    std::string input;                // the head, then the body as it arrives
    std::optional<RequestHead> head;  // once the head is complete
    bool peerDone = false;            // the client will send nothing more
    std::string output;               // the answer
    std::size_t written = 0;          // of `output`
    std::size_t drained = 0;
};

HttpServer::HttpServer(Options options, Handler handler, Classifier classifier)
    : options_(std::move(options)),
      handler_(std::move(handler)),
      classifier_(std::move(classifier)) {
    if (options_.lanes.empty()) {
        lanes_.push_back(std::make_unique<LaneState>(Lane{options_.workers}));
    }
    for (const Lane& lane : options_.lanes) {
        lanes_.push_back(std::make_unique<LaneState>(lane));
    }
}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Bind(std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error != nullptr) {
            *error = "127.0.0.1:" + std::to_string(options_.port) + ": " + what + ": " +
                     std::strerror(errno);
        }
        listenSocket_.Reset();
        return false;
    };
    listenSocket_.Reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listenSocket_.Valid()) {
        return fail("socket");
    }
    const int on = 1;
    setsockopt(listenSocket_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(options_.port);
    if (bind(listenSocket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        return fail("cannot bind");
    }
    socklen_t length = sizeof(address);
    getsockname(listenSocket_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    originPolicy_.emplace(port_, options_.allowedOrigins);
    return true;
}

bool HttpServer::Start(std::string* error) {
    if (!listenSocket_.Valid() && !Bind(error)) {
        return false;
    }
    if (listen(listenSocket_.Get(), SOMAXCONN) != 0) {
        if (error != nullptr) {
            *error =
                "127.0.0.1:" + std::to_string(port_) + ": cannot listen: " + std::strerror(errno);
        }
        return false;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error != nullptr) {
            *error = std::string("pipe: ") + std::strerror(errno);
        }
        return false;
    }
    wakeRead_.Reset(pipeEnds[0]);
    wakeWrite_.Reset(pipeEnds[1]);
    stopping_ = false;
    for (const std::unique_ptr<LaneState>& lane : lanes_) {
        for (std::size_t i = 0; i < lane->options.workers; ++i) {
            lane->workers.emplace_back([this, &lane = *lane] { WorkerLoop(lane); });
        }
    }
    network_ = std::thread([this] { NetworkLoop(); });
    return true;
}

void HttpServer::Stop() {
    if (!network_.joinable()) {
        listenSocket_.Reset();
        return;
    }
    stopping_ = true;
    Wake();
    network_.join();
    {
        std::lock_guard guard(mutex_);
        for (const std::unique_ptr<LaneState>& lane : lanes_) {
            lane->work.notify_all();
        }
    }
    for (const std::unique_ptr<LaneState>& lane : lanes_) {
        for (std::thread& worker : lane->workers) {
            worker.join();
        }
        lane->workers.clear();
        lane->jobs.clear();
    }
    answered_.clear();
    connections_.clear();
    listenSocket_.Reset();
    wakeRead_.Reset();
    wakeWrite_.Reset();
}

void HttpServer::Wake() {
    if (wakeWrite_.Valid()) {
        (void)!write(wakeWrite_.Get(), "x", 1);
    }
}

void HttpServer::NetworkLoop() {
    std::vector<pollfd> entries;
    std::vector<Connection*> polled;
    while (!stopping_) {
        entries.assign({{listenSocket_.Get(), POLLIN, 0}, {wakeRead_.Get(), POLLIN, 0}});
        polled.clear();
        Clock::time_point nearest = Clock::now() + std::chrono::seconds(60);
        for (auto& [id, connection] : connections_) {
            if (connection->stage == Connection::Stage::Handling) {
                continue;
            }
            const bool writing = connection->stage == Connection::Stage::Writing;
            entries.push_back(
                {connection->socket.Get(), static_cast<short>(writing ? POLLOUT : POLLIN), 0});
            polled.push_back(connection.get());
            nearest = std::min(nearest, connection->deadline);
        }
        if (poll(entries.data(), entries.size(), RemainingMilliseconds(nearest)) < 0 &&
            errno != EINTR) {
            break;
        }
        if (stopping_) {
            break;
        }
        char scratch[256];
        while (read(wakeRead_.Get(), scratch, sizeof(scratch)) > 0) {
        }
        TakeBackAnswered();
        for (std::size_t i = 0; i < polled.size(); ++i) {
            Dispatch(*polled[i], entries[i + 2].revents);
        }
        // A connection in a handler belongs to its worker until it comes back.
        std::erase_if(connections_, [](const auto& entry) {
            return entry.second->stage != Connection::Stage::Handling &&
                   !entry.second->socket.Valid();
        });
        if ((entries[0].revents & POLLIN) != 0) {
            Accept();
        }
    }
}

void HttpServer::Dispatch(Connection& connection, short events) {
    const bool writing = connection.stage == Connection::Stage::Writing;
    if ((events & (POLLERR | POLLNVAL)) != 0 || (writing && (events & POLLHUP) != 0)) {
        Close(connection);
        return;
    }
    if (writing && (events & POLLOUT) != 0) {
        OnWritable(connection);
    } else if (!writing && (events & (POLLIN | POLLHUP)) != 0) {
        OnReadable(connection);
    }
    // Checked after any progress too: a client that trickles its request byte by byte still
    // has one deadline for all of it.
    // The stage first: a request just handed to a worker is the worker's to touch.
    if (connection.stage != Connection::Stage::Handling && connection.socket.Valid() &&
        Clock::now() >= connection.deadline) {
        OnDeadline(connection);
    }
}

void HttpServer::Accept() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof(peer);
        UniqueFd socket(accept4(listenSocket_.Get(), reinterpret_cast<sockaddr*>(&peer), &length,
                                SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!socket.Valid()) {
            if (errno == EMFILE || errno == ENFILE) {
                MakeRoom();  // out of descriptors: the next round accepts
            }
            return;
        }
        if (peer.sin_family != AF_INET || !IsLoopbackPeer(peer)) {
            continue;
        }
        if (connections_.size() >= options_.maxConnections && !MakeRoom()) {
            SendNow(socket.Get(),
                    Serialize(HttpResponse::Error(503, "too many connections"), nullptr));
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->id = nextConnection_++;
        connection->socket = std::move(socket);
        connection->deadline = Clock::now() + options_.readTimeout;
        connections_.emplace(connection->id, std::move(connection));
    }
}

bool HttpServer::MakeRoom() {
    // Lingering connections have their answer already; after them, the longest-waiting
    // request (the lowest id) is the one least likely to be a client that is about to finish.
    Connection* victim = nullptr;
    for (auto& [id, connection] : connections_) {
        if (connection->stage == Connection::Stage::Lingering) {
            victim = connection.get();
            break;
        }
        if (victim == nullptr && connection->stage == Connection::Stage::Reading) {
            victim = connection.get();
        }
    }
    if (victim == nullptr) {
        return false;
    }
    connections_.erase(victim->id);
    return true;
}

void HttpServer::OnReadable(Connection& connection) {
    char chunk[16384];
    for (;;) {
        const ssize_t got = recv(connection.socket.Get(), chunk, sizeof(chunk), MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            connection.peerDone = true;
            break;
        }
        if (got < 0) {
            break;
        }
        if (connection.stage == Connection::Stage::Lingering) {
            connection.drained += static_cast<std::size_t>(got);
            if (connection.drained >= kMaxDrainedBytes) {
                break;
            }
            continue;
        }
        connection.input.append(chunk, static_cast<std::size_t>(got));
        // No more than a head and its body is ever kept (once the head is read, only the body
        // its length declared, which the head's limit allowed).
        const std::size_t kept = connection.head
                                     ? connection.head->contentLength
                                     : options_.limits.maxHeadBytes + options_.limits.maxBodyBytes;
        if (connection.input.size() > kept) {
            break;
        }
    }
    if (connection.stage == Connection::Stage::Lingering) {
        if (connection.peerDone || connection.drained >= kMaxDrainedBytes) {
            Close(connection);
        }
        return;
    }
    Examine(connection);
    if (connection.stage == Connection::Stage::Reading && connection.peerDone) {
        Close(connection);  // the client went away before its request was complete
    }
}

void HttpServer::Examine(Connection& connection) {
    if (!connection.head) {
        const std::optional<std::size_t> headEnd = FindHeadEnd(connection.input);
        if (!headEnd) {
            if (connection.input.size() > options_.limits.maxHeadBytes) {
                const std::size_t lineEnd = connection.input.find('\n');
                const bool longTarget =
                    lineEnd == std::string::npos || lineEnd > options_.limits.maxTargetBytes;
                Answer(connection,
                       Serialize(longTarget ? HttpResponse::Error(414, "request target too long")
                                            : HttpResponse::Error(431, "request head too large"),
                                 nullptr));
            }
            return;
        }
        HeadParseResult parsed = ParseRequestHead(
            std::string_view(connection.input).substr(0, *headEnd), options_.limits);
        if (!parsed.head) {
            Answer(connection,
                   Serialize(HttpResponse::Error(parsed.status, parsed.error), nullptr));
            return;
        }
        const std::optional<std::string> host = parsed.head->request.Header("Host");
        if (host && !IsLoopbackHost(*host)) {
            Answer(connection,
                   Serialize(
                       HttpResponse::Error(403, "the Host header must name the loopback interface"),
                       nullptr));
            return;
        }
        if (originPolicy_) {
            if (const std::optional<std::string> refusal =
                    originPolicy_->Refusal(parsed.head->request)) {
                Answer(connection,
                       Serialize(HttpResponse::Error(403, *refusal), &parsed.head->request));
                return;
            }
        }
        connection.input.erase(0, *headEnd);
        connection.head = std::move(parsed.head);
        if (connection.input.size() < connection.head->contentLength &&
            connection.head->expectContinue) {
            SendNow(connection.socket.Get(), "HTTP/1.1 100 Continue\r\n\r\n");
        }
    }
    const std::size_t length = connection.head->contentLength;
    if (connection.input.size() < length) {
        return;
    }
    Job job{&connection, std::move(connection.head->request)};
    job.request.body = connection.input.substr(0, length);
    job.request.peerAddress = PeerAddress(connection.socket.Get());
    connection.input.clear();
    connection.input.shrink_to_fit();
    LaneState& lane = *lanes_[LaneOf(job.request)];
    {
        std::lock_guard guard(mutex_);
        if (lane.options.maxWaiting == 0 || lane.jobs.size() < lane.options.maxWaiting) {
            connection.stage = Connection::Stage::Handling;
            lane.jobs.push_back(std::move(job));
            lane.work.notify_one();
            return;
        }
    }
    HttpResponse refusal = HttpResponse::Error(503, lane.options.fullMessage);
    refusal.headers.emplace_back("Retry-After", "1");
    Answer(connection, Serialize(refusal, &job.request));
}

std::size_t HttpServer::LaneOf(const HttpRequest& request) const {
    if (!classifier_) {
        return 0;
    }
    try {
        const std::size_t lane = classifier_(request);
        return lane < lanes_.size() ? lane : 0;
    } catch (...) {
        return 0;
    }
}

void HttpServer::OnWritable(Connection& connection) {
    if (!SendSome(connection.socket.Get(), connection.output, connection.written)) {
        Close(connection);
    } else if (connection.written == connection.output.size()) {
        shutdown(connection.socket.Get(), SHUT_WR);
        connection.stage = Connection::Stage::Lingering;
        connection.deadline = Clock::now() + kLinger;
    }
}

void HttpServer::OnDeadline(Connection& connection) {
    if (connection.stage != Connection::Stage::Reading ||
        (connection.input.empty() && !connection.head)) {
        Close(connection);  // a connection that never sent anything just ends
        return;
    }
    Answer(connection,
           Serialize(HttpResponse::Error(408, connection.head ? "request body not complete in time"
                                                              : "request not complete in time"),
                     nullptr));
}

void HttpServer::Answer(Connection& connection, std::string data) {
    connection.output = std::move(data);
    connection.written = 0;
    connection.input.clear();
    connection.stage = Connection::Stage::Writing;
    connection.deadline = Clock::now() + options_.writeTimeout;
    OnWritable(connection);
}

void HttpServer::Close(Connection& connection) {
    connection.socket.Reset();  // erased from connections_ by the network loop
}

void HttpServer::TakeBackAnswered() {
    std::vector<Connection*> answered;
    {
        std::lock_guard guard(mutex_);
        answered.swap(answered_);
    }
    for (Connection* connection : answered) {
        connection->stage = Connection::Stage::Writing;
        if (!connection->socket.Valid()) {
            continue;  // taken over by the handler's response, or failed: erased
        }
        connection->deadline = Clock::now() + options_.writeTimeout;
        OnWritable(*connection);
    }
}

void HttpServer::WorkerLoop(LaneState& lane) {
    for (;;) {
        std::optional<Job> job;
        {
            std::unique_lock lock(mutex_);
            lane.work.wait(lock, [&] { return stopping_ || !lane.jobs.empty(); });
            if (stopping_) {
                return;
            }
            job.emplace(std::move(lane.jobs.front()));
            lane.jobs.pop_front();
        }
        Serve(std::move(*job));
    }
}

void HttpServer::Serve(Job job) {
    HttpResponse response;
    try {
        response = handler_(job.request);
    } catch (const std::exception& failure) {
        response = HttpResponse::Error(500, std::string("host failure: ") + failure.what());
    } catch (...) {
        response = HttpResponse::Error(500, "host failure");
    }
    Connection& connection = *job.connection;
    if (response.takeOver) {
        response.takeOver(std::move(connection.socket), HeadOf(response, false));
    } else {
        // Most answers fit the socket's buffer at once; the network thread writes the rest.
        connection.output = Serialize(response, &job.request);
        connection.written = 0;
        if (!SendSome(connection.socket.Get(), connection.output, connection.written)) {
            connection.socket.Reset();
        }
    }
    {
        std::lock_guard guard(mutex_);
        answered_.push_back(&connection);
    }
    Wake();
}

}  // namespace Kolm::Host
