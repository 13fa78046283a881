// EventStream in-process: what its history keeps and what a replaying client is sent, in bytes,
// read from the client's end of a socket pair.
#include "host/serving/http/event_stream.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace Kolm::Host {
namespace {

constexpr std::size_t kEventBytes = 10 * 1024;

struct StreamClient {
    UniqueSocket socket;  // the client's end

    // Everything the stream sent until `needle` arrived (or the stream went quiet for seconds,
    // which only a broken stream does).
    std::string ReadUntil(const std::string& needle) {
        std::string text;
        char buffer[65536];
        while (text.find(needle) == std::string::npos) {
            pollfd entry{socket.Get(), POLLIN, 0};
            if (poll(&entry, 1, 10000) <= 0) {
                break;
            }
            const ssize_t got = read(socket.Get(), buffer, sizeof(buffer));
            if (got <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }
};

StreamClient Open(EventStream& stream, const std::string& target) {
    int ends[2] = {-1, -1};
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    HttpRequest request;
    request.method = "GET";
    request.target = target;
    HttpResponse response = stream.Open(request);
    EXPECT_TRUE(static_cast<bool>(response.takeOver));
    if (response.takeOver) {
        response.takeOver(UniqueSocket(ends[0]), "HTTP/1.1 200 OK\r\n\r\n");
    } else {
        close(ends[0]);
    }
    return StreamClient{UniqueSocket(ends[1])};
}

// The ids of the events in a stream's text, in order.
std::vector<uint64_t> EventIds(const std::string& text) {
    std::vector<uint64_t> ids;
    const std::string lines = "\n" + text;  // a read may begin with an event
    for (std::size_t at = lines.find("\nid: "); at != std::string::npos;
         at = lines.find("\nid: ", at + 1)) {
        ids.push_back(std::stoull(lines.substr(at + 5)));
    }
    return ids;
}

void PublishEvents(EventStream& stream, int count, std::size_t bytes) {
    const std::string json = "\"" + std::string(bytes, 'x') + "\"";
    for (int i = 0; i < count; ++i) {
        stream.Publish("OnSoak", json, "/soak");
    }
}

std::vector<uint64_t> Range(uint64_t first, uint64_t last) {
    std::vector<uint64_t> ids;
    for (uint64_t id = first; id <= last; ++id) {
        ids.push_back(id);
    }
    return ids;
}

TEST(EventStreamMemory, HistoryKeepsOnlyTheNewestEventsThatFitItsByteBudget) {
    EventStream::Options options;
    options.historyBytes = 64 * 1024;
    options.maxBufferedBytes = 1024 * 1024;
    EventStream stream(options);
    PublishEvents(stream, 100, kEventBytes);

    EXPECT_LE(stream.KeptBytes(), options.historyBytes);
    EXPECT_EQ(stream.KeptEvents(), 6u);  // six events of a little over 10 kB fit in 64 kB
    StreamClient client = Open(stream, "/events?lastEventId=1");
    const std::string text = client.ReadUntil("id: 100\n");
    EXPECT_EQ(EventIds(text), Range(95, 100));
}

TEST(EventStreamMemory, AnEventLargerThanAKeptEventIsStreamedLiveButNotReplayed) {
    EventStream::Options options;
    options.maxKeptEventBytes = 32 * 1024;
    EventStream stream(options);
    StreamClient live = Open(stream, "/events");
    live.ReadUntil("last event id 0\n");
    PublishEvents(stream, 1, kEventBytes);
    PublishEvents(stream, 1, 100 * 1024);
    PublishEvents(stream, 1, kEventBytes);

    EXPECT_EQ(EventIds(live.ReadUntil("id: 3\n")), Range(1, 3));
    EXPECT_EQ(stream.KeptEvents(), 2u);
    StreamClient replaying = Open(stream, "/events?lastEventId=1");
    EXPECT_EQ(EventIds(replaying.ReadUntil("id: 3\n")), std::vector<uint64_t>{3});
}

TEST(EventStreamMemory, AReplayHoldsOnlyTheNewestEventsThatFitTheClientsBuffer) {
    EventStream::Options options;
    options.maxBufferedBytes = 64 * 1024;
    EventStream stream(options);
    PublishEvents(stream, 100, kEventBytes);
    ASSERT_EQ(stream.KeptEvents(), 100u);

    StreamClient client = Open(stream, "/events?lastEventId=10");
    const std::string text = client.ReadUntil("id: 100\n");
    const std::vector<uint64_t> ids = EventIds(text);
    // Six events of a little over 10 kB fit with the head in 64 kB, the newest ones; the client
    // sees the gap after 10 and is told where the replay starts.
    EXPECT_EQ(ids, Range(95, 100));
    EXPECT_NE(text.find(": older events left out of the replay to stay within 65536 bytes; it "
                        "starts at id 95\n"),
              std::string::npos)
        << text.substr(0, 300);
}

TEST(EventStreamMemory, AReplayThatFitsIsWholeAndHasNoNote) {
    EventStream stream;
    PublishEvents(stream, 20, kEventBytes);
    StreamClient client = Open(stream, "/events?lastEventId=5");
    const std::string text = client.ReadUntil("id: 20\n");
    EXPECT_EQ(EventIds(text), Range(6, 20));
    EXPECT_EQ(text.find("left out"), std::string::npos);
}

}  // namespace
TEST(EventStreamFilter, AUriFilterTakesOnlyThePlainCopyUnlessNamesAreGiven) {
    const EventStream::Filter uri =
        EventStream::Filter::FromQuery("uri=%2Fzun-clubs%2F", "OnJsonApiEvent");
    EXPECT_TRUE(uri.Matches("OnJsonApiEvent", "/zun-clubs/v1/clubs"));
    EXPECT_FALSE(uri.Matches("OnJsonApiEvent_zun-clubs_v1_clubs", "/zun-clubs/v1/clubs"));
    EXPECT_FALSE(uri.Matches("OnJsonApiEvent", "/zun-login/v1/session"));
    const EventStream::Filter named = EventStream::Filter::FromQuery(
        "event=OnJsonApiEvent_zun-clubs_v1_clubs&event=Other&uri=/zun-clubs/v1/clubs/view",
        "OnJsonApiEvent");
    EXPECT_TRUE(named.Matches("OnJsonApiEvent_zun-clubs_v1_clubs", "/zun-clubs/v1/clubs/view"));
    EXPECT_FALSE(named.Matches("OnJsonApiEvent", "/zun-clubs/v1/clubs/view"));
    EXPECT_FALSE(named.Matches("Other", "/zun-clubs/v1/clubs/membership"));
    EXPECT_TRUE(EventStream::Filter{}.Matches("Anything", ""));
    // Without a plain name, every event under the uri prefix passes.
    const EventStream::Filter unnamed = EventStream::Filter::FromQuery("uri=/a/");
    EXPECT_TRUE(unnamed.Matches("OnJsonApiEvent_a", "/a/b"));
    EXPECT_FALSE(unnamed.Matches("OnJsonApiEvent_a", "/b"));
    EXPECT_EQ(EventStream::FormatEvent(7, "E", "{\"a\":1}"),
              "id: 7\nevent: E\ndata: {\"a\":1}\n\n");
}

}  // namespace Kolm::Host
