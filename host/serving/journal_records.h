// The request journal's records as its answers and events write them, described once: an
// entry, and a read of the journal (the list, a wait, a wait that timed out). Their writers and
// OpenAPI schemas come from the maps below; the journal never reads them back.
//
// The texts are the journal's own, made fit for JSON: bytes that are not UTF-8 (a binary
// answer) become U+FFFD, and the bodies are left out of an event, which only says that a call
// was made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/rapidjson.h>

#include "host/documents/record_map.h"
#include "host/serving/request_journal.h"

namespace Kolm::Host {

class SchemaWriter;

// How long a call took, written to the microsecond ("1.204"), so that an entry reads the same
// however the clock's fractions fall.
struct JournalDuration {
    double ms = 0;
    bool operator==(const JournalDuration&) const = default;
};

struct JournalEntryText {
    uint64_t id = 0;
    std::string service;
    std::string method;
    std::string path;
    std::string query;
    uint32_t status = 0;
    std::optional<std::string> requestBody;
    std::optional<std::string> answerBody;
    std::size_t requestBodyBytes = 0;
    std::size_t answerBodyBytes = 0;
    std::optional<bool> bodiesCut;  // true or absent
    std::optional<std::string> error;
    JournalDuration durationMs;
    Nullable<std::string> faultRule;
    JournalCause cause;
};

struct JournalReadText {
    std::optional<std::string> error;
    uint64_t dropped = 0;
    uint64_t lastId = 0;
    std::vector<JournalEntryText> entries;
};

JournalEntryText ToText(const JournalEntry& entry, bool withBodies);
// `error` says why a wait ended short; empty for a read that gave what was asked.
JournalReadText ToText(JournalRead read, std::string error = {});

// The entry as JSON; without the two bodies (their sizes stay) when !withBodies.
std::string JournalEntryJson(const JournalEntry& entry, bool withBodies);
std::string JournalReadJson(JournalRead read, std::string error = {});

template <>
struct RecordMap<JournalEntryText> {
    static constexpr const char* kName = "JournalEntry";
    template <class Io>
    static void Map(Io& io, JournalEntryText& entry) {
        io.Required("id", entry.id);
        io.Required("service", entry.service,
                    Rules().Describe("clubs, or a simulated plugin as fault rules name it"));
        io.Required("method", entry.method);
        io.Required("path", entry.path);
        io.Required("query", entry.query, Rules().Describe("without the question mark"));
        io.Required("status", entry.status, Rules().Describe("0 when no answer came"));
        io.Optional("requestBody", entry.requestBody,
                    Rules().Describe("left out of the event stream's entries"));
        io.Optional("answerBody", entry.answerBody,
                    Rules().Describe("left out of the event stream's entries"));
        io.Required("requestBodyBytes", entry.requestBodyBytes, Rules().Describe("before any cut"));
        io.Required("answerBodyBytes", entry.answerBodyBytes, Rules().Describe("before any cut"));
        io.Optional("bodiesCut", entry.bodiesCut, Rules().Describe("a body was kept cut short"));
        io.Optional("error", entry.error,
                    Rules().Describe("the transport's or the plugin's error text"));
        io.Required("durationMs", entry.durationMs);
        io.Required("faultRule", entry.faultRule, Rules().Describe("the id of the rule applied"));
        io.Required("cause", entry.cause);
    }
};

inline constexpr const char* kJournalCauseKinds[] = {"request", "push", "host", "none"};

// What the host was doing when the plugin made the call.
template <>
struct RecordMap<JournalCause> {
    template <class Io>
    static void Map(Io& io, JournalCause& cause) {
        io.Required("kind", cause.kind, Rules().Choices(kJournalCauseKinds));
        io.Required("id", cause.id,
                    Rules().Describe("one number per request or push, shared by its calls"));
        io.Required("label", cause.label);
    }
};

template <>
struct RecordMap<JournalReadText> {
    static constexpr const char* kName = "JournalRead";
    template <class Io>
    static void Map(Io& io, JournalReadText& read) {
        io.Optional("error", read.error,
                    Rules().Describe("why a wait ended before its count of calls was made"));
        io.Required("dropped", read.dropped,
                    Rules().Describe("entries dropped for room since the last clear"));
        io.Required("lastId", read.lastId, Rules().Describe("the newest id given so far; 0: none"));
        io.Required("entries", read.entries,
                    Rules().Describe("the matching entries, oldest first"));
    }
};

template <>
struct ValueMap<JournalDuration> {
    template <class Writer>
    static void Write(Writer& w, const JournalDuration& duration) {
        const std::string text = Text(duration);
        w.RawValue(text.data(), text.size(), rapidjson::kNumberType);
    }
    static void Describe(SchemaWriter& schema);

  private:
    static std::string Text(const JournalDuration& duration);
};

}  // namespace Kolm::Host
