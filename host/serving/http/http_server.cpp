#include "host/serving/http/http_server.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "platform/sockets.h"

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
bool SendSome(const UniqueSocket& socket, const std::string& data, std::size_t& offset) {
    while (offset < data.size()) {
        const Platform::IoResult sent =
            Platform::SendSome(socket.Get(), data.data() + offset, data.size() - offset);
        if (sent.kind != Platform::IoResult::Kind::Done) {
            return sent.kind == Platform::IoResult::Kind::WouldBlock;
        }
        offset += sent.count;
    }
    return true;
}

// A short text written without waiting: a refusal or an interim answer.
void SendNow(const UniqueSocket& socket, const std::string& data) {
    std::size_t offset = 0;
    SendSome(socket, data, offset);
}

}  // namespace

// One client connection through its stages. Reading: the request arrives; Handling: a worker
// runs the handler (the network thread leaves the connection alone); Writing: the answer
// leaves; Lingering: after the answer, what the client still sends (an unread body) is read
// and dropped for a moment, so that closing does not reset the connection under the answer.
// One client connection through its stages. Reading: the request arrives; Handling: a worker
// holds the socket and runs the handler (the connection keeps no socket meanwhile); Writing:
// the answer leaves; Lingering: after the answer, what the client still sends (an unread body)
// is read and dropped for a moment, so that closing does not reset the connection under the
// answer.
struct HttpServer::Connection {
    enum class Stage { Reading, Handling, Writing, Lingering };

    uint64_t id = 0;
    UniqueSocket socket;
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
    Platform::MutexLock lock(mutex_);
    queues_.resize(lanes_.size());
}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Bind(std::string* error) {
    std::string reason;
    listenSocket_.Reset(Platform::BindLoopback(options_.port, &reason));
    if (!listenSocket_.Valid()) {
        if (error != nullptr) {
            *error = "127.0.0.1:" + std::to_string(options_.port) + ": " + reason;
        }
        return false;
    }
    port_ = Platform::LocalPort(listenSocket_.Get());
    originPolicy_.emplace(port_, options_.allowedOrigins);
    return true;
}

