// Reading a streamed answer of another plugin: the body arrives in chunks through the answer's
// read callback, and while more is coming the calling host thread yields to the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/host_boundary.h"

namespace Kolm::Client {

class PluginConnection;

// Bytes asked for per read call.
inline constexpr std::uint32_t kStreamChunkSize = HOST_STREAM_CHUNK_SIZE;
// The most that an announced stream size makes the reader reserve up front; a larger stream
// still reads whole, growing as its bytes arrive.
inline constexpr std::size_t kStreamMaxReservation = 16u * 1024u * 1024u;
// The label of the wait bracket around each yield.
inline constexpr const char* kStreamYieldLabel = HOST_STREAM_YIELD_LABEL;

// Reads the stream of `answer` whole into `text`. A short read with more to come is followed by
// one yield ("Wait: yield" bracket, then HostYield). Returns false with `error` set to "Stream
// read error" when the read callback fails or reports more bytes than it was given room for.
// Whatever the outcome the stream is released once and detached from `answer`, so that the
// answer's own release callback does not release it again.
bool ReadAnswerStream(PluginConnection& connection,
                      HostResponse& answer,
                      std::string& text,
                      std::string& error);

}  // namespace Kolm::Client
