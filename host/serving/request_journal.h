// RequestJournal: every call the plugin makes to the services around it (the clubs web service
// over HTTP, the simulated platform plugins through remote calls), in the order they ended, so
// that a tester can ask "was this call made, how often, in what order" and wait until it is.
//
// An entry names the service as fault rules name it ("clubs", "summoner", ...), the method, the
// path and query, both bodies, the status, how long the call took, the id of the fault rule
// that applied, and its cause: the REST request or push delivery the host was handling on the
// thread that made the call (the plugin makes no thread of its own, so the thread tells).
//
// Bounded in bytes, since a long session makes calls without end: past `maxBytes` the oldest
// entries are dropped and counted, and a body longer than kMaxKeptBodyBytes is kept cut short
// (with its whole size). Waits are bounded by their caller and cut short by EndWaits.
//
// Thread rules: every member may be called from any thread; the observer runs with no lock held.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mutex.h"

namespace Kolm::Host {

// What the host was doing when the plugin made a call.
struct JournalCause {
    std::string kind;   // "request", "push", "host" or "none"
    uint64_t id = 0;    // one number per request or push handled, shared by its calls
    std::string label;  // "GET /zun-clubs/v1/clubs/membership", "clubs/v1/clubs/club-1"
};

// Sets the calling thread's cause for as long as it lives (scopes nest).
class JournalCauseScope {
  public:
    JournalCauseScope(std::string_view kind, std::string_view label);
    ~JournalCauseScope();
    JournalCauseScope(const JournalCauseScope&) = delete;
    JournalCauseScope& operator=(const JournalCauseScope&) = delete;

    // The calling thread's innermost cause, or kind "none".
    static JournalCause Current();

  private:
    JournalCause cause_;
    const JournalCauseScope* outer_;
};

struct JournalEntry {
    uint64_t id = 0;
    std::string service;  // as fault rules name it; "other" for a path no simulated plugin has
    std::string method;
    std::string path;
    std::string query;  // without "?"
    std::string requestBody;
    std::size_t requestBodyBytes = 0;  // before any cut
    uint32_t status = 0;               // 0: no answer
    std::string answerBody;
    std::size_t answerBodyBytes = 0;
    std::string error;  // the transport's or the plugin's error text, if any
    double durationMs = 0;
    std::string faultRuleId;  // empty: no rule applied
    JournalCause cause;
};

// Which entries a reader wants; an empty field matches everything.
struct JournalFilter {
    std::string service;  // as fault rules name it; "other" for a path no simulated plugin has
    std::string method;
    std::vector<std::string> pathPattern;  // as fault rules match paths; empty: any path
    uint64_t since = 0;                    // entries with a greater id

    bool Matches(const JournalEntry& entry) const;
};

// A read of the journal: the matching entries kept, oldest first.
struct JournalRead {
    std::vector<JournalEntry> entries;
    uint64_t dropped = 0;  // entries dropped for room since the last clear
    uint64_t lastId = 0;   // the newest id given so far (0: none)
    bool complete = true;  // for Wait: the count was reached
};

class RequestJournal {
  public:
    static constexpr std::size_t kDefaultMaxBytes = 4 * 1024 * 1024;
    static constexpr std::size_t kMaxKeptBodyBytes = 64 * 1024;

    // Told of each new entry (to publish it) and of each clear (null entry).
    using Observer = std::function<void(const JournalEntry* entry)>;

    explicit RequestJournal(std::size_t maxBytes = kDefaultMaxBytes, Observer observer = {});

    // Stores a finished call under the next id; bodies are cut to kMaxKeptBodyBytes.
    void Record(JournalEntry entry);
    JournalRead Read(const JournalFilter& filter) const;
    // Blocks until `count` entries match or `timeout` passes (or EndWaits): the matches either way.
    JournalRead Wait(const JournalFilter& filter,
                     std::size_t count,
                     std::chrono::milliseconds timeout);
    std::optional<JournalEntry> Find(uint64_t id) const;
    void Clear();
    // Ends every wait under way and makes later ones return at once; for a host that stops.
    void EndWaits();

    std::size_t KeptBytes() const;

  private:
    JournalRead ReadLocked(const JournalFilter& filter) const ZC_REQUIRES(mutex_);

    const std::size_t maxBytes_;
    const Observer observer_;
    mutable Platform::Mutex mutex_;
    Platform::CondVar recorded_;
    std::deque<JournalEntry> entries_ ZC_GUARDED_BY(mutex_);
    std::size_t bytes_ ZC_GUARDED_BY(mutex_) = 0;
    uint64_t nextId_ ZC_GUARDED_BY(mutex_) = 1;
    uint64_t dropped_ ZC_GUARDED_BY(mutex_) = 0;
    bool endWaits_ ZC_GUARDED_BY(mutex_) = false;
};

// The bytes an entry is counted for against the bound.
std::size_t JournalEntryBytes(const JournalEntry& entry);

// Times one outgoing call and records it when it goes out of scope; with a null journal it
// does nothing. The cause is the calling thread's when the call starts.
class JournalCall {
  public:
    JournalCall(RequestJournal* journal,
                std::string_view service,
                std::string_view method,
                std::string_view target);
    ~JournalCall();
    JournalCall(const JournalCall&) = delete;
    JournalCall& operator=(const JournalCall&) = delete;

    void RequestBody(std::string_view body);
    void FaultRule(std::string_view id) {
        if (journal_)
            entry_.faultRuleId = id;
    }
    void Answer(uint32_t status, std::string_view body, std::string_view error);

  private:
    RequestJournal* const journal_;
    JournalEntry entry_;
    const std::chrono::steady_clock::time_point start_;
};

}  // namespace Kolm::Host
