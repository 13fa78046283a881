// HttpServer: a small HTTP/1.1 server on the loopback interface, for the host's REST API and
// for the embedded clubs web service.
//
// Why our own and not a library: the plugin must receive the request target exactly as the
// client sent it, undecoded, and the server must refuse every malformed request itself; the
// usual embeddable servers decode the path before the handler sees it (or need their
// unescaping replaced), bring a dependency the Windows build lacks, and still leave the host's
// rules (loopback only, Host names, body caps, one connection per request) to be added around
// them. What remains for us is small: a request head parser (http_request_parser.h), bounded
// reads and writes with deadlines, and a fixed pool of workers.
//
// Behaviour: binds 127.0.0.1 only; accepts peers on 127.0.0.0/8 only; refuses a Host header
// that does not name the loopback interface (403), a declared body above the limit (413), a
// head that is too slow (408) or malformed (400 and its siblings); answers every request with
// "Connection: close". At most `maxConnections` connections are queued or served at once; a
// further one gets 503 at once. A response with `takeOver` hands its socket and head to the caller
// (event streams), so that idle stream clients hold no worker.
//
// Thread rules: Start and Stop from one controlling thread; the handler runs on the worker
// threads, several at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/serving/http_message.h"
#include "host/serving/http_request_parser.h"

namespace Kolm::Host {

class HttpServer {
  public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    struct Options {
        uint16_t port = 0;  // 0: any free port (see Port())
        std::size_t workers = 16;
        std::size_t maxConnections = 128;
        HttpLimits limits;
        std::chrono::milliseconds readTimeout{10000};   // for the whole request
        std::chrono::milliseconds writeTimeout{10000};  // for the whole response
    };

    HttpServer(Options options, Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and starts serving; false with `error` filled when the port cannot be bound (for
    // example "127.0.0.1:8080: Address already in use").
    bool Start(std::string* error);
    // The bound port, after a successful Start.
    uint16_t Port() const { return port_; }
    // Stops accepting, lets the workers finish the requests they serve and joins them. Sockets
    // already taken over are not touched.
    void Stop();

  private:
    void AcceptLoop();
    void WorkerLoop();
    void Serve(int socket);
    // Reads until the head is complete; false after answering the refusal itself.
    bool ReadRequest(int socket,
                     HttpRequest& request,
                     std::chrono::steady_clock::time_point deadline);
    void Respond(int socket, const HttpRequest* request, const HttpResponse& response);

    const Options options_;
    const Handler handler_;
    int listenSocket_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> workers_;

    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<int> pending_;  // accepted sockets waiting for a worker
    std::size_t active_ = 0;   // sockets a worker is serving
};

// Writes all of `data` to the socket before `deadline`; false on error or timeout.
bool SendAll(int socket, std::string_view data, std::chrono::steady_clock::time_point deadline);

}  // namespace Kolm::Host
