#include "clubs/clubs_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace Kolm::Client::Clubs {
namespace {

TEST(ClubsLockTest, RunsEventAtOnceWhenNoHandlerRuns) {
    ClubsLock lock;
    bool ran = false;
    EXPECT_TRUE(lock.RunEvent("event", [&] {
        ran = true;
        EXPECT_TRUE(lock.HeldByThisThread());
    }));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(lock.HeldByThisThread());
}

TEST(ClubsLockTest, DefersEventOfTheHoldingThreadUntilTheOuterHandlerEnds) {
    ClubsLock lock;
    std::vector<std::string> order;
    lock.RunEvent("outer", [&] {
        order.push_back("outer begins");
        EXPECT_FALSE(lock.RunEvent("nested", [&] { order.push_back("nested"); }));
        EXPECT_EQ(lock.DeferredCount(), 1u);
        order.push_back("outer ends");
    });
    EXPECT_EQ(order, (std::vector<std::string>{"outer begins", "outer ends", "nested"}));
    EXPECT_FALSE(lock.HeldByThisThread());
}

TEST(ClubsLockTest, DeferredEventsRunInArrivalOrderAndMayDeferMore) {
    ClubsLock lock;
    std::vector<std::string> order;
    lock.RunEvent("outer", [&] {
        lock.RunEvent("first", [&] {
            order.push_back("first");
            lock.RunEvent("third", [&] { order.push_back("third"); });
        });
        lock.RunEvent("second", [&] { order.push_back("second"); });
    });
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "third"}));
}

TEST(ClubsLockTest, RefusesRequestOnTheHoldingThread) {
    ClubsLock lock;
    lock.RunEvent("outer", [&] {
        ClubsLock::RequestScope nested(lock, "GET /zun-clubs/v1/clubs");
        EXPECT_FALSE(nested.Entered());
        // The refused scope must not release the outer handler's hold.
    });
    EXPECT_FALSE(lock.HeldByThisThread());
    ClubsLock::RequestScope later(lock, "GET /zun-clubs/v1/clubs");
    EXPECT_TRUE(later.Entered());
}

TEST(ClubsLockTest, RequestScopeHoldsUntilItEndsAndThenRunsDeferredEvents) {
    ClubsLock lock;
    std::vector<std::string> order;
    {
        ClubsLock::RequestScope scope(lock, "PATCH /x");
        ASSERT_TRUE(scope.Entered());
        EXPECT_TRUE(lock.HeldByThisThread());
        lock.RunEvent("event", [&] { order.push_back("event"); });
        order.push_back("request");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"request", "event"}));
    EXPECT_FALSE(lock.HeldByThisThread());
}

// Handlers of different threads wait for each other: none ever sees another inside.
TEST(ClubsLockThreadsTest, HandlersOfSeveralThreadsNeverOverlap) {
    ClubsLock lock;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    long counter = 0;  // deliberately unguarded but for the clubs lock
    auto work = [&] {
        if (inside.fetch_add(1) != 0) {
            overlaps.fetch_add(1);
        }
        ++counter;
        std::this_thread::yield();
        inside.fetch_sub(1);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                if (t % 2 == 0) {
                    lock.RunEvent("event", work);
                } else {
                    ClubsLock::RequestScope scope(lock, "GET /x");
                    EXPECT_TRUE(scope.Entered());
                    work();
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(counter, 2000);
}

}  // namespace
}  // namespace Kolm::Client::Clubs
