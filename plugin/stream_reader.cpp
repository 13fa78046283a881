#include "plugin/stream_reader.h"

#include <algorithm>

#include "plugin/plugin_connection.h"

namespace Kolm::Client {

namespace {

constexpr const char* kStreamReadError = "Stream read error";

void YieldToHost(PluginConnection& connection) {
    connection.BeginWait(kStreamYieldLabel, 0);
    connection.HostYield();
    connection.EndWait();
}

bool ReadChunks(PluginConnection& connection, const HostResponse& answer, std::string& text) {
    uint8_t buffer[kStreamChunkSize];
    for (;;) {
        uint32_t count = kStreamChunkSize;
        uint8_t more = 1;
        if (!answer.streamRead(answer.streamContext, buffer, &count, &more) ||
            count > kStreamChunkSize) {
            return false;
        }
        text.append(reinterpret_cast<const char*>(buffer), count);
        if (!more) {
            return true;
        }
        if (count < kStreamChunkSize) {
            YieldToHost(connection);
        }
    }
}

}  // namespace

bool ReadAnswerStream(PluginConnection& connection,
                      HostResponse& answer,
                      std::string& text,
                      std::string& error) {
    // A host may announce any size; only what actually arrives is kept.
    const uint64_t announced = answer.streamSize;  // packed: copied, never bound to a reference
    if (announced > 15) {
        text.reserve(
            static_cast<std::size_t>(std::min<uint64_t>(announced, kStreamMaxReservation)));
    }
    bool read = answer.streamRead != nullptr && ReadChunks(connection, answer, text);
    if (!read) {
        error = kStreamReadError;
    }
    if (answer.streamRelease != nullptr) {
        answer.streamRelease(answer.streamContext);
    }
    answer.streamRead = nullptr;
    answer.streamRelease = nullptr;
    answer.streamContext = nullptr;
    return read;
}

}  // namespace Kolm::Client