bool HttpServer::Start(std::string* error) {
    if (!listenSocket_.Valid() && !Bind(error)) {
        return false;
    }
    std::string reason;
    if (!Platform::Listen(listenSocket_.Get(), &reason)) {
        if (error != nullptr) {
            *error = "127.0.0.1:" + std::to_string(port_) + ": " + reason;
        }
        return false;
    }
    waker_ = std::make_unique<Platform::Waker>();
    if (!waker_->Valid()) {
        if (error != nullptr) {
            *error =
                "cannot make the network thread's wake-up channel: " + Platform::LastSocketError();
        }
        return false;
    }
    stopping_ = false;
    for (std::size_t lane = 0; lane < lanes_.size(); ++lane) {
        for (std::size_t i = 0; i < lanes_[lane]->options.workers; ++i) {
            lanes_[lane]->workers.emplace_back([this, lane] { WorkerLoop(lane); });
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
        Platform::MutexLock lock(mutex_);
        for (const std::unique_ptr<LaneState>& lane : lanes_) {
            lane->work.NotifyAll();
        }
    }
    for (const std::unique_ptr<LaneState>& lane : lanes_) {
        for (std::thread& worker : lane->workers) {
            worker.join();
        }
        lane->workers.clear();
    }
    {
        Platform::MutexLock lock(mutex_);
        for (std::deque<Job>& queue : queues_) {
            queue.clear();
        }
        answered_.clear();
    }
    connections_.clear();
    listenSocket_.Reset();
    waker_.reset();
}

void HttpServer::Wake() {
    if (waker_ != nullptr) {
        waker_->Wake();
    }
}

void HttpServer::NetworkLoop() {
    std::vector<Platform::PollEntry> entries;
    std::vector<Connection*> polled;
    while (!stopping_) {
        entries.assign(2, {});
        entries[0].socket = listenSocket_.Get();
        entries[0].wantRead = true;
        entries[1].socket = waker_->ReadEnd();
        entries[1].wantRead = true;
        polled.clear();
        Clock::time_point nearest = Clock::now() + std::chrono::seconds(60);
        for (auto& [id, connection] : connections_) {
            if (connection->stage == Connection::Stage::Handling) {
                continue;
            }
            Platform::PollEntry& entry = entries.emplace_back();
            entry.socket = connection->socket.Get();
            entry.wantWrite = connection->stage == Connection::Stage::Writing;
            entry.wantRead = !entry.wantWrite;
            polled.push_back(connection.get());
            nearest = std::min(nearest, connection->deadline);
        }
        if (!Platform::PollSockets(entries, RemainingMilliseconds(nearest)) || stopping_) {
            break;
        }
        waker_->Drain();
        TakeBackAnswered();
        for (std::size_t i = 0; i < polled.size(); ++i) {
            Dispatch(*polled[i], entries[i + 2]);
        }
        // A connection in a handler has no socket until its worker hands it back.
        std::erase_if(connections_, [](const auto& entry) {
            return entry.second->stage != Connection::Stage::Handling &&
                   !entry.second->socket.Valid();
        });
        if (entries[0].readable) {
            Accept();
        }
    }
}

void HttpServer::Dispatch(Connection& connection, const Platform::PollEntry& ready) {
    const bool writing = connection.stage == Connection::Stage::Writing;
    if (ready.failed || (writing && ready.hungUp)) {
        Close(connection);
        return;
    }
    if (writing && ready.writable) {
        OnWritable(connection);
    } else if (!writing && (ready.readable || ready.hungUp)) {
        OnReadable(connection);
    }
    // Checked after any progress too: a client that trickles its request byte by byte still
    // has one deadline for all of it. A request just handed to a worker is the worker's.
    if (connection.stage != Connection::Stage::Handling && connection.socket.Valid() &&
        Clock::now() >= connection.deadline) {
        OnDeadline(connection);
    }
}

void HttpServer::Accept() {
    for (;;) {
        const Platform::AcceptResult accepted = Platform::Accept(listenSocket_.Get());
        if (accepted.kind == Platform::AcceptResult::Kind::OutOfDescriptors) {
            MakeRoom();  // the next round accepts
        }
        if (accepted.kind != Platform::AcceptResult::Kind::Accepted) {
            return;
        }
        UniqueSocket socket(accepted.socket);
        if (!accepted.loopbackPeer) {
            continue;
        }
        if (connections_.size() >= options_.maxConnections && !MakeRoom()) {
            SendNow(socket, Serialize(HttpResponse::Error(503, "too many connections"), nullptr));
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
        const Platform::IoResult got =
            Platform::ReceiveSome(connection.socket.Get(), chunk, sizeof(chunk));
        if (got.kind == Platform::IoResult::Kind::Closed) {
            connection.peerDone = true;
            break;
        }
        if (got.kind == Platform::IoResult::Kind::WouldBlock) {
            break;
        }
        if (connection.stage == Connection::Stage::Lingering) {
            connection.drained += got.count;
            if (connection.drained >= kMaxDrainedBytes) {
                break;
            }
            continue;
        }
        connection.input.append(chunk, got.count);
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
    if (!connection.head && !ReadHead(connection)) {
        return;
    }
    const std::size_t length = connection.head->contentLength;
    if (connection.input.size() < length) {
        return;
    }
    HttpRequest request = std::move(connection.head->request);
    request.body = connection.input.substr(0, length);
    request.peerAddress = Platform::PeerAddress(connection.socket.Get());
    connection.input.clear();
    connection.input.shrink_to_fit();
    const std::size_t laneIndex = LaneOf(request);
    LaneState& lane = *lanes_[laneIndex];
    {
        Platform::MutexLock lock(mutex_);
        std::deque<Job>& queue = queues_[laneIndex];
        if (lane.options.maxWaiting == 0 || queue.size() < lane.options.maxWaiting) {
            connection.stage = Connection::Stage::Handling;
            queue.push_back(Job{connection.id, std::move(connection.socket), std::move(request)});
            lane.work.NotifyOne();
            return;
        }
    }
    HttpResponse refusal = HttpResponse::Error(503, lane.options.fullMessage);
    refusal.headers.emplace_back("Retry-After", "1");
    Answer(connection, Serialize(refusal, &request));
}

bool HttpServer::ReadHead(Connection& connection) {
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
        return false;
    }
    HeadParseResult parsed =
        ParseRequestHead(std::string_view(connection.input).substr(0, *headEnd), options_.limits);
    if (!parsed.head) {
        Answer(connection, Serialize(HttpResponse::Error(parsed.status, parsed.error), nullptr));
        return false;
    }
    const std::optional<std::string> host = parsed.head->request.Header("Host");
    if (host && !IsLoopbackHost(*host)) {
        Answer(connection, Serialize(HttpResponse::Error(
                                         403, "the Host header must name the loopback interface"),
                                     nullptr));
        return false;
    }
    if (originPolicy_) {
        if (const std::optional<std::string> refusal =
                originPolicy_->Refusal(parsed.head->request)) {
            Answer(connection,
                   Serialize(HttpResponse::Error(403, *refusal), &parsed.head->request));
            return false;
        }
    }
    connection.input.erase(0, *headEnd);
    connection.head = std::move(parsed.head);
    if (connection.input.size() < connection.head->contentLength &&
        connection.head->expectContinue) {
        SendNow(connection.socket, "HTTP/1.1 100 Continue\r\n\r\n");
    }
    return true;
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
    if (!SendSome(connection.socket, connection.output, connection.written)) {
        Close(connection);
    } else if (connection.written == connection.output.size()) {
        Platform::ShutdownSending(connection.socket.Get());
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
    std::vector<Answered> answered;
    {
        Platform::MutexLock lock(mutex_);
        answered.swap(answered_);
    }
    for (Answered& back : answered) {
        const auto found = connections_.find(back.connection);
        if (found == connections_.end()) {
            continue;
        }
        Connection& connection = *found->second;
        connection.stage = Connection::Stage::Writing;
        connection.socket = std::move(back.socket);  // none when taken over or failed: erased
        connection.output = std::move(back.output);
        connection.written = back.written;
        if (connection.socket.Valid()) {
            connection.deadline = Clock::now() + options_.writeTimeout;
            OnWritable(connection);
        }
    }
}

void HttpServer::WorkerLoop(std::size_t laneIndex) {
    LaneState& lane = *lanes_[laneIndex];
    for (;;) {
        std::optional<Job> job;
        {
            Platform::MutexLock lock(mutex_);
            std::deque<Job>& queue = queues_[laneIndex];
            while (!stopping_ && queue.empty()) {
                lane.work.Wait(mutex_);
            }
            if (stopping_) {
                return;
            }
            job.emplace(std::move(queue.front()));
            queue.pop_front();
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
    Answered back{job.connection, std::move(job.socket), {}, 0};
    if (response.takeOver) {
        response.takeOver(std::move(back.socket), HeadOf(response, false));
    } else {
        // Most answers fit the socket's buffer at once; the network thread writes the rest.
        back.output = Serialize(response, &job.request);
        if (!SendSome(back.socket, back.output, back.written)) {
            back.socket.Reset();
        }
    }
    {
        Platform::MutexLock lock(mutex_);
        answered_.push_back(std::move(back));
    }
    Wake();
}

}  // namespace Kolm::Host
