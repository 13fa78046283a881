// RecentRecords: the newest records of what a simulated plugin noted per call (requests
// received, ids read, records posted), kept up to a limit so that a host left running for days
// holds a bounded record. The default limit covers what a test scenario reads back; a test that
// reads more sets its own limit (SimulatedPlugin::SetRecordLimit).
//
// Not synchronised: the owner guards it with its own mutex.
#pragma once

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

namespace Kolm::Host {

template <class T>
class RecentRecords {
  public:
    static constexpr std::size_t kDefaultLimit = 256;

    void Add(T record) {
        records_.push_back(std::move(record));
        Trim();
    }
    // Drops the oldest records beyond `limit` now and from then on.
    void SetLimit(std::size_t limit) {
        limit_ = limit;
        Trim();
    }
    // Oldest first.
    const std::deque<T>& Items() const { return records_; }
    std::vector<T> ToVector() const { return std::vector<T>(records_.begin(), records_.end()); }

  private:
    void Trim() {
        while (records_.size() > limit_) {
            records_.pop_front();
        }
    }

    std::deque<T> records_;
    std::size_t limit_ = kDefaultLimit;
};

}  // namespace Kolm::Host
