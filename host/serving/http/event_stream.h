// EventStream: the events published to it, streamed to HTTP clients as Server-Sent Events. Each
// event gets the next number of one monotonic sequence as its id, so a client sees a gap in the ids
// when it missed events; the last events are kept, and a client that reconnects with
// "Last-Event-ID" (or ?lastEventId=N) gets the ones it missed, as far as they are still kept. An
// event reads:
//
//   id: 42
//   event: OnJsonApiEvent_zun-clubs_v1_clubs
//   data: {"data":{...},"eventType":"Update","uri":"/zun-clubs/v1/clubs/membership"}
//
// with the payload's JSON exactly as published. Filters, from the stream request's query:
// ?event=<event name> (repeatable; any of them), ?uri=<prefix> (events whose uri starts with the
// prefix). Where each change is published twice, under a specific name and under one plain
// name (Options::plainEventName), a uri filter without an event filter takes only the plain
// copy, so that each change arrives once.
//
// Stream clients do not hold a server worker: their sockets belong to this object, and one writer
// thread serves all of them without blocking. A client that does not read and falls more than
// `maxBufferedBytes` behind is disconnected (it can reconnect with its last id).
//
// Memory is bounded in bytes as well as in counts, since one event can be large:
// - the history keeps at most `historySize` events and `historyBytes` of their text, dropping the
//   oldest first;
// - an event whose text is longer than `maxKeptEventBytes` is streamed to the clients connected
//   when it happens but is not kept, so a later replay skips it and shows the gap in the ids;
// - a replay fills the client's buffer with the newest matching events that fit within
//   `maxBufferedBytes` together; the older ones are left out (a gap in the ids again, and a
//   comment line that names the first id replayed), so a replaying client that never reads holds
//   no more than a live one.
//
// Knows nothing of what the events mean: bus_event_feed.h feeds it the host's event bus.
//
// Thread rules: all members may be called from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/serving/http/http_message.h"
#include "host/serving/http/unique_socket.h"
#include "platform/mutex.h"
#include "platform/sockets.h"

namespace Kolm::Host {

class EventStream {
  public:
    struct Options {
        std::size_t maxClients = 64;
        std::size_t maxBufferedBytes = 4 * 1024 * 1024;
        std::size_t historySize = 1024;
        std::size_t historyBytes = 4 * 1024 * 1024;
        std::size_t maxKeptEventBytes = 256 * 1024;
        std::chrono::milliseconds keepAlive{15000};
        // The name under which every change is published besides its own (empty: none).
        std::string plainEventName;
    };

    struct Filter {
        std::vector<std::string> eventNames;
        std::string uriPrefix;

        std::string plainEventName;  // as in Options

        static Filter FromQuery(std::string_view query, std::string plainEventName = {});
        // `uri` is the event's uri, empty when it has none.
        bool Matches(std::string_view eventName, std::string_view uri) const;
    };

    explicit EventStream(Options options);
    EventStream() : EventStream(Options{}) {}
    ~EventStream();
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // The answer to a stream request: the stream, or 503 when `maxClients` streams are open.
    HttpResponse Open(const HttpRequest& request);

    // Streams an event: `json` is its payload and `uri` what the uri filter compares.
    void Publish(std::string_view name, std::string_view json, std::string_view uri);

    std::size_t ClientCount() const;
    uint64_t LastEventId() const;
    // How many events the history keeps now, and the bytes of their text.
    std::size_t KeptEvents() const;
    std::size_t KeptBytes() const;

    // One event in the stream's text form.
    static std::string FormatEvent(uint64_t id, std::string_view name, std::string_view json);

  private:
    struct Event {
        uint64_t id;
        std::string name;
        std::string uri;
        std::string text;  // formatted
    };
    struct Client {
        UniqueSocket socket;
        Filter filter;
        std::string pending;
        bool closing = false;
    };

    void AddClient(UniqueSocket socket, std::string head, Filter filter, uint64_t lastSeen);
    // Appends the kept events after `lastSeen` that match and fit.
    void AppendReplay(Client& client, uint64_t lastSeen) const ZC_REQUIRES(mutex_);
    void WriterLoop();
    // Sends what it can of each client's pending text.
    void Flush(Client& client) ZC_REQUIRES(mutex_);
    // Marks a client that left or failed, as its poll result shows, for closing.
    void CheckInput(Client& client, const Platform::PollEntry& ready) ZC_REQUIRES(mutex_);

    const Options options_;
    Platform::Waker waker_;

    mutable Platform::Mutex mutex_;
    uint64_t lastId_ ZC_GUARDED_BY(mutex_) = 0;
    std::deque<Event> history_ ZC_GUARDED_BY(mutex_);
    std::size_t historyBytes_ ZC_GUARDED_BY(mutex_) = 0;  // of every kept event's text
    // The clients and their sockets: only the writer thread sends and receives on them, but
    // always with the mutex held, since Publish appends to their pending text.
    std::map<uint64_t, Client> clients_ ZC_GUARDED_BY(mutex_);
    uint64_t nextClient_ ZC_GUARDED_BY(mutex_) = 1;
    bool stopping_ ZC_GUARDED_BY(mutex_) = false;
    std::thread writer_;
};

}  // namespace Kolm::Host
