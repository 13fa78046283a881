// Mutex, MutexLock and CondVar: std::mutex and std::condition_variable with the annotations of
// thread_annotations.h, so that clang checks which fields each mutex guards. The mutex also
// knows which thread holds it, so a function that relies on a lock its caller took can say so
// with AssertHeld (checked in builds without NDEBUG, and by the analysis at compile time).
#pragma once

#include <atomic>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/thread_annotations.h"

namespace Kolm::Platform {

class ZC_CAPABILITY("mutex") Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock() ZC_ACQUIRE() {
        mutex_.lock();
        owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    void Unlock() ZC_RELEASE() {
        owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.unlock();
    }
    bool HeldByThisThread() const {
        return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }
    void AssertHeld() const ZC_ASSERT_CAPABILITY(this) { assert(HeldByThisThread()); }

  private:
    std::mutex mutex_;
    // Written only by the holder; read by AssertHeld, which only asks whether it is this thread.
    std::atomic<std::thread::id> owner_{};
};

// Holds a Mutex for the scope.
class ZC_SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ZC_ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
    ~MutexLock() ZC_RELEASE() { mutex_.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    Mutex& mutex_;
};

// A condition variable for waits under a Mutex; the caller holds that mutex around every wait,
// and the predicate runs with it held.
class CondVar {
  public:
    CondVar() = default;
    CondVar(const CondVar&) = delete;
    CondVar& operator=(const CondVar&) = delete;

    void Wait(Mutex& mutex) ZC_REQUIRES(mutex) {
        Relock lock{mutex};
        condition_.wait(lock);
    }
    // Waits until `predicate` holds or `timeout` passed; returns the predicate's last value.
    template <typename Rep, typename Period, typename Predicate>
    bool WaitFor(Mutex& mutex, std::chrono::duration<Rep, Period> timeout, Predicate predicate)
        ZC_REQUIRES(mutex) {
        Relock lock{mutex};
        return condition_.wait_for(lock, timeout, predicate);
    }
    template <typename Clock, typename Duration, typename Predicate>
    bool WaitUntil(Mutex& mutex,
                   std::chrono::time_point<Clock, Duration> deadline,
                   Predicate predicate) ZC_REQUIRES(mutex) {
        Relock lock{mutex};
        return condition_.wait_until(lock, deadline, predicate);
    }
    void NotifyOne() { condition_.notify_one(); }
    void NotifyAll() { condition_.notify_all(); }

  private:
    // What the wait releases and takes again: the Mutex itself, so that it keeps knowing its
    // holder. The analysis sees the mutex held across the whole wait, as the caller does.
    struct Relock {
        Mutex& mutex;
        void lock() ZC_NO_THREAD_SAFETY_ANALYSIS { mutex.Lock(); }
        void unlock() ZC_NO_THREAD_SAFETY_ANALYSIS { mutex.Unlock(); }
    };
    std::condition_variable_any condition_;
};

}  // namespace Kolm::Platform
