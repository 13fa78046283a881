// RecentRecords: the newest records of what a simulated plugin noted per call (requests
// received, ids read, records posted), kept up to a count and a byte limit so that a host left
// running for days holds a bounded record however large the calls were. The default limits cover
// what a test scenario reads back; a test that reads more sets its own count
// (SimulatedPlugin::SetRecordLimit). The newest record is always kept, so the bytes held stay
// within the byte limit plus one record (which the size of a request bounds).
//
// A record type T has a RecordBytes(const T&) overload (see record_bytes.h) that says about how
// much memory it holds.
//
// Not synchronised: the owner guards it with its own mutex.
#pragma once

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

#include "host/simulated/record_bytes.h"

namespace Kolm::Host {

template <class T>
class RecentRecords {
  public:
    static constexpr std::size_t kDefaultLimit = 256;
    static constexpr std::size_t kDefaultByteLimit = 1024 * 1024;

    void Add(T record) {
        const std::size_t bytes = RecordBytes(record);
        records_.push_back(std::move(record));
        sizes_.push_back(bytes);
        bytes_ += bytes;
        Trim();
    }
    // Drops the oldest records beyond `limit` now and from then on.
    void SetLimit(std::size_t limit) {
        limit_ = limit;
        Trim();
    }
    // The same for the bytes they hold.
    void SetByteLimit(std::size_t bytes) {
        byteLimit_ = bytes;
        Trim();
    }
    // Drops every record; the limits stay.
    void Clear() {
        records_.clear();
        sizes_.clear();
        bytes_ = 0;
    }
    // Oldest first.
    const std::deque<T>& Items() const { return records_; }
    std::vector<T> ToVector() const { return std::vector<T>(records_.begin(), records_.end()); }
    // What the kept records hold, by RecordBytes.
    std::size_t Bytes() const { return bytes_; }

  private:
    void Trim() {
        while (records_.size() > limit_ || (records_.size() > 1 && bytes_ > byteLimit_)) {
            bytes_ -= sizes_.front();
            records_.pop_front();
            sizes_.pop_front();
        }
    }

    std::deque<T> records_;
    std::deque<std::size_t> sizes_;  // RecordBytes of each record, in the same order
    std::size_t bytes_ = 0;
    std::size_t limit_ = kDefaultLimit;
    std::size_t byteLimit_ = kDefaultByteLimit;
};

}  // namespace Kolm::Host
