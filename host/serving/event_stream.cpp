#include "host/serving/event_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/boundary/owned_host_value.h"

namespace Kolm::Host {
namespace {

constexpr const char* kPlainEventName = "OnJsonApiEvent";
constexpr std::size_t kKeptBufferCapacity = 64 * 1024;
constexpr std::size_t kReplayNoteBytes = 160;  // room for the note on a shortened replay

// The payload's "uri" member, when it is a structure with one.
std::string PayloadUri(const HostValue& payload) {
    if (payload.kind != HOST_VALUE_KIND_STRUCTURE || payload.payload.structure.entries == nullptr) {
        return {};
    }
    for (uint32_t i = 0; i < payload.payload.structure.count; ++i) {
        const HostValueEntry& entry = payload.payload.structure.entries[i];
        if (entry.key == nullptr || std::strcmp(entry.key, "uri") != 0) {
            continue;
        }
        const HostValue& value = entry.value;
        if ((value.kind == HOST_VALUE_KIND_STRING ||
             value.kind == HOST_VALUE_KIND_BORROWED_STRING) &&
            value.payload.string.text != nullptr) {
            return value.payload.string.text;
        }
    }
    return {};
}

}  // namespace

EventStream::Filter EventStream::Filter::FromQuery(std::string_view query) {
    Filter filter;
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
    } else if (!uriPrefix.empty() && eventName != kPlainEventName) {
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

EventStream::EventStream(HostEventBus& bus, Options options) : bus_(bus), options_(options) {
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_.Reset(ends[0]);
        wakeWrite_.Reset(ends[1]);
    }
    writer_ = std::thread([this] { WriterLoop(); });
    listener_ = bus_.Listen(
        "", [this](std::string_view name, const HostValue& payload) { OnEvent(name, payload); });
}

EventStream::~EventStream() {
    bus_.StopListening(listener_);
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    Wake();
    writer_.join();
}

HttpResponse EventStream::Open(const HttpRequest& request) {
    {
        std::lock_guard guard(mutex_);
        if (clients_.size() >= options_.maxClients) {
            return HttpResponse::Error(503, "too many event stream clients");
        }
    }
    Filter filter = Filter::FromQuery(request.Query());
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
    response.takeOver = [this, filter = std::move(filter), lastSeen](UniqueFd socket,
                                                                     std::string head) mutable {
        AddClient(std::move(socket), std::move(head), std::move(filter), lastSeen);
    };
    return response;
}

void EventStream::AddClient(UniqueFd socket, std::string head, Filter filter, uint64_t lastSeen) {
    fcntl(socket.Get(), F_SETFL, fcntl(socket.Get(), F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard guard(mutex_);
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
    Wake();
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

void EventStream::OnEvent(std::string_view name, const HostValue& payload) {
    Publish(name, HostValueToJson(payload), PayloadUri(payload));
}

void EventStream::Publish(std::string_view name, std::string_view json, std::string_view uri) {
    {
        std::lock_guard guard(mutex_);
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
    Wake();
}

std::size_t EventStream::ClientCount() const {
    std::lock_guard guard(mutex_);
    return clients_.size();
}

uint64_t EventStream::LastEventId() const {
    std::lock_guard guard(mutex_);
    return lastId_;
}

std::size_t EventStream::KeptEvents() const {
    std::lock_guard guard(mutex_);
    return history_.size();
}

std::size_t EventStream::KeptBytes() const {
    std::lock_guard guard(mutex_);
    return historyBytes_;
}

void EventStream::Wake() {
    if (wakeWrite_.Valid()) {
        (void)!write(wakeWrite_.Get(), "x", 1);
    }
}

void EventStream::Flush(Client& client) {
    while (!client.pending.empty() && !client.closing) {
        const ssize_t sent = send(client.socket.Get(), client.pending.data(), client.pending.size(),
                                  MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                client.closing = true;
            }
            return;
        }
        client.pending.erase(0, static_cast<std::size_t>(sent));
    }
    if (client.pending.empty() && client.pending.capacity() > kKeptBufferCapacity) {
        std::string().swap(client.pending);  // a burst does not stay allocated per client
    }
}

void EventStream::WriterLoop() {
    auto lastKeepAlive = std::chrono::steady_clock::now();
    for (;;) {
        std::vector<pollfd> entries{{wakeRead_.Get(), POLLIN, 0}};
        std::vector<uint64_t> ids{0};
        {
            std::lock_guard guard(mutex_);
            if (stopping_) {
                return;
            }
            for (auto it = clients_.begin(); it != clients_.end();) {
                if (it->second.closing) {
                    it = clients_.erase(it);
                    continue;
                }
                const short events =
                    static_cast<short>(POLLIN | (it->second.pending.empty() ? 0 : POLLOUT));
                entries.push_back({it->second.socket.Get(), events, 0});
                ids.push_back(it->first);
                ++it;
            }
        }
        poll(entries.data(), entries.size(), 1000);
        char scratch[512];
        while (read(wakeRead_.Get(), scratch, sizeof(scratch)) > 0) {
        }
        const auto now = std::chrono::steady_clock::now();
        const bool keepAlive = now - lastKeepAlive >= options_.keepAlive;
        if (keepAlive) {
            lastKeepAlive = now;
        }
        std::lock_guard guard(mutex_);
        for (std::size_t i = 1; i < entries.size(); ++i) {
            const auto found = clients_.find(ids[i]);
            if (found == clients_.end()) {
                continue;
            }
            Client& client = found->second;
            if ((entries[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                client.closing = true;
                continue;
            }
            if ((entries[i].revents & POLLIN) != 0) {
                // A stream client sends nothing after its request: end of input means it left.
                const ssize_t got =
                    recv(client.socket.Get(), scratch, sizeof(scratch), MSG_DONTWAIT);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                    client.closing = true;
                    continue;
                }
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

}  // namespace Kolm::Host
