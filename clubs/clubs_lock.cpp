#include "clubs/clubs_lock.h"

#include "logging/logger.h"

namespace Kolm::Client::Clubs {

bool ClubsLock::RunEvent(const std::string& label, std::function<void()> work) {
    if (HeldByThisThread()) {
        Log(kLogOkay, kLogGroupGen,
            "zun-clubs: Deferring %s until the running clubs handler has finished", label.c_str());
        deferred_.push_back({label, std::move(work)});
        return false;
    }
    Enter();
    work();
    Leave();
    return true;
}

ClubsLock::RequestScope::RequestScope(ClubsLock& lock, const char* label) : lock_(lock) {
    if (lock.HeldByThisThread()) {
        Log(kLogError, kLogGroupDbg,
            "zun-clubs: Refusing %s: another clubs handler is waiting on this thread", label);
        return;
    }
    lock.Enter();
    entered_ = true;
}

ClubsLock::RequestScope::~RequestScope() {
    if (entered_) {
        lock_.Leave();
    }
}

bool ClubsLock::HeldByThisThread() const {
    return owner_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

std::size_t ClubsLock::DeferredCount() const {
    return HeldByThisThread() ? deferred_.size() : 0;
}

void ClubsLock::Enter() {
    mutex_.lock();
    owner_.store(std::this_thread::get_id(), std::memory_order_release);
}

void ClubsLock::Leave() {
    // Deferred handlers run in arrival order; each may defer further ones behind it.
    while (!deferred_.empty()) {
        DeferredWork next = std::move(deferred_.front());
        deferred_.pop_front();
        next.work();
    }
    owner_.store(std::thread::id(), std::memory_order_release);
    mutex_.unlock();
}

}  // namespace Kolm::Client::Clubs
