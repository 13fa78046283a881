#include "logging/event_tracing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace Kolm::Tracing {
namespace {

// A stand-in for the system's tracing API: records registrations, writes and unregistrations,
// and enables every provider it registers when a session is "running".
struct FakeSystem {
    bool sessionRunning = false;
    std::uint8_t sessionLevel = 0;
    std::uint64_t matchAny = ~0ull;
    std::vector<std::uint32_t> registered;  // data1 of each provider GUID
    std::vector<std::uint64_t> unregistered;
    std::vector<std::uint16_t> writtenIds;
    std::vector<std::uint32_t> writtenThreads;
    std::vector<std::string> writtenNames;
};
FakeSystem* gSystem = nullptr;

std::uint32_t ZC_TRACING_CALL FakeRegister(const Guid* id,
                                           EnableCallback callback,
                                           void* context,
                                           std::uint64_t* handle) {
    gSystem->registered.push_back(id->data1);
    *handle = 1000 + gSystem->registered.size();
    if (gSystem->sessionRunning) {
        callback(id, 1, gSystem->sessionLevel, gSystem->matchAny, 0, nullptr, context);
    }
    return 0;
}

std::uint32_t ZC_TRACING_CALL FakeWrite(std::uint64_t,
                                        const EventDescriptor* descriptor,
                                        std::uint32_t count,
                                        EventDataDescriptor* data) {
    gSystem->writtenIds.push_back(descriptor->id);
    EXPECT_EQ(count, 2u);
    std::uint32_t thread = 0;
    std::memcpy(&thread,
                reinterpret_cast<const void*>(static_cast<std::uintptr_t>(data[0].pointer)),
                sizeof(thread));
    gSystem->writtenThreads.push_back(thread);
    gSystem->writtenNames.emplace_back(
        reinterpret_cast<const char*>(static_cast<std::uintptr_t>(data[1].pointer)));
    return 0;
}

std::uint32_t ZC_TRACING_CALL FakeUnregister(std::uint64_t handle) {
    gSystem->unregistered.push_back(handle);
    return 0;
}

class EventTracingTest : public ::testing::Test {
  protected:
    void SetUp() override { gSystem = &system_; }
    void TearDown() override { gSystem = nullptr; }
    EntryPoints Fake() const { return {FakeRegister, FakeWrite, FakeUnregister}; }

    FakeSystem system_;
};

TEST_F(EventTracingTest, RegistersFourProvidersInOrderAndUnregistersInReverse) {
    {
        EventTracing tracing(Fake());
        EXPECT_TRUE(tracing.IsActive());
        EXPECT_EQ(system_.registered,
                  (std::vector<std::uint32_t>{0x2F9EFE86, 0xEA08C559, 0x10F6728C, 0x46DD7F96}));
        EXPECT_EQ(tracing.Provider(3).eventCount, 2u);
    }
    EXPECT_EQ(system_.unregistered, (std::vector<std::uint64_t>{1004, 1003, 1002, 1001}));
}

TEST_F(EventTracingTest, WithoutASessionTheThreadNameEventIsNotWritten) {
    EventTracing tracing(Fake());
    EXPECT_FALSE(tracing.Provider(EventTracing::kThreadNameProvider).enabled);
    EXPECT_TRUE(system_.writtenIds.empty());
}

TEST_F(EventTracingTest, EnabledSessionNamesTheLoadingThread) {
    system_.sessionRunning = true;
    EventTracing tracing(Fake());
    EXPECT_EQ(system_.writtenIds, std::vector<std::uint16_t>{103});
    EXPECT_EQ(system_.writtenThreads, std::vector<std::uint32_t>{Platform::CurrentThreadId()});
    EXPECT_EQ(system_.writtenNames, std::vector<std::string>{"Main thread"});
}

TEST_F(EventTracingTest, SessionBelowTheEventLevelLeavesItOff) {
    system_.sessionRunning = true;
    system_.sessionLevel = 4;  // the thread-name event has level 14
    EventTracing tracing(Fake());
    EXPECT_TRUE(tracing.Provider(EventTracing::kThreadNameProvider).enabled);
    EXPECT_TRUE(system_.writtenIds.empty());
}

TEST_F(EventTracingTest, MissingEntryPointsLeaveTracingOff) {
    EventTracing tracing(EntryPoints{FakeRegister, nullptr, FakeUnregister});
    EXPECT_FALSE(tracing.IsActive());
    EXPECT_TRUE(system_.registered.empty());
}

TEST(EventTracingProcessTest, StaysOffWhereTheSystemLibraryIsMissing) {
#if !defined(_WIN32)
    EXPECT_FALSE(ProcessTracing().IsActive());
#endif
    EXPECT_GT(ProcessTracing().CounterFrequency(), 0);
}

TEST(EnableChangeTest, SelectsEventsByLevelAndKeywords) {
    const EventDescriptor events[] = {{1, 0, 0, 4, 0, 0, 0}, {2, 0, 0, 14, 0, 0, 0x5}};
    ProviderState state;
    state.events = events;
    state.eventCount = 2;

    ApplyEnableChange(state, 1, 5, 0x1, 0);
    EXPECT_TRUE(state.IsEventEnabled(0));
    EXPECT_FALSE(state.IsEventEnabled(1));  // level 14 above the session's 5

    ApplyEnableChange(state, 1, 0, 0x4, 0x5);
    EXPECT_TRUE(state.IsEventEnabled(1));  // level 0 takes all; keywords 0x5 contain 0x5
    ApplyEnableChange(state, 1, 0, 0x4, 0x7);
    EXPECT_FALSE(state.IsEventEnabled(1));  // match-all asks for a bit the event lacks
    ApplyEnableChange(state, 1, 0, 0x2, 0);
    EXPECT_FALSE(state.IsEventEnabled(1));  // no keyword in common

    ApplyEnableChange(state, 0, 9, 9, 9);
    EXPECT_FALSE(state.enabled);
    EXPECT_EQ(state.level, 0);
    EXPECT_EQ(state.eventEnabledBits, 0u);
}

}  // namespace
}  // namespace Kolm::Tracing
