// zun-clubs-host started as a child process, the way a tester starts it from a shell.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace Kolm::HostTest {

// zun-clubs-host started with `arguments` (plus --port 0 unless given); waits for its
// "listening on" line unless told to return at once (as a script that polls the port would).
class HostProcess {
  public:
    enum class Start { WaitForPortLine, AtOnce };
    // `program` is the host built with the tests unless given.
    explicit HostProcess(std::vector<std::string> arguments,
                         bool addPort = true,
                         Start start = Start::WaitForPortLine,
                         std::string program = {});
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    uint16_t Port() const { return port_; }
    bool Running() const;
    // Sends `signal` and waits for the exit; the exit status, or -1 when killed otherwise.
    int Stop(int signal);
    // Waits for an exit without signalling (for hosts that fail at start).
    int Wait(std::chrono::milliseconds timeout);
    std::string Output() const { return output_; }
    std::string ErrorOutput() const;
    // The process's resident memory (VmRSS) in kilobytes, 0 when it cannot be read.
    std::size_t ResidentKilobytes() const;

  private:
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    std::string output_;
    std::string errorPath_;
    int exitCode_ = -1;
};

}  // namespace Kolm::HostTest
