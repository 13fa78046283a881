// SIGINT and SIGTERM, blocked in every thread and taken by sigwait on a thread of their own.
#include <pthread.h>
#include <signal.h>

#include <thread>

#include "platform/mutex.h"
#include "platform/stop_requests.h"

namespace Kolm::Platform {

struct StopRequests::State {
    sigset_t signals{};
    LoadingStop stoppedWhileLoading = nullptr;
    Mutex mutex;
    CondVar arrived;
    bool serving ZC_GUARDED_BY(mutex) = false;
    bool closing ZC_GUARDED_BY(mutex) = false;
    int received ZC_GUARDED_BY(mutex) = 0;
    std::thread waiter;

    void Wait() {
        int signal = 0;
        sigwait(&signals, &signal);
        MutexLock lock(mutex);
        if (closing) {
            return;  // the program is ending on its own
        }
        if (!serving) {
            stoppedWhileLoading(Name(signal));
            return;
        }
        received = signal;
        arrived.NotifyAll();
    }

    static const char* Name(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }
};

StopRequests::StopRequests(LoadingStop stoppedWhileLoading) : state_(new State) {
    sigemptyset(&state_->signals);
    sigaddset(&state_->signals, SIGINT);
    sigaddset(&state_->signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr);
    // A write to a connection the peer has closed must fail with EPIPE, not end the program.
    signal(SIGPIPE, SIG_IGN);
    state_->stoppedWhileLoading = stoppedWhileLoading;
    state_->waiter = std::thread([state = state_] { state->Wait(); });
}

StopRequests::~StopRequests() {
    bool waiting = false;
    {
        MutexLock lock(state_->mutex);
        state_->closing = true;
        waiting = state_->received == 0;
    }
    if (waiting) {
        // Taken by the waiter's sigwait, which then sees `closing`; harmless after it returned.
        pthread_kill(state_->waiter.native_handle(), SIGTERM);
    }
    state_->waiter.join();
    delete state_;
}

void StopRequests::Serving() {
    MutexLock lock(state_->mutex);
    state_->serving = true;
}

const char* StopRequests::WaitForStop() {
    MutexLock lock(state_->mutex);
    while (state_->received == 0) {
        state_->arrived.Wait(state_->mutex);
    }
    return State::Name(state_->received);
}

}  // namespace Kolm::Platform
