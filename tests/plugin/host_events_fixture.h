// The fixture of the tests that reach resource events, remote calls and service-proxy events
// through the real entry: the events test plugin's own library, driven by a TestHost whose
// remote calls the simulated plugins answer and whose events travel over a HostEventBus.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/simulated/host_event_bus.h"
#include "host/boundary/owned_host_value.h"
#include "host/boundary/plugin_library.h"
#include "host/simulated/simulated_plugins.h"
#include "host/testing/test_host.h"

namespace Kolm::Host {

// The data member of a resource event payload as JSON ("null" when there is none).
std::string EventData(const HostValue& payload);

class HostEventsFixture : public ::testing::Test {
  protected:
    static constexpr const char* kResultsEvent = "OnJsonApiEvent_zun-events-test_v1_results";
    static constexpr const char* kObservedEvent = "OnJsonApiEvent_zun-events-test_v1_observed";

    void SetUp() override;
    void TearDown() override;

    // Sends one command to the plugin (an Update of its driver resource) and returns the
    // results it published while running it, as JSON of their data.
    std::vector<std::string> Command(const std::string& json);
    // The one result of a command.
    std::string Result(const std::string& json);
    // Observed events published so far (data as JSON), and forgets them.
    std::vector<std::string> TakeObserved();

    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<TestHost> host;
    HostEventBus bus;
    SimulatedPlugins plugins{bus};
    std::shared_ptr<SimulatedPlugin> driver;

  private:
    std::mutex mutex_;
    std::vector<std::string> results_;
    std::vector<std::string> observed_;
};

}  // namespace Kolm::Host
