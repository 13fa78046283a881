#include "host/serving/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

namespace Kolm::Host {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMilliseconds(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
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
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    return head;
}

// After the answer, reads what the client may still send (an unread body) for a moment
// before closing, so that closing does not reset the connection under the answer.
void CloseGracefully(int socket) {
    shutdown(socket, SHUT_WR);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(200);
    char scratch[4096];
    std::size_t drained = 0;
    while (drained < 256 * 1024) {
        pollfd entry{socket, POLLIN, 0};
        if (poll(&entry, 1, RemainingMilliseconds(deadline)) <= 0) {
            break;
        }
        const ssize_t got = recv(socket, scratch, sizeof(scratch), 0);
        if (got <= 0) {
            break;
        }
        drained += static_cast<std::size_t>(got);
    }
    close(socket);
}

// A refusal written without waiting, for connections no worker takes.
void RefuseAtOnce(int socket, int status, const char* text) {
    const HttpResponse response = HttpResponse::Error(status, text);
    const std::string data = HeadOf(response, true) + response.body;
    (void)!send(socket, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(socket);
}

}  // namespace

bool SendAll(int socket, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        pollfd entry{socket, POLLOUT, 0};
        const int ready = poll(&entry, 1, RemainingMilliseconds(deadline));
        if (ready <= 0 || (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
        const ssize_t sent = send(socket, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

HttpServer::HttpServer(Options options, Handler handler)
    : options_(std::move(options)), handler_(std::move(handler)) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Start(std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error != nullptr) {
            *error = "127.0.0.1:" + std::to_string(options_.port) + ": " + what + ": " +
                     std::strerror(errno);
        }
        if (listenSocket_ >= 0) {
            close(listenSocket_);
            listenSocket_ = -1;
        }
        return false;
    };
    listenSocket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenSocket_ < 0) {
        return fail("socket");
    }
    const int on = 1;
    setsockopt(listenSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(options_.port);
    if (bind(listenSocket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        return fail("cannot bind");
    }
    if (listen(listenSocket_, 128) != 0) {
        return fail("cannot listen");
    }
    socklen_t length = sizeof(address);
    getsockname(listenSocket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return fail("pipe");
    }
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    stopping_ = false;
    for (std::size_t i = 0; i < options_.workers; ++i) {
        workers_.emplace_back([this] { WorkerLoop(); });
    }
    acceptor_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    if (!acceptor_.joinable()) {
        return;
    }
    stopping_ = true;
    (void)!write(wakeWrite_, "x", 1);
    acceptor_.join();
    {
        std::lock_guard guard(mutex_);
        work_.notify_all();
    }
    for (std::thread& worker : workers_) {
        worker.join();
    }
    workers_.clear();
    for (const int socket : pending_) {
        close(socket);
    }
    pending_.clear();
    close(listenSocket_);
    close(wakeRead_);
    close(wakeWrite_);
    listenSocket_ = wakeRead_ = wakeWrite_ = -1;
}

void HttpServer::AcceptLoop() {
    while (!stopping_) {
        pollfd entries[2] = {{listenSocket_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (poll(entries, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((entries[1].revents & POLLIN) != 0 || stopping_) {
            break;
        }
        if ((entries[0].revents & POLLIN) == 0) {
            continue;
        }
        sockaddr_in peer{};
        socklen_t length = sizeof(peer);
        const int socket =
            accept4(listenSocket_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (socket < 0) {
            continue;
        }
        if (peer.sin_family != AF_INET || !IsLoopbackPeer(peer)) {
            close(socket);
            continue;
        }
        std::unique_lock lock(mutex_);
        if (pending_.size() + active_ >= options_.maxConnections) {
            lock.unlock();
            RefuseAtOnce(socket, 503, "too many connections");
            continue;
        }
        pending_.push_back(socket);
        work_.notify_one();
    }
}

void HttpServer::WorkerLoop() {
    for (;;) {
        int socket = -1;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
            if (stopping_) {
                return;
            }
            socket = pending_.front();
            pending_.pop_front();
            ++active_;
        }
        Serve(socket);
        std::lock_guard guard(mutex_);
        --active_;
    }
}

bool HttpServer::ReadRequest(int socket, HttpRequest& request, Clock::time_point deadline) {
    std::string buffer;
    std::optional<std::size_t> headEnd;
    char chunk[8192];
    while (!(headEnd = FindHeadEnd(buffer))) {
        if (buffer.size() > options_.limits.maxHeadBytes) {
            const std::size_t lineEnd = buffer.find('\n');
            const bool longTarget =
                lineEnd == std::string::npos || lineEnd > options_.limits.maxTargetBytes;
            Respond(socket, nullptr,
                    longTarget ? HttpResponse::Error(414, "request target too long")
                               : HttpResponse::Error(431, "request head too large"));
            return false;
        }
        pollfd entry{socket, POLLIN, 0};
        if (poll(&entry, 1, RemainingMilliseconds(deadline)) <= 0) {
            if (!buffer.empty()) {
                Respond(socket, nullptr, HttpResponse::Error(408, "request not complete in time"));
            }
            return false;
        }
        const ssize_t got = recv(socket, chunk, sizeof(chunk), 0);
        if (got <= 0) {
            return false;  // the client went away before sending a request
        }
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    HeadParseResult parsed =
        ParseRequestHead(std::string_view(buffer).substr(0, *headEnd), options_.limits);
    if (!parsed.head) {
        Respond(socket, nullptr, HttpResponse::Error(parsed.status, parsed.error));
        return false;
    }
    request = std::move(parsed.head->request);
    const std::optional<std::string> host = request.Header("Host");
    if (host && !IsLoopbackHost(*host)) {
        Respond(socket, nullptr,
                HttpResponse::Error(403, "the Host header must name the loopback interface"));
        return false;
    }
    const std::size_t length = parsed.head->contentLength;
    request.body = buffer.substr(*headEnd, length);
    if (request.body.size() < length && parsed.head->expectContinue) {
        SendAll(socket, "HTTP/1.1 100 Continue\r\n\r\n", deadline);
    }
    while (request.body.size() < length) {
        pollfd entry{socket, POLLIN, 0};
        if (poll(&entry, 1, RemainingMilliseconds(deadline)) <= 0) {
            Respond(socket, nullptr, HttpResponse::Error(408, "request body not complete in time"));
            return false;
        }
        const ssize_t got =
            recv(socket, chunk, std::min(sizeof(chunk), length - request.body.size()), 0);
        if (got <= 0) {
            return false;
        }
        request.body.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

void HttpServer::Serve(int socket) {
    const Clock::time_point deadline = Clock::now() + options_.readTimeout;
    HttpRequest request;
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
    request.peerAddress = text;
    if (!ReadRequest(socket, request, deadline)) {
        CloseGracefully(socket);
        return;
    }
    HttpResponse response;
    try {
        response = handler_(request);
    } catch (const std::exception& failure) {
        response = HttpResponse::Error(500, std::string("host failure: ") + failure.what());
    } catch (...) {
        response = HttpResponse::Error(500, "host failure");
    }
    if (response.takeOver) {
        response.takeOver(socket, HeadOf(response, false));
        return;
    }
    Respond(socket, &request, response);
    CloseGracefully(socket);
}

void HttpServer::Respond(int socket, const HttpRequest* request, const HttpResponse& response) {
    std::string data = HeadOf(response, true);
    const bool head = request != nullptr && request->method == "HEAD";
    if (!head && !StatusHasNoBody(response.status)) {
        data += response.body;
    }
    SendAll(socket, data, Clock::now() + options_.writeTimeout);
}

}  // namespace Kolm::Host
