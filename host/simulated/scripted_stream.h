// ScriptedStream: a streamed answer body that a simulated plugin hands out, read step by step
// as a test scripts it (short reads, more-data flags, failures), recording how it was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mutex.h"
#include "plugin/host_boundary.h"

namespace Kolm::Host {

class ScriptedStream {
  public:
    // One call of the read callback. A step larger than the reader's buffer is split over as
    // many calls as it takes, the flag of the step going out with its last bytes.
    struct Step {
        std::string bytes;
        bool more = true;    // the more-data flag after these bytes
        bool fails = false;  // the call returns 0 (and reads nothing)
    };

    explicit ScriptedStream(std::vector<Step> steps, uint64_t announcedSize = 0);
    // `text` in steps of `chunk` bytes, the last one ending the stream; announces its length.
    static std::shared_ptr<ScriptedStream> OfText(const std::string& text,
                                                  std::size_t chunk = 4096);

    uint64_t AnnouncedSize() const { return announcedSize_; }
    std::size_t ReadCalls() const;
    // The byte count each read call was given going in.
    std::vector<uint32_t> BufferSizes() const;
    bool Released() const;

    // The C callbacks of a HostResponse stream. The context is made by NewContext and destroyed
    // by Release, which marks the stream released.
    static void* NewContext(std::shared_ptr<ScriptedStream> stream);
    static uint8_t ZC_HOST_CALL Read(void* context,
                                     uint8_t* buffer,
                                     uint32_t* count,
                                     uint8_t* more);
    static void ZC_HOST_CALL Release(void* context);

  private:
    bool ReadStep(uint8_t* buffer, uint32_t* count, uint8_t* more);

    mutable Platform::Mutex mutex_;
    std::vector<Step> steps_ ZC_GUARDED_BY(mutex_);
    std::size_t next_ ZC_GUARDED_BY(mutex_) = 0;
    uint64_t announcedSize_;
    std::vector<uint32_t> bufferSizes_ ZC_GUARDED_BY(mutex_);
    bool released_ ZC_GUARDED_BY(mutex_) = false;
};

}  // namespace Kolm::Host
