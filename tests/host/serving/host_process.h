// zun-clubs-host started as a child process, the way a tester starts it from a shell.
//
// The program is the host built with the tests unless ZC_HOST_PROGRAM names another, and
// ZC_HOST_LAUNCHER names a program that runs it (Wine's loader for the Windows build, a *.exe:
// the child then runs `launcher program arguments...`). The same tests so prove the Windows
// program.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace Kolm::HostTest {

// The host program the tests start (ZC_HOST_PROGRAM, else the one built with them).
std::string HostProgram();
// The program that runs the host, "" when it runs by itself (ZC_HOST_LAUNCHER).
std::string HostLauncher();
// Whether `program` is a Windows one (named *.exe), which Wine runs as the launcher.
bool WindowsProgram(const std::string& program);
// Whether HostProgram() is a Windows one.
bool WindowsHost();
// The file name of the plugin library as the host's platform names it.
std::string PluginFileName();
// A path the host printed, in this system's form: a Windows program under Wine sees this
// system's root as drive Z: and may write its separators either way.
std::string PathOnThisSystem(const std::string& printed);

// zun-clubs-host started with `arguments` (plus --port 0 unless given); waits for its
// "listening on" line unless told to return at once (as a script that polls the port would).
class HostProcess {
  public:
    enum class Start { WaitForPortLine, AtOnce };
    // `program` is HostProgram() unless given.
    explicit HostProcess(std::vector<std::string> arguments,
                         bool addPort = true,
                         Start start = Start::WaitForPortLine,
                         std::string program = {});
    // Fails the test when the output holds a crash report of the launcher's (Wine's exit
    // status after a crash is not reliable).
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // The signal that asks the host to stop as `signal` asks a POSIX program: SIGINT for a
    // Windows program, since Wine turns SIGINT into Ctrl-C but ends the program at once on
    // SIGTERM.
    static int StopSignal(int signal);
    // How the host names the stop that `signal` asks for in its messages ("SIGINT", or
    // "Ctrl-C" for a Windows program, which receives SIGINT as Ctrl-C).
    static std::string StopName(int signal);

    uint16_t Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    bool Running() const;
    // Sends `signal` and waits for the exit; the exit status, or -1 when killed otherwise.
    int Stop(int signal);
    // Waits for an exit without signalling (for hosts that fail at start).
    int Wait(std::chrono::milliseconds timeout);
    // What the host printed so far (up to its port line), lines ended by "\n" alone: a Windows
    // program's "\r\n" is read as one.
    std::string Output() const;
    std::string ErrorOutput() const;
    // The process's resident memory (VmRSS) in kilobytes, 0 when it cannot be read. Under Wine
    // the process keeps its pid: the loader execs the Windows program in place.
    std::size_t ResidentKilobytes() const;

  private:
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    std::string output_;
    std::string errorPath_;
    int exitCode_ = -1;
    bool windows_ = false;
};

}  // namespace Kolm::HostTest
