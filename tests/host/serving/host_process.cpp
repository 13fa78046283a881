#include "tests/host/serving/host_process.h"

#include "tests/host/serving/http_test_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Wine reports a crash of the Windows program with these, then may exit with status 0.
bool HoldsCrashReport(const std::string& text) {
    return text.find("wine: Unhandled") != std::string::npos ||
           text.find("wine client error:") != std::string::npos;
}

// `text` with every "\r\n" read as "\n".
std::string WithUnixLineEnds(std::string text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            text[kept++] = text[i];
        }
    }
    text.resize(kept);
    return text;
}

}  // namespace

std::string HostProgram() {
    const std::string chosen = Environment("ZC_HOST_PROGRAM");
    return chosen.empty() ? std::string(ZC_HOST_PROGRAM) : chosen;
}

std::string HostLauncher() {
    return Environment("ZC_HOST_LAUNCHER");
}

bool WindowsProgram(const std::string& program) {
    const std::string suffix = ".exe";
    if (program.size() < suffix.size()) {
        return false;
    }
    std::string end = program.substr(program.size() - suffix.size());
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == suffix;
}

bool WindowsHost() {
    return WindowsProgram(HostProgram());
}

std::string PluginFileName() {
    return WindowsHost() ? "zun-clubs.dll" : "libzun-clubs.so";
}

std::string PathOnThisSystem(const std::string& printed) {
    if (!WindowsHost()) {
        return printed;
    }
    std::string path = printed;
    if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') {
        path.erase(0, 2);
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

HostProcess::HostProcess(std::vector<std::string> arguments,
                         bool addPort,
                         Start start,
                         std::string program) {
    if (program.empty()) {
        program = HostProgram();
    }
    windows_ = WindowsProgram(program);
    if (addPort) {
        arguments.insert(arguments.begin(), {"--port", "0"});
    }
    // Built before the fork: the child of a process with threads must not allocate.
    std::string launcher = HostLauncher();
    std::vector<char*> argv;
    if (!launcher.empty()) {
        argv.push_back(launcher.data());
    }
    argv.push_back(program.data());
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    char errorTemplate[] = "/tmp/zc_host_stderr_XXXXXX";
    const int errorFd = mkstemp(errorTemplate);
    errorPath_ = errorTemplate;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // The host reads no input: it gets none, so the terminal the tests run from never
        // becomes the console of a Windows program.
        const int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, 0);
        dup2(out[1], 1);
        dup2(errorFd, 2);
        if (nothing > 2) {
            close(nothing);
        }
        if (errorFd > 2) {
            close(errorFd);
        }
        if (launcher.empty()) {
            execv(argv[0], argv.data());
        } else {
            execvp(argv[0], argv.data());
        }
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
    const std::string log = ErrorOutput();
    if (HoldsCrashReport(log)) {
        ADD_FAILURE() << "the host crashed under Wine:\n" << log;
    }
    unlink(errorPath_.c_str());
}

int HostProcess::StopSignal(int signal) {
    return WindowsHost() && signal == SIGTERM ? SIGINT : signal;
}

std::string HostProcess::StopName(int signal) {
    if (WindowsHost()) {
        return "Ctrl-C";
    }
    return signal == SIGINT ? "SIGINT" : "SIGTERM";
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
    if (windows_ && signal == SIGTERM) {
        ADD_FAILURE() << "SIGTERM ends a Windows program under Wine without its shutdown; "
                         "stop it with HostProcess::StopSignal(SIGTERM)";
    }
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

std::string HostProcess::Output() const {
    return windows_ ? WithUnixLineEnds(output_) : output_;
}

std::string HostProcess::ErrorOutput() const {
    std::ifstream file(errorPath_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return windows_ ? WithUnixLineEnds(text.str()) : text.str();
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
