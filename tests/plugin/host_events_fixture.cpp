#include "tests/plugin/host_events_fixture.h"

#include <cstring>

namespace Kolm::Host {

std::string EventData(const HostValue& payload) {
    if (payload.kind != HOST_VALUE_KIND_STRUCTURE) {
        return "null";
    }
    for (uint32_t i = 0; i < payload.payload.structure.count; ++i) {
        const HostValueEntry& entry = payload.payload.structure.entries[i];
        if (entry.key != nullptr && std::strcmp(entry.key, "data") == 0) {
            return HostValueToJson(entry.value);
        }
    }
    return "null";
}

void HostEventsFixture::SetUp() {
    std::string error;
    library = PluginLibrary::Open(ZC_EVENTS_TEST_PLUGIN, &error);
    ASSERT_NE(library, nullptr) << error;
    host = std::make_unique<TestHost>(library->Entry());
    RecordingHost& recording = host->Host();
    recording.AnswerRemotingRequests([this](HostResponse* response, const HostRequest* request) {
        plugins.Answer(*response, *request);
    });
    // What the plugin sends goes onto the bus like every other plugin's events, and the bus
    // hands every event to the plugin's subscriptions at the recording host.
    recording.ObserveEvents(
        [this](const HostEventRecord& event) { bus.Publish(event.eventName, event.payload); });
    bus.Listen("", [this](std::string_view name, const HostValue& payload) {
        host->Host().DeliverEvent(std::string(name), payload);
    });
    bus.Listen(kResultsEvent, [this](std::string_view, const HostValue& payload) {
        std::lock_guard guard(mutex_);
        results_.push_back(EventData(payload));
    });
    bus.Listen(kObservedEvent, [this](std::string_view, const HostValue& payload) {
        std::lock_guard guard(mutex_);
        observed_.push_back(EventData(payload));
    });
    driver = plugins.Add("/zun-events-driver");
    ASSERT_TRUE(host->Load());
    ASSERT_TRUE(host->Init());
}

void HostEventsFixture::TearDown() {
    if (host) {
        host->Shutdown();
    }
    EXPECT_EQ(SimulatedPlugins::OutstandingAnswers(), 0u) << "an answer was never released";
}

std::vector<std::string> HostEventsFixture::Command(const std::string& json) {
    {
        std::lock_guard guard(mutex_);
        results_.clear();
    }
    driver->Publish(ResourceEventType::Update, "/zun-events-driver/v1/commands",
                    OwnedHostValue::Json(json));
    std::lock_guard guard(mutex_);
    return results_;
}

std::string HostEventsFixture::Result(const std::string& json) {
    std::vector<std::string> results = Command(json);
    EXPECT_EQ(results.size(), 1u) << json;
    return results.empty() ? "" : results.front();
}

std::vector<std::string> HostEventsFixture::TakeObserved() {
    std::lock_guard guard(mutex_);
    std::vector<std::string> taken;
    taken.swap(observed_);
    return taken;
}

}  // namespace Kolm::Host
