// The annotated Mutex knows its holder (so AssertHeld means something), and CondVar's waits
// keep that knowledge right while the mutex is released and taken again inside the wait.
#include "platform/mutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace Kolm::Platform {
namespace {

using namespace std::chrono_literals;

bool HeldOnAnotherThread(const Mutex& mutex) {
    bool held = true;
    std::thread([&] { held = mutex.HeldByThisThread(); }).join();
    return held;
}

TEST(PlatformMutex, OnlyTheHoldingThreadHoldsIt) {
    Mutex mutex;
    EXPECT_FALSE(mutex.HeldByThisThread());
    {
        MutexLock lock(mutex);
        EXPECT_TRUE(mutex.HeldByThisThread());
        EXPECT_FALSE(HeldOnAnotherThread(mutex));
    }
    EXPECT_FALSE(mutex.HeldByThisThread());
}

TEST(PlatformCondVar, AWaitEndsOnItsPredicateWithTheMutexHeld) {
    Mutex mutex;
    CondVar changed;
    bool ready = false;
    std::thread setter([&] {
        MutexLock lock(mutex);
        ready = true;
        changed.NotifyAll();
    });
    bool heldInPredicate = true;
    bool result = false;
    {
        MutexLock lock(mutex);
        result = changed.WaitFor(mutex, 60s, [&] {
            heldInPredicate = heldInPredicate && mutex.HeldByThisThread();
            return ready;
        });
        EXPECT_TRUE(mutex.HeldByThisThread());
    }
    setter.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(heldInPredicate);
}

TEST(PlatformCondVar, AWaitThatTimesOutReportsThePredicateAndKeepsTheMutex) {
    Mutex mutex;
    CondVar never;
    MutexLock lock(mutex);
    EXPECT_FALSE(never.WaitFor(mutex, 5ms, [] { return false; }));
    EXPECT_TRUE(mutex.HeldByThisThread());
    EXPECT_FALSE(HeldOnAnotherThread(mutex));
}

}  // namespace
}  // namespace Kolm::Platform
