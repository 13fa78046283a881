// HttpServer: a small HTTP/1.1 server on the loopback interface, for the host's REST API and
// for the embedded clubs web service.
//
// Why our own and not a library: the plugin must receive the request target exactly as the
// client sent it, undecoded, and the server must refuse every malformed request itself; the
// usual embeddable servers decode the path before the handler sees it (or need their
// unescaping replaced), bring a dependency the Windows build lacks, and still leave the host's
// rules (loopback only, Host names, body caps, one connection per request) to be added around
// them. What remains for us is small: a request head parser (http_request_parser.h), one
// thread that moves bytes without blocking, and a fixed pool of workers.
//
// Behaviour: binds 127.0.0.1 only; accepts peers on 127.0.0.0/8 only; refuses a Host header
// that does not name the loopback interface (403), a request sent by another site's page
// (403, see origin_policy.h), a declared body above the limit (413), a
// request that is too slow (408) or malformed (400 and its siblings); answers every request
// with "Connection: close" and "X-Content-Type-Options: nosniff" (so that no browser reads a
// JSON answer as a script or a style sheet).
//
// Slow clients cannot lock out others: one network thread reads every request and writes
// every answer without blocking, and a worker only runs the handler of a request that has
// fully arrived. At most `maxConnections` connections are open at once; when a new one would
// pass the limit, the oldest connection that is still sending its request (or lingering after
// its answer) is closed to make room, and only when all of them are busy in a handler does the
// newcomer get 503 at once. A response with `takeOver` hands its socket and head to the caller
// (event streams), so that idle stream clients hold no worker.
//
// Lanes keep one kind of request from starving another: each lane has its own queue and its
// own workers, and the owner's classifier puts every complete request in one. A lane may bound
// its queue: a request that finds it full is answered 503 at once instead of waiting, so that
// the requests of one lane (which cannot be closed to make room while they wait) never hold
// every connection the server may open. With no lanes given the server has one of `workers`.
//
// Thread rules: Bind, Start and Stop from one controlling thread; the handler runs on the
// worker threads, several at once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/serving/http/http_message.h"
#include "host/serving/http/http_request_parser.h"
#include "host/serving/http/origin_policy.h"
#include "host/serving/http/unique_socket.h"
#include "platform/mutex.h"
#include "platform/sockets.h"

namespace Kolm::Host {

class HttpServer {
  public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    // The lane of a complete request, an index into Options::lanes; an index out of range (or
    // a classifier that throws) means lane 0. Runs on the network thread: it must not block.
    using Classifier = std::function<std::size_t(const HttpRequest&)>;

    struct Lane {
        std::size_t workers = 16;
        // Requests that may wait for a worker of this lane (0: no bound); one more is refused
        // with 503, `fullMessage` and "Retry-After: 1", and never reaches the handler.
        std::size_t maxWaiting = 0;
        std::string fullMessage = "too many requests are waiting";
    };

    struct Options {
        uint16_t port = 0;         // 0: any free port (see Port())
        std::size_t workers = 16;  // when `lanes` is empty: one lane of that many workers
        std::vector<Lane> lanes;
        std::size_t maxConnections = 512;
        HttpLimits limits;
        std::chrono::milliseconds readTimeout{10000};   // for the whole request
        std::chrono::milliseconds writeTimeout{10000};  // for the whole response
        // A request sent by another site's page is refused with 403 before the handler runs;
        // these origins (as ParseOrigin gives them) are trusted besides the server's own.
        std::vector<std::string> allowedOrigins;
    };

    HttpServer(Options options, Handler handler, Classifier classifier = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Takes the port without listening yet: Port() is known, and a client that connects
    // before Start is refused by the system rather than kept waiting. False with `error`
    // filled when the port cannot be bound (for example "127.0.0.1:8080: cannot bind:
    // Address already in use").
    bool Bind(std::string* error);
    // Binds (unless Bind did) and starts serving; false with `error` filled on failure.
    bool Start(std::string* error);
    // The bound port, after a successful Bind or Start.
    uint16_t Port() const { return port_; }
    // Stops accepting, lets the workers finish the handlers they run and joins them; open
    // connections are closed. Sockets already taken over are not touched.
    void Stop();

  private:
    using Clock = std::chrono::steady_clock;
    struct Connection;
    // A complete request on its way to a worker, with the connection's socket: whoever holds
    // the job is the one thread that may touch that socket.
    struct Job {
        uint64_t connection;  // the key in connections_
        UniqueSocket socket;
        HttpRequest request;
    };
    // A job back from its worker: the socket (none when the handler took it over or sending
    // failed) and the answer with what of it is already sent.
    struct Answered {
        uint64_t connection;
        UniqueSocket socket;
        std::string output;
        std::size_t written;
    };
    struct LaneState {
        explicit LaneState(Lane options) : options(std::move(options)) {}
        const Lane options;
        Platform::CondVar work;            // a job is queued, or the server stops
        std::vector<std::thread> workers;  // touched by the controlling thread only
    };

    void NetworkLoop();
    void WorkerLoop(std::size_t lane);
    std::size_t LaneOf(const HttpRequest& request) const;
    void Accept();
    // Makes room for one more connection; false when every connection is in a handler.
    bool MakeRoom();
    // Acts on one connection's poll result and deadline.
    void Dispatch(Connection& connection, const Platform::PollEntry& ready);
    void OnReadable(Connection& connection);
    void OnWritable(Connection& connection);
    void OnDeadline(Connection& connection);
    // Looks at what has arrived: hands a complete request to a worker, answers a refusal.
    void Examine(Connection& connection);
    // Parses and checks a complete head; false while it is incomplete or when it was refused.
    bool ReadHead(Connection& connection);
    void Answer(Connection& connection, std::string data);
    void Close(Connection& connection);
    void TakeBackAnswered();
    void Serve(Job job);
    void Wake();

    const Options options_;
    const Handler handler_;
    std::optional<OriginPolicy> originPolicy_;  // once the port is bound
    const Classifier classifier_;
    UniqueSocket listenSocket_;
    std::unique_ptr<Platform::Waker> waker_;  // from Start to Stop
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread network_;

    // Owned and touched by the network thread only. A connection in a handler keeps no socket:
    // its job holds it.
    std::map<uint64_t, std::unique_ptr<Connection>> connections_;
    uint64_t nextConnection_ = 1;

    Platform::Mutex mutex_;
    std::vector<std::unique_ptr<LaneState>> lanes_;  // fixed from construction on
    // Per lane, the complete requests waiting for one of its workers.
    std::vector<std::deque<Job>> queues_ ZC_GUARDED_BY(mutex_);
    std::vector<Answered> answered_ ZC_GUARDED_BY(mutex_);  // back from the workers
};

}  // namespace Kolm::Host
