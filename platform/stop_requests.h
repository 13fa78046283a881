// StopRequests: the ways a user or the system asks a console program to stop, taken in one
// place. On POSIX systems SIGINT and SIGTERM; on Windows the console's Ctrl-C and Ctrl-Break,
// the closing of its window, logoff and shutdown.
//
// Until Serving() a stop request calls the program's `stoppedWhileLoading` on a thread of its
// own, which is expected to end the process. Afterwards the request is handed to
// WaitForStop(), and the program stops in order. Windows ends a program shortly after the
// handler of a closed console (or a logoff or shutdown) returns, so that handler waits until
// the StopRequests object is destroyed: the program destroys it once it has stopped.
//
// Host programs only: the plugin neither links this nor installs handlers. Construct it in
// main before any other thread starts (POSIX threads inherit the blocked signals), once.
#pragma once

namespace Kolm::Platform {

class StopRequests {
  public:
    // Runs on the thread that took the request, with what arrived ("SIGINT", "Ctrl-C").
    using LoadingStop = void (*)(const char* what);

    explicit StopRequests(LoadingStop stoppedWhileLoading);
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // From now on a stop request wakes WaitForStop instead of calling `stoppedWhileLoading`.
    void Serving();
    // Blocks until a stop request arrives after Serving(); what arrived, as a short name.
    const char* WaitForStop();

    // Defined by each system's implementation.
    struct State;

  private:
    State* state_;
};

}  // namespace Kolm::Platform
