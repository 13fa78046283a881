#include "tests/host/serving/host_process.h"

#include "tests/host/serving/http_test_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace Kolm::HostTest {

namespace {

using Clock = std::chrono::steady_clock;

// The rest of the output is not needed; a reader keeps the pipe from filling up.
void KeepReading(int fd) {
    std::thread([fd] {
        char scratch[4096];
        while (read(fd, scratch, sizeof(scratch)) > 0) {
        }
        close(fd);
    }).detach();
}

}  // namespace

HostProcess::HostProcess(std::vector<std::string> arguments,
                         bool addPort,
                         Start start,
                         std::string program) {
    if (program.empty()) {
        program = ZC_HOST_PROGRAM;
    }
    if (addPort) {
        arguments.insert(arguments.begin(), {"--port", "0"});
    }
    char errorTemplate[] = "/tmp/zc_host_stderr_XXXXXX";
    const int errorFd = mkstemp(errorTemplate);
    errorPath_ = errorTemplate;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(errorFd, 2);
        std::vector<char*> argv{program.data()};
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(errorFd);
    if (start == Start::AtOnce) {
        KeepReading(out[0]);
        return;
    }
    // Waits for the port line (or the end of output when the host fails to start).
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    const std::string marker = "listening on http://127.0.0.1:";
    char chunk[4096];
    while (port_ == 0) {
        pollfd entry{out[0], POLLIN, 0};
        if (poll(&entry, 1, Remaining(deadline)) <= 0) {
            break;
        }
        const ssize_t got = read(out[0], chunk, sizeof(chunk));
        if (got <= 0) {
            break;
        }
        output_.append(chunk, static_cast<std::size_t>(got));
        const std::size_t at = output_.find(marker);
        if (at != std::string::npos && output_.find('\n', at) != std::string::npos) {
            port_ = static_cast<uint16_t>(std::atoi(output_.c_str() + at + marker.size()));
        }
    }
    KeepReading(out[0]);
}

HostProcess::~HostProcess() {
    if (Running()) {
        Stop(SIGKILL);
    }
    unlink(errorPath_.c_str());
}

bool HostProcess::Running() const {
    return pid_ > 0 && exitCode_ == -1 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

int HostProcess::Wait(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (exitCode_ == -1 && pid_ > 0) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() > deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitCode_;
}

int HostProcess::Stop(int signal) {
    if (pid_ > 0 && exitCode_ == -1) {
        kill(pid_, signal);
    }
    const int code = Wait(std::chrono::seconds(20));
    if (code == -1 && pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait(std::chrono::seconds(5));
    }
    return code;
}

std::string HostProcess::ErrorOutput() const {
    std::ifstream file(errorPath_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::size_t HostProcess::ResidentKilobytes() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtoull(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

}  // namespace Kolm::HostTest
