// ClubsLock: the one lock that keeps the clubs handlers (REST requests, resource events and push
// messages) from overlapping.
//
// Every clubs handler reads and rewrites the held membership across synchronous calls to the
// host (web-service requests, remote calls to other plugins). While such a call waits, the host
// may run other work on the same thread, including another clubs handler. A plain mutex would
// deadlock there and a plain recursive mutex would let the nested handler see the model half
// rewritten, so the lock knows which thread holds it and treats a nested entry from that thread
// specially:
//  - an event handler (resource event, push message) is deferred: it is queued and runs, still
//    under the lock and on the same thread, right after the outer handler's own work ends;
//  - a REST handler cannot wait for a reply that has to be given now, so it is refused: the
//    caller gets false from RequestScope::Entered and answers with a failure.
// Entries from other threads simply wait for the lock.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace Kolm::Client::Clubs {

class ClubsLock {
  public:
    ClubsLock() = default;
    ClubsLock(const ClubsLock&) = delete;
    ClubsLock& operator=(const ClubsLock&) = delete;

    // Runs an event handler's work under the lock. When this thread already holds the lock the
    // work is queued (with its label, for the log) and runs once the holder's work is done; the
    // call then returns false. Otherwise it returns true after the work (and everything deferred
    // meanwhile) has run.
    bool RunEvent(const std::string& label, std::function<void()> work);

    // Holds the lock for one REST handler. Entered() is false when this thread is already inside
    // a clubs handler; the scope then holds nothing and the handler must refuse the request.
    class RequestScope {
      public:
        RequestScope(ClubsLock& lock, const char* label);
        ~RequestScope();
        RequestScope(const RequestScope&) = delete;
        RequestScope& operator=(const RequestScope&) = delete;
        bool Entered() const { return entered_; }

      private:
        ClubsLock& lock_;
        bool entered_ = false;
    };

    // True while the calling thread is inside a clubs handler.
    bool HeldByThisThread() const;

    // Number of event handlers queued behind the running handler; for tests and diagnostics.
    std::size_t DeferredCount() const;

  private:
    struct DeferredWork {
        std::string label;
        std::function<void()> work;
    };

    void Enter();
    // Runs the deferred work (which may defer more) and releases the lock.
    void Leave();

    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    // Touched only by the owning thread while it holds the mutex.
    std::deque<DeferredWork> deferred_;
};

}  // namespace Kolm::Client::Clubs
