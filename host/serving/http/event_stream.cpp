#include "host/serving/http/event_stream.h"

namespace Kolm::Host {
namespace {

constexpr std::size_t kKeptBufferCapacity = 64 * 1024;
constexpr std::size_t kReplayNoteBytes = 160;  // room for the note on a shortened replay

}  // namespace

EventStream::Filter EventStream::Filter::FromQuery(std::string_view query,
                                                   std::string plainEventName) {
    Filter filter;
    filter.plainEventName = std::move(plainEventName);
    for (auto& [key, value] : ParseQuery(query)) {
        if (key == "event" && !value.empty()) {
            filter.eventNames.push_back(std::move(value));
        } else if (key == "uri") {
            filter.uriPrefix = std::move(value);
        }
    }
    return filter;
}

bool EventStream::Filter::Matches(std::string_view eventName, std::string_view uri) const {
    if (!eventNames.empty()) {
        bool named = false;
        for (const std::string& name : eventNames) {
            named = named || name == eventName;
        }
        if (!named) {
            return false;
        }
    } else if (!uriPrefix.empty() && !plainEventName.empty() && eventName != plainEventName) {
        return false;
    }
    return uriPrefix.empty() || uri.substr(0, uriPrefix.size()) == uriPrefix;
}

std::string EventStream::FormatEvent(uint64_t id, std::string_view name, std::string_view json) {
    std::string text = "id: " + std::to_string(id) + "\nevent: ";
    text += name;
    text += "\ndata: ";
    text += json;
    text += "\n\n";
    return text;
}

EventStream::EventStream(Options options) : options_(std::move(options)) {
    writer_ = std::thread([this] { WriterLoop(); });
}

EventStream::~EventStream() {
    {
        Platform::MutexLock lock(mutex_);
        stopping_ = true;
    }
    waker_.Wake();
    writer_.join();
}

HttpResponse EventStream::Open(const HttpRequest& request) {
    {
        Platform::MutexLock lock(mutex_);
        if (clients_.size() >= options_.maxClients) {
            return HttpResponse::Error(503, "too many event stream clients");
        }
    }
    Filter filter = Filter::FromQuery(request.Query(), options_.plainEventName);
    uint64_t lastSeen = 0;
    if (const auto header = request.Header("Last-Event-ID")) {
        lastSeen = ParseDecimal(*header).value_or(0);
    }
    for (const auto& [key, value] : ParseQuery(request.Query())) {
        if (key == "lastEventId") {
            lastSeen = ParseDecimal(value).value_or(0);
        }
    }
    HttpResponse response;
    response.contentType = "text/event-stream";
    response.headers = {{"Cache-Control", "no-cache"}, {"X-Accel-Buffering", "no"}};
    response.takeOver = [this, filter = std::move(filter), lastSeen](UniqueSocket socket,
                                                                     std::string head) mutable {
        AddClient(std::move(socket), std::move(head), std::move(filter), lastSeen);
    };
    return response;
}

void EventStream::AddClient(UniqueSocket socket,
                            std::string head,
                            Filter filter,
                            uint64_t lastSeen) {
    Platform::SetNonBlocking(socket.Get());
    {
        Platform::MutexLock lock(mutex_);
        if (clients_.size() >= options_.maxClients || stopping_) {
            return;  // several streams were opened at once past the limit
        }
        Client client;
        client.socket = std::move(socket);
        client.filter = std::move(filter);
        client.pending = head + "retry: 2000\n: zun-clubs-host event stream, last event id " +
                         std::to_string(lastId_) + "\n\n";
        if (lastSeen > 0) {
            AppendReplay(client, lastSeen);
        }
        clients_.emplace(nextClient_++, std::move(client));
    }
    waker_.Wake();
}

void EventStream::AppendReplay(Client& client, uint64_t lastSeen) const {
    // The newest matching events that fit in the client's buffer with the note, found from the
    // newest back.
    std::size_t bytes = client.pending.size() + kReplayNoteBytes;
    auto first = history_.end();
    bool leftOut = false;
    for (auto it = history_.end(); it != history_.begin();) {
        --it;
        if (it->id <= lastSeen) {
            break;
        }
        if (!client.filter.Matches(it->name, it->uri)) {
            continue;
        }
        if (bytes + it->text.size() > options_.maxBufferedBytes) {
            leftOut = true;
            break;
        }
        bytes += it->text.size();
        first = it;
    }
    if (leftOut) {
        const std::string from =
            first == history_.end() ? std::to_string(lastId_ + 1) : std::to_string(first->id);
        client.pending += ": older events left out of the replay to stay within " +
                          std::to_string(options_.maxBufferedBytes) + " bytes; it starts at id " +
                          from + "\n\n";
    }
    for (auto it = first; it != history_.end(); ++it) {
        if (client.filter.Matches(it->name, it->uri)) {
            client.pending += it->text;
        }
    }
}

void EventStream::Publish(std::string_view name, std::string_view json, std::string_view uri) {
    {
        Platform::MutexLock lock(mutex_);
        Event event{++lastId_, std::string(name), std::string(uri), {}};
        event.text = FormatEvent(event.id, name, json);
        for (auto& [id, client] : clients_) {
            if (client.closing || !client.filter.Matches(name, uri)) {
                continue;
            }
            if (client.pending.size() + event.text.size() > options_.maxBufferedBytes) {
                client.closing = true;  // too far behind: let it reconnect with its last id
                continue;
            }
            client.pending += event.text;
        }
        if (event.text.size() <= options_.maxKeptEventBytes) {
            historyBytes_ += event.text.size();
            history_.push_back(std::move(event));
        }
        while (!history_.empty() &&
               (history_.size() > options_.historySize || historyBytes_ > options_.historyBytes)) {
            historyBytes_ -= history_.front().text.size();
            history_.pop_front();
        }
    }
    waker_.Wake();
}

std::size_t EventStream::ClientCount() const {
    Platform::MutexLock lock(mutex_);
    return clients_.size();
}

uint64_t EventStream::LastEventId() const {
    Platform::MutexLock lock(mutex_);
    return lastId_;
}

std::size_t EventStream::KeptEvents() const {
    Platform::MutexLock lock(mutex_);
    return history_.size();
}

std::size_t EventStream::KeptBytes() const {
    Platform::MutexLock lock(mutex_);
    return historyBytes_;
}

void EventStream::Flush(Client& client) {
    while (!client.pending.empty() && !client.closing) {
        const Platform::IoResult sent =
            Platform::SendSome(client.socket.Get(), client.pending.data(), client.pending.size());
        if (sent.kind != Platform::IoResult::Kind::Done) {
            if (sent.kind == Platform::IoResult::Kind::Closed) {
                client.closing = true;
            }
            return;
        }
        client.pending.erase(0, sent.count);
    }
    if (client.pending.empty() && client.pending.capacity() > kKeptBufferCapacity) {
        std::string().swap(client.pending);  // a burst does not stay allocated per client
    }
}

void EventStream::WriterLoop() {
    auto lastKeepAlive = std::chrono::steady_clock::now();
    for (;;) {
        std::vector<Platform::PollEntry> entries(1);
        entries[0].socket = waker_.ReadEnd();
        entries[0].wantRead = true;
        std::vector<uint64_t> ids{0};
        {
            Platform::MutexLock lock(mutex_);
            if (stopping_) {
                return;
            }
            for (auto it = clients_.begin(); it != clients_.end();) {
                if (it->second.closing) {
                    it = clients_.erase(it);
                    continue;
                }
                Platform::PollEntry& entry = entries.emplace_back();
                entry.socket = it->second.socket.Get();
                entry.wantRead = true;
                entry.wantWrite = !it->second.pending.empty();
                ids.push_back(it->first);
                ++it;
            }
        }
        Platform::PollSockets(entries, 1000);
        waker_.Drain();
        const auto now = std::chrono::steady_clock::now();
        const bool keepAlive = now - lastKeepAlive >= options_.keepAlive;
        if (keepAlive) {
            lastKeepAlive = now;
        }
        Platform::MutexLock lock(mutex_);
        for (std::size_t i = 1; i < entries.size(); ++i) {
            const auto found = clients_.find(ids[i]);
            if (found != clients_.end()) {
                CheckInput(found->second, entries[i]);
            }
        }
        for (auto& [id, client] : clients_) {
            if (keepAlive && client.pending.empty()) {
                client.pending = ": keep-alive\n\n";
            }
            Flush(client);
        }
    }
}

void EventStream::CheckInput(Client& client, const Platform::PollEntry& ready) {
    if (ready.failed || ready.hungUp) {
        client.closing = true;
        return;
    }
    if (ready.readable) {
        // A stream client sends nothing after its request: end of input means it left.
        char scratch[512];
        const Platform::IoResult got =
            Platform::ReceiveSome(client.socket.Get(), scratch, sizeof(scratch));
        if (got.kind == Platform::IoResult::Kind::Closed) {
            client.closing = true;
        }
    }
}

}  // namespace Kolm::Host
