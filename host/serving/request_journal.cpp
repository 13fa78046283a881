#include "host/serving/request_journal.h"

#include <atomic>
#include <utility>

#include "host/faults/fault_rule.h"

namespace Kolm::Host {
namespace {

constinit thread_local const JournalCauseScope* innermostCause = nullptr;
std::atomic<uint64_t> nextCauseId{1};

// The length of the longest prefix of `text` within `limit` bytes that ends between UTF-8
// sequences, so that a cut body stays readable text.
std::size_t CutAt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return cut;
}

}  // namespace

JournalCauseScope::JournalCauseScope(std::string_view kind, std::string_view label)
    : cause_{std::string(kind), nextCauseId++, std::string(label)}, outer_(innermostCause) {
    innermostCause = this;
}

JournalCauseScope::~JournalCauseScope() {
    innermostCause = outer_;
}

JournalCause JournalCauseScope::Current() {
    return innermostCause != nullptr ? innermostCause->cause_ : JournalCause{"none", 0, {}};
}

bool JournalFilter::Matches(const JournalEntry& entry) const {
    return entry.id > since && (service.empty() || service == entry.service) &&
           (method.empty() || method == entry.method) &&
           (pathPattern.empty() || PathMatchesPattern(pathPattern, entry.path));
}

std::size_t JournalEntryBytes(const JournalEntry& entry) {
    return sizeof(JournalEntry) + entry.service.size() + entry.method.size() + entry.path.size() +
           entry.query.size() + entry.requestBody.size() + entry.answerBody.size() +
           entry.error.size() + entry.faultRuleId.size() + entry.cause.kind.size() +
           entry.cause.label.size();
}

RequestJournal::RequestJournal(std::size_t maxBytes, Observer observer)
    : maxBytes_(maxBytes), observer_(std::move(observer)) {}

void RequestJournal::Record(JournalEntry entry) {
    entry.requestBody.resize(CutAt(entry.requestBody, kMaxKeptBodyBytes));
    entry.answerBody.resize(CutAt(entry.answerBody, kMaxKeptBodyBytes));
    entry.error.resize(CutAt(entry.error, kMaxKeptBodyBytes));
    const std::size_t bytes = JournalEntryBytes(entry);
    {
        const Platform::MutexLock lock(mutex_);
        entry.id = nextId_++;
        while (!entries_.empty() && bytes_ + bytes > maxBytes_) {
            bytes_ -= JournalEntryBytes(entries_.front());
            entries_.pop_front();
            ++dropped_;
        }
        entries_.push_back(entry);
        bytes_ += bytes;
        recorded_.NotifyAll();
    }
    if (observer_) {
        observer_(&entry);
    }
}

JournalRead RequestJournal::ReadLocked(const JournalFilter& filter) const {
    JournalRead read;
    for (const JournalEntry& entry : entries_) {
        if (filter.Matches(entry)) {
            read.entries.push_back(entry);
        }
    }
    read.dropped = dropped_;
    read.lastId = nextId_ - 1;
    return read;
}

JournalRead RequestJournal::Read(const JournalFilter& filter) const {
    const Platform::MutexLock lock(mutex_);
    return ReadLocked(filter);
}

JournalRead RequestJournal::Wait(const JournalFilter& filter,
                                 std::size_t count,
                                 std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    const Platform::MutexLock lock(mutex_);
    const auto matching = [&]() ZC_REQUIRES(mutex_) {
        std::size_t found = 0;
        for (const JournalEntry& entry : entries_) {
            found += filter.Matches(entry) ? 1 : 0;
        }
        return found;
    };
    recorded_.WaitUntil(mutex_, until,
                        [&]() ZC_REQUIRES(mutex_) { return endWaits_ || matching() >= count; });
    JournalRead read = ReadLocked(filter);
    read.complete = read.entries.size() >= count;
    return read;
}

std::optional<JournalEntry> RequestJournal::Find(uint64_t id) const {
    const Platform::MutexLock lock(mutex_);
    for (const JournalEntry& entry : entries_) {
        if (entry.id == id) {
            return entry;
        }
    }
    return std::nullopt;
}

void RequestJournal::Clear() {
    {
        const Platform::MutexLock lock(mutex_);
        entries_.clear();
        bytes_ = 0;
        dropped_ = 0;
    }
    if (observer_) {
        observer_(nullptr);
    }
}

void RequestJournal::EndWaits() {
    const Platform::MutexLock lock(mutex_);
    endWaits_ = true;
    recorded_.NotifyAll();
}

std::size_t RequestJournal::KeptBytes() const {
    const Platform::MutexLock lock(mutex_);
    return bytes_;
}

JournalCall::JournalCall(RequestJournal* journal,
                         std::string_view service,
                         std::string_view method,
                         std::string_view target)
    : journal_(journal), start_(std::chrono::steady_clock::now()) {
    if (journal_ == nullptr) {
        return;
    }
    const std::string_view noFragment = target.substr(0, target.find('#'));
    const std::size_t question = noFragment.find('?');
    entry_.service = service;
    entry_.method = method;
    entry_.path = noFragment.substr(0, question);
    if (question != std::string_view::npos) {
        entry_.query = noFragment.substr(question + 1);
    }
    entry_.cause = JournalCauseScope::Current();
}

JournalCall::~JournalCall() {
    if (journal_ == nullptr) {
        return;
    }
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - start_;
    entry_.durationMs = took.count();
    // Runs inside the host table's functions, which no exception may leave: an entry that
    // cannot be stored (no memory) is lost rather than the call.
    try {
        journal_->Record(std::move(entry_));
    } catch (...) {
    }
}

void JournalCall::RequestBody(std::string_view body) {
    if (journal_ != nullptr) {
        entry_.requestBodyBytes = body.size();
        entry_.requestBody = body.substr(0, CutAt(body, RequestJournal::kMaxKeptBodyBytes));
    }
}

void JournalCall::Answer(uint32_t status, std::string_view body, std::string_view error) {
    if (journal_ != nullptr) {
        entry_.status = status;
        entry_.answerBodyBytes = body.size();
        entry_.answerBody = body.substr(0, CutAt(body, RequestJournal::kMaxKeptBodyBytes));
        entry_.error = error.substr(0, CutAt(error, RequestJournal::kMaxKeptBodyBytes));
    }
}

}  // namespace Kolm::Host
