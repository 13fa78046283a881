// HostProcess itself, as the Windows build's runs need it: the program started through a
// launcher with its arguments untouched, a Windows program's output and stop request, and
// Wine's crash report failing the test. Stand-in programs are shell scripts; the test program
// runs them without the launcher it may have been given.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/host/serving/host_process.h"
#include "tests/host/serving/http_test_client.h"

namespace Kolm::HostTest {
namespace {

namespace fs = std::filesystem;

// Sets (or, given nothing, removes) an environment variable for its lifetime.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* before = std::getenv(name)) {
            before_ = before;
        }
        Apply(value);
    }
    ~ScopedEnvironment() { Apply(before_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    void Apply(const std::optional<std::string>& value) {
        if (value) {
            setenv(name_, value->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> before_;
};

// An executable shell script of that name in a folder of this test process's own.
fs::path WriteScript(const std::string& name, const std::string& body) {
    const fs::path folder =
        fs::path(testing::TempDir()) / ("zc_host_launcher_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path path = folder / name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    return path;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class HostProcessLauncher : public ::testing::Test {
  protected:
    void TearDown() override {
        fs::remove_all(fs::path(testing::TempDir()) /
                       ("zc_host_launcher_" + std::to_string(getpid())));
    }
};

TEST_F(HostProcessLauncher, RunsTheHostThroughItWithTheArgumentsUntouched) {
    // Records what it was given, then runs it through the launcher this run was given, if any.
    const fs::path record =
        fs::path(testing::TempDir()) / ("zc_launcher_argv_" + std::to_string(getpid()));
    const std::string inner = HostLauncher().empty() ? "" : "'" + HostLauncher() + "' ";
    const fs::path launcher =
        WriteScript("launcher", "printf '%s\\n' \"$@\" > '" + record.string() + "'\nexec " + inner +
                                    "\"$@\"\n");
    const ScopedEnvironment through("ZC_HOST_LAUNCHER", launcher.string());
    {
        HostProcess host({"--quiet", "--summoner-name", "Two Words"});
        ASSERT_NE(host.Port(), 0) << host.ErrorOutput();
        EXPECT_EQ(Request(host.Port(), "GET", "/zun-clubs/v1/clubs/membership").status, 200);
        EXPECT_EQ(host.Stop(HostProcess::StopSignal(SIGTERM)), 0) << host.ErrorOutput();
    }
    EXPECT_EQ(ReadFile(record),
              HostProgram() + "\n--port\n0\n--quiet\n--summoner-name\nTwo Words\n");
    fs::remove(record);
}

TEST_F(HostProcessLauncher, AWindowsProgramsLinesEndInANewlineAlone) {
    const ScopedEnvironment noLauncher("ZC_HOST_LAUNCHER", std::nullopt);
    const fs::path program =
        WriteScript("fake-host.exe",
                    "printf 'zun-clubs-host: listening on http://127.0.0.1:4321\\r\\nnext\\r\\n'\n"
                    "printf 'zun-clubs-host: stopped\\r\\nbare\\rreturn\\r\\n' >&2\n");
    HostProcess host({}, false, HostProcess::Start::WaitForPortLine, program.string());
    EXPECT_EQ(host.Port(), 4321);
    EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 0);
    EXPECT_EQ(host.Output().substr(0, 51), "zun-clubs-host: listening on http://127.0.0.1:4321\n");
    EXPECT_EQ(host.ErrorOutput(), "zun-clubs-host: stopped\nbare\rreturn\n");
}

TEST_F(HostProcessLauncher, SigtermToAWindowsProgramFailsTheTest) {
    const ScopedEnvironment noLauncher("ZC_HOST_LAUNCHER", std::nullopt);
    const fs::path program = WriteScript(
        "waiting-host.exe",
        "printf 'zun-clubs-host: listening on http://127.0.0.1:4321\\n'\nexec sleep 600\n");
    HostProcess host({}, false, HostProcess::Start::WaitForPortLine, program.string());
    ASSERT_EQ(host.Port(), 4321);
    EXPECT_NONFATAL_FAILURE(host.Stop(SIGTERM),
                            "SIGTERM ends a Windows program under Wine without its shutdown; "
                            "stop it with HostProcess::StopSignal(SIGTERM)");
}

TEST_F(HostProcessLauncher, WinesCrashReportFailsTheTestThoughTheExitStatusIsZero) {
    const ScopedEnvironment noLauncher("ZC_HOST_LAUNCHER", std::nullopt);
    for (const std::string report :
         {"wine: Unhandled page fault on read access to 0000000000000000 at address "
          "0000000140001234 (thread 0024), starting debugger...",
          "wine client error:24: write: Bad file descriptor"}) {
        const fs::path program = WriteScript("crashing-host", "echo '" + report + "' >&2\n");
        EXPECT_NONFATAL_FAILURE(
            {
                HostProcess host({}, false, HostProcess::Start::AtOnce, program.string());
                EXPECT_EQ(host.Wait(std::chrono::seconds(20)), 0);
            },
            "the host crashed under Wine:\n" + report + "\n");
    }
}

TEST_F(HostProcessLauncher, APathAWindowsHostPrintsIsReadAsTheUnixPathUnderDriveZ) {
    const ScopedEnvironment program("ZC_HOST_PROGRAM", "/opt/zc/zun-clubs-host.exe");
    EXPECT_TRUE(WindowsHost());
    EXPECT_EQ(HostProcess::StopSignal(SIGTERM), SIGINT);
    EXPECT_EQ(PluginFileName(), "zun-clubs.dll");
    EXPECT_EQ(PathOnThisSystem("Z:\\tmp\\host\\plugins/zun-clubs/zun-clubs.dll"),
              "/tmp/host/plugins/zun-clubs/zun-clubs.dll");
    EXPECT_EQ(PathOnThisSystem("C:\\windows\\temp"), "C:/windows/temp");
}

TEST_F(HostProcessLauncher, APosixHostKeepsItsSignalsAndPaths) {
    const ScopedEnvironment program("ZC_HOST_PROGRAM", "/opt/zc/zun-clubs-host");
    EXPECT_FALSE(WindowsHost());
    EXPECT_EQ(HostProcess::StopSignal(SIGTERM), SIGTERM);
    EXPECT_EQ(PluginFileName(), "libzun-clubs.so");
    EXPECT_EQ(PathOnThisSystem("Z:\\odd\\name"), "Z:\\odd\\name");
}

}  // namespace
}  // namespace Kolm::HostTest
