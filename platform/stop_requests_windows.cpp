// The console's control events, taken by a handler that the system runs on a thread of its own
// for each event.
#include <windows.h>

#include "platform/mutex.h"
#include "platform/stop_requests.h"

namespace Kolm::Platform {

// The handler has no context argument, so the state is the process's one; it is never freed,
// because a handler thread may still be returning from it while the program ends.
struct StopRequests::State {
    LoadingStop stoppedWhileLoading = nullptr;
    Mutex mutex;
    CondVar changed;
    bool serving ZC_GUARDED_BY(mutex) = false;
    bool finished ZC_GUARDED_BY(mutex) = false;  // the program has stopped
    const char* received ZC_GUARDED_BY(mutex) = nullptr;
};

namespace {

StopRequests::State* shared = nullptr;  // set before the handler is installed

const char* EventName(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return "Ctrl-C";
        case CTRL_BREAK_EVENT:
            return "Ctrl-Break";
        case CTRL_CLOSE_EVENT:
            return "console close";
        case CTRL_LOGOFF_EVENT:
            return "logoff";
        case CTRL_SHUTDOWN_EVENT:
            return "shutdown";
        default:
            return nullptr;
    }
}

// After Ctrl-C and Ctrl-Break the process goes on, so the handler returns at once; after the
// others the system ends the process once the handler returns (or a few seconds have passed).
bool EndsWhenHandled(DWORD event) {
    return event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
}

BOOL WINAPI OnControlEvent(DWORD event) {
    const char* name = EventName(event);
    if (name == nullptr) {
        return FALSE;
    }
    StopRequests::State& state = *shared;
    MutexLock lock(state.mutex);
    if (!state.serving && !state.finished) {
        state.stoppedWhileLoading(name);
        return TRUE;
    }
    if (state.received == nullptr) {
        state.received = name;
        state.changed.NotifyAll();
    }
    while (EndsWhenHandled(event) && !state.finished) {
        state.changed.Wait(state.mutex);
    }
    return TRUE;
}

}  // namespace

StopRequests::StopRequests(LoadingStop stoppedWhileLoading) {
    if (shared == nullptr) {
        shared = new State;
    }
    state_ = shared;
    state_->stoppedWhileLoading = stoppedWhileLoading;
    // A program started in a new process group has Ctrl-C switched off; it stops this one too.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(&OnControlEvent, TRUE);
}

StopRequests::~StopRequests() {
    MutexLock lock(state_->mutex);
    state_->finished = true;
    state_->changed.NotifyAll();
}

void StopRequests::Serving() {
    MutexLock lock(state_->mutex);
    state_->serving = true;
}

const char* StopRequests::WaitForStop() {
    MutexLock lock(state_->mutex);
    while (state_->received == nullptr) {
        state_->changed.Wait(state_->mutex);
    }
    return state_->received;
}

}  // namespace Kolm::Platform
