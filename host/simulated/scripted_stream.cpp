#include "host/simulated/scripted_stream.h"

#include <algorithm>
#include <cstring>

namespace Kolm::Host {

ScriptedStream::ScriptedStream(std::vector<Step> steps, uint64_t announcedSize)
    : steps_(std::move(steps)), announcedSize_(announcedSize) {}

std::shared_ptr<ScriptedStream> ScriptedStream::OfText(const std::string& text, std::size_t chunk) {
    std::vector<Step> steps;
    for (std::size_t offset = 0; offset < text.size(); offset += chunk) {
        steps.push_back(Step{text.substr(offset, chunk), true, false});
    }
    if (steps.empty()) {
        steps.push_back(Step{});
    }
    steps.back().more = false;
    return std::make_shared<ScriptedStream>(std::move(steps), text.size());
}

std::size_t ScriptedStream::ReadCalls() const {
    const Platform::MutexLock lock(mutex_);
    return bufferSizes_.size();
}

std::vector<uint32_t> ScriptedStream::BufferSizes() const {
    const Platform::MutexLock lock(mutex_);
    return bufferSizes_;
}

bool ScriptedStream::Released() const {
    const Platform::MutexLock lock(mutex_);
    return released_;
}

bool ScriptedStream::ReadStep(uint8_t* buffer, uint32_t* count, uint8_t* more) {
    const Platform::MutexLock lock(mutex_);
    bufferSizes_.push_back(*count);
    if (next_ >= steps_.size()) {
        *count = 0;
        *more = 0;
        return true;
    }
    Step& step = steps_[next_];
    if (step.fails) {
        ++next_;
        *count = 0;
        return false;
    }
    std::size_t taken = std::min<std::size_t>(step.bytes.size(), *count);
    if (taken > 0) {
        std::memcpy(buffer, step.bytes.data(), taken);
    }
    step.bytes.erase(0, taken);
    *count = static_cast<uint32_t>(taken);
    if (step.bytes.empty()) {
        *more = step.more ? 1 : 0;
        ++next_;
    } else {
        *more = 1;
    }
    return true;
}

namespace {

struct StreamContext {
    std::shared_ptr<ScriptedStream> stream;
};

}  // namespace

void* ScriptedStream::NewContext(std::shared_ptr<ScriptedStream> stream) {
    return new StreamContext{std::move(stream)};
}

uint8_t ZC_HOST_CALL ScriptedStream::Read(void* context,
                                          uint8_t* buffer,
                                          uint32_t* count,
                                          uint8_t* more) {
    if (context == nullptr || count == nullptr || more == nullptr) {
        return 0;
    }
    return static_cast<StreamContext*>(context)->stream->ReadStep(buffer, count, more) ? 1 : 0;
}

void ZC_HOST_CALL ScriptedStream::Release(void* context) {
    auto* owned = static_cast<StreamContext*>(context);
    if (owned == nullptr) {
        return;
    }
    {
        const Platform::MutexLock lock(owned->stream->mutex_);
        owned->stream->released_ = true;
    }
    delete owned;
}

}  // namespace Kolm::Host
