// Event tracing: the framework's four tracing providers, registered at library start through
// entry points resolved at run time from "Advapi32.dll", and the thread-name event. Where the
// library or an entry point is missing, tracing stays off and every write does nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Kolm::Tracing {

#if defined(_WIN32) && !defined(_WIN64)
#define ZC_TRACING_CALL __stdcall
#else
#define ZC_TRACING_CALL
#endif

// The system's records, laid out as the tracing API expects them.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

struct EventDescriptor {
    std::uint16_t id;
    std::uint8_t version;
    std::uint8_t channel;
    std::uint8_t level;
    std::uint8_t opcode;
    std::uint16_t task;
    std::uint64_t keyword;
};
static_assert(sizeof(EventDescriptor) == 16, "matches the system's event descriptor");

struct EventDataDescriptor {
    std::uint64_t pointer;
    std::uint32_t size;
    std::uint32_t reserved;
};

using EnableCallback = void(ZC_TRACING_CALL*)(const Guid* sourceId,
                                              std::uint32_t controlCode,
                                              std::uint8_t level,
                                              std::uint64_t matchAnyKeyword,
                                              std::uint64_t matchAllKeyword,
                                              void* filterData,
                                              void* context);
using EventRegisterFunction = std::uint32_t(ZC_TRACING_CALL*)(const Guid* providerId,
                                                              EnableCallback callback,
                                                              void* context,
                                                              std::uint64_t* handle);
using EventWriteFunction = std::uint32_t(ZC_TRACING_CALL*)(std::uint64_t handle,
                                                           const EventDescriptor* descriptor,
                                                           std::uint32_t dataCount,
                                                           EventDataDescriptor* data);
using EventUnregisterFunction = std::uint32_t(ZC_TRACING_CALL*)(std::uint64_t handle);

struct EntryPoints {
    EventRegisterFunction eventRegister = nullptr;
    EventWriteFunction eventWrite = nullptr;
    EventUnregisterFunction eventUnregister = nullptr;

    bool Complete() const { return eventRegister && eventWrite && eventUnregister; }
};

// One provider's enable state, as its enable callback keeps it.
struct ProviderState {
    const Guid* id = nullptr;
    const EventDescriptor* events = nullptr;
    std::size_t eventCount = 0;
    std::uint64_t handle = 0;
    bool enabled = false;
    std::uint8_t level = 0;
    std::uint64_t matchAnyKeyword = 0;
    std::uint64_t matchAllKeyword = 0;
    std::uint32_t eventEnabledBits = 0;  // bit i: events[i] is enabled

    bool IsEventEnabled(std::size_t index) const {
        return index < eventCount && (eventEnabledBits & (1u << index)) != 0;
    }
};

// Applies what the system tells a provider's enable callback: control code 0 disables
// everything, 1 enables the events the session's level and keywords select; others are ignored.
void ApplyEnableChange(ProviderState& state,
                       std::uint32_t controlCode,
                       std::uint8_t level,
                       std::uint64_t matchAnyKeyword,
                       std::uint64_t matchAllKeyword);

// The thread-name event: id 103, version 0, channel 0, level 14, opcode 2, task 0, keyword 1.
const EventDescriptor& ThreadNameEvent();

// Writes the thread-name event (thread id, then the name or "NULL") when `eventWrite` is there.
void WriteThreadName(EventWriteFunction eventWrite,
                     std::uint64_t providerHandle,
                     const EventDescriptor& descriptor,
                     std::uint32_t threadId,
                     const char* name);

// The registered providers of one set of entry points. Construction registers the four
// providers in order and names the calling thread "Main thread" when the thread-name event is
// enabled; destruction unregisters them, last registered first. Incomplete entry points leave
// tracing off.
class EventTracing {
  public:
    static constexpr std::size_t kProviderCount = 4;
    static constexpr std::size_t kThreadNameProvider = 1;

    explicit EventTracing(const EntryPoints& entryPoints);
    ~EventTracing();
    EventTracing(const EventTracing&) = delete;
    EventTracing& operator=(const EventTracing&) = delete;

    bool IsActive() const { return active_; }
    const ProviderState& Provider(std::size_t index) const { return providers_[index]; }
    std::int64_t CounterFrequency() const { return frequency_; }

  private:
    static void ZC_TRACING_CALL OnEnableChange(const Guid* sourceId,
                                               std::uint32_t controlCode,
                                               std::uint8_t level,
                                               std::uint64_t matchAnyKeyword,
                                               std::uint64_t matchAllKeyword,
                                               void* filterData,
                                               void* context);

    EntryPoints entryPoints_;
    std::array<ProviderState, kProviderCount> providers_{};
    std::int64_t frequency_ = 0;
    bool active_ = false;
};

// The process's tracing, set up by a static initialiser of the library; never null.
const EventTracing& ProcessTracing();

}  // namespace Kolm::Tracing
