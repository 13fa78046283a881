#include "tests/host/serving/http_test_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace Kolm::HostTest {

int Remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int Connect(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

namespace {

using Clock = std::chrono::steady_clock;

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t sent = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Status and headers of a response head; the offset of the body, 0 when incomplete.
std::size_t ParseHead(const std::string& raw, HttpResult& result) {
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) {
        return 0;
    }
    std::istringstream lines(raw.substr(0, end));
    std::string line;
    std::getline(lines, line);
    if (line.size() >= 12) {
        result.status = std::atoi(line.c_str() + 9);
    }
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            result.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        }
    }
    return end + 4;
}

}  // namespace

std::string HttpResult::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) {
            return value;
        }
    }
    return {};
}

HttpResult SendRaw(uint16_t port, const std::string& raw, std::chrono::milliseconds timeout) {
    HttpResult result;
    const int fd = Connect(port);
    if (fd < 0) {
        return result;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    WriteAll(fd, raw);
    std::string answer;
    char chunk[16384];
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, Remaining(deadline)) <= 0) {
            break;
        }
        const ssize_t got = recv(fd, chunk, sizeof(chunk), 0);
        if (got <= 0) {
            break;
        }
        answer.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    // A "100 Continue" head comes before the real answer.
    while (answer.rfind("HTTP/1.1 100", 0) == 0) {
        answer.erase(0, answer.find("\r\n\r\n") + 4);
    }
    const std::size_t body = ParseHead(answer, result);
    if (body > 0) {
        result.body = answer.substr(body);
    }
    return result;
}

HttpResult Request(uint16_t port,
                   const std::string& method,
                   const std::string& target,
                   const std::string& body,
                   const std::string& contentType,
                   std::chrono::milliseconds timeout) {
    std::string raw =
        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    if (!body.empty()) {
        raw += "Content-Type: " + contentType + "\r\n";
    }
    raw += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return SendRaw(port, raw, timeout);
}

EventStreamReader::EventStreamReader(uint16_t port, const std::string& target) {
    socket_ = Connect(port);
    if (socket_ >= 0) {
        WriteAll(socket_, "GET " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                              "\r\nAccept: text/event-stream\r\n\r\n");
        // Reads the head (and whatever follows it at once).
        ReadUntil([&] { return headDone_; }, Clock::now() + std::chrono::seconds(5));
    }
}

EventStreamReader::~EventStreamReader() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

std::vector<StreamEvent> EventStreamReader::WaitFor(const std::string& needle,
                                                    std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    auto found = [&] {
        for (const StreamEvent& event : events_) {
            if (event.data.find(needle) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    ReadUntil(found, deadline);
    return events_;
}

void EventStreamReader::ReadUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    char chunk[16384];
    while (socket_ >= 0 && !done()) {
        pollfd entry{socket_, POLLIN, 0};
        if (poll(&entry, 1, Remaining(deadline)) <= 0) {
            break;
        }
        const ssize_t got = recv(socket_, chunk, sizeof(chunk), 0);
        if (got <= 0) {
            break;
        }
        buffer_.append(chunk, static_cast<std::size_t>(got));
        Parse();
    }
}

void EventStreamReader::Parse() {
    if (!headDone_) {
        HttpResult head;
        const std::size_t body = ParseHead(buffer_, head);
        if (body == 0) {
            return;
        }
        status_ = head.status;
        buffer_.erase(0, body);
        headDone_ = true;
    }
    for (std::size_t end = buffer_.find("\n\n"); end != std::string::npos;
         end = buffer_.find("\n\n")) {
        std::istringstream lines(buffer_.substr(0, end));
        buffer_.erase(0, end + 2);
        StreamEvent event;
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("id: ", 0) == 0) {
                event.id = std::strtoull(line.c_str() + 4, nullptr, 10);
            } else if (line.rfind("event: ", 0) == 0) {
                event.name = line.substr(7);
            } else if (line.rfind("data: ", 0) == 0) {
                event.data = line.substr(6);
            }
        }
        if (event.id != 0) {
            events_.push_back(std::move(event));
        }
    }
}

uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace Kolm::HostTest
