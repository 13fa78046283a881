#include "logging/event_tracing.h"

#include <cstring>

#include "platform/platform.h"

namespace Kolm::Tracing {
namespace {

constexpr Guid kProviderIds[EventTracing::kProviderCount] = {
    {0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
    {0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
    {0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
    {0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
};

// The events of the other providers are registered so sessions can select them; this program
// writes none of them.
constexpr EventDescriptor kFirstProviderEvents[] = {{100, 0, 0, 4, 0, 0, 0}};
constexpr EventDescriptor kThreadNameEvents[] = {{103, 0, 0, 14, 2, 0, 1}};
constexpr EventDescriptor kThirdProviderEvents[] = {{101, 0, 0, 4, 0, 0, 0}};
constexpr EventDescriptor kFourthProviderEvents[] = {{1, 0, 0, 4, 1, 0, 0}, {2, 0, 0, 4, 2, 0, 0}};

struct ProviderEvents {
    const EventDescriptor* events;
    std::size_t count;
};
constexpr ProviderEvents kProviderEvents[EventTracing::kProviderCount] = {
    {kFirstProviderEvents, 1},
    {kThreadNameEvents, 1},
    {kThirdProviderEvents, 1},
    {kFourthProviderEvents, 2},
};

bool EventSelected(const EventDescriptor& event, const ProviderState& state) {
    if (state.level != 0 && event.level > state.level) {
        return false;
    }
    if (event.keyword == 0) {
        return true;
    }
    return (event.keyword & state.matchAnyKeyword) != 0 &&
           (event.keyword & state.matchAllKeyword) == state.matchAllKeyword;
}

EntryPoints ResolveEntryPoints(Platform::DynamicLibrary library) {
    EntryPoints entryPoints;
    if (library == nullptr) {
        return entryPoints;
    }
    entryPoints.eventRegister = reinterpret_cast<EventRegisterFunction>(
        Platform::FindDynamicSymbol(library, "EventRegister"));
    entryPoints.eventWrite =
        reinterpret_cast<EventWriteFunction>(Platform::FindDynamicSymbol(library, "EventWrite"));
    entryPoints.eventUnregister = reinterpret_cast<EventUnregisterFunction>(
        Platform::FindDynamicSymbol(library, "EventUnregister"));
    return entryPoints;
}

// The tracing of the library's own process. The system library is freed only after the
// providers are unregistered (members are destroyed in reverse order).
class LibraryTracing {
  public:
    LibraryTracing()
        : library_{Platform::LoadDynamicLibrary("Advapi32.dll")},
          tracing_(ResolveEntryPoints(library_.handle)) {}

    const EventTracing& Tracing() const { return tracing_; }

  private:
    struct LibraryHandle {
        Platform::DynamicLibrary handle;
        ~LibraryHandle() { Platform::FreeDynamicLibrary(handle); }
    };

    LibraryHandle library_;
    EventTracing tracing_;
};

const LibraryTracing& LibraryTracingInstance() {
    static const LibraryTracing instance;
    return instance;
}

// Registers the providers while the library loads, before any plugin code runs.
[[maybe_unused]] const bool gTracingStarted = (LibraryTracingInstance(), true);

}  // namespace

void ApplyEnableChange(ProviderState& state,
                       std::uint32_t controlCode,
                       std::uint8_t level,
                       std::uint64_t matchAnyKeyword,
                       std::uint64_t matchAllKeyword) {
    if (controlCode == 0) {
        state.enabled = false;
        state.level = 0;
        state.matchAnyKeyword = 0;
        state.matchAllKeyword = 0;
        state.eventEnabledBits = 0;
        return;
    }
    if (controlCode != 1) {
        return;
    }
    state.level = level;
    state.matchAnyKeyword = matchAnyKeyword;
    state.matchAllKeyword = matchAllKeyword;
    state.enabled = true;
    state.eventEnabledBits = 0;
    for (std::size_t i = 0; i < state.eventCount; ++i) {
        if (EventSelected(state.events[i], state)) {
            state.eventEnabledBits |= 1u << i;
        }
    }
}

const EventDescriptor& ThreadNameEvent() {
    return kThreadNameEvents[0];
}

void WriteThreadName(EventWriteFunction eventWrite,
                     std::uint64_t providerHandle,
                     const EventDescriptor& descriptor,
                     std::uint32_t threadId,
                     const char* name) {
    if (eventWrite == nullptr) {
        return;
    }
    const char* text = name != nullptr ? name : "NULL";
    EventDataDescriptor data[2];
    data[0].pointer = reinterpret_cast<std::uintptr_t>(&threadId);
    data[0].size = sizeof(threadId);
    data[0].reserved = 0;
    data[1].pointer = reinterpret_cast<std::uintptr_t>(text);
    data[1].size = static_cast<std::uint32_t>(std::strlen(text) + 1);
    data[1].reserved = 0;
    eventWrite(providerHandle, &descriptor, 2, data);
}

EventTracing::EventTracing(const EntryPoints& entryPoints) {
    frequency_ = Platform::PerformanceFrequency();
    if (!entryPoints.Complete()) {
        return;
    }
    entryPoints_ = entryPoints;
    active_ = true;
    for (std::size_t i = 0; i < kProviderCount; ++i) {
        ProviderState& provider = providers_[i];
        provider.id = &kProviderIds[i];
        provider.events = kProviderEvents[i].events;
        provider.eventCount = kProviderEvents[i].count;
        entryPoints_.eventRegister(provider.id, OnEnableChange, &provider, &provider.handle);
    }
    const ProviderState& threads = providers_[kThreadNameProvider];
    if (threads.IsEventEnabled(0)) {
        WriteThreadName(entryPoints_.eventWrite, threads.handle, ThreadNameEvent(),
                        Platform::CurrentThreadId(), "Main thread");
    }
}

EventTracing::~EventTracing() {
    if (!active_) {
        return;
    }
    for (std::size_t i = kProviderCount; i-- > 0;) {
        entryPoints_.eventUnregister(providers_[i].handle);
    }
}

void ZC_TRACING_CALL EventTracing::OnEnableChange(const Guid* /*sourceId*/,
                                                  std::uint32_t controlCode,
                                                  std::uint8_t level,
                                                  std::uint64_t matchAnyKeyword,
                                                  std::uint64_t matchAllKeyword,
                                                  void* /*filterData*/,
                                                  void* context) {
    if (context != nullptr) {
        ApplyEnableChange(*static_cast<ProviderState*>(context), controlCode, level,
                          matchAnyKeyword, matchAllKeyword);
    }
}

const EventTracing& ProcessTracing() {
    return LibraryTracingInstance().Tracing();
}

}  // namespace Kolm::Tracing
