// Test helpers that drive the runnable host from outside: a raw HTTP/1.1 client over a loopback
// socket (so tests can also send what no library would), a reader of the event stream, and
// free loopback ports.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Kolm::HostTest {

struct HttpResult {
    int status = 0;  // 0: no answer (connection failed or closed)
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string Header(const std::string& name) const;
};

// Sends `raw` as it stands to 127.0.0.1:`port` and reads the answer until the server closes.
HttpResult SendRaw(uint16_t port,
                   const std::string& raw,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
// A well-formed request with a Content-Length and the loopback Host.
HttpResult Request(uint16_t port,
                   const std::string& method,
                   const std::string& target,
                   const std::string& body = "",
                   const std::string& contentType = "application/json",
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct StreamEvent {
    uint64_t id = 0;
    std::string name;
    std::string data;
};

// An open event stream; reads in the background of the calls below.
class EventStreamReader {
  public:
    EventStreamReader(uint16_t port, const std::string& target);
    ~EventStreamReader();
    EventStreamReader(const EventStreamReader&) = delete;
    EventStreamReader& operator=(const EventStreamReader&) = delete;

    bool Connected() const { return socket_ >= 0 && status_ == 200; }
    // Reads until an event whose data contains `needle` arrived or the time is up; returns all
    // events read so far.
    std::vector<StreamEvent> WaitFor(const std::string& needle, std::chrono::milliseconds timeout);

  private:
    // Reads and parses what arrives until `done` holds, the peer closes or `deadline` passes.
    void ReadUntil(const std::function<bool()>& done,
                   std::chrono::steady_clock::time_point deadline);
    void Parse();
    int socket_ = -1;
    int status_ = 0;
    std::string buffer_;
    bool headDone_ = false;
    std::vector<StreamEvent> events_;
};

// The milliseconds left until `deadline`, 0 once it passed (a poll timeout).
int Remaining(std::chrono::steady_clock::time_point deadline);

// Connects to 127.0.0.1:`port` (a blocking socket, owned by the caller), -1 when refused.
int Connect(uint16_t port);

// A loopback port nobody listens on right now.
uint16_t FreePort();

}  // namespace Kolm::HostTest
