// The plugin lifecycle as the host drives it: a small plugin on the framework, loaded through
// an entry like the library's own and driven by the recording host.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/testing/test_host.h"
#include "logging/logger.h"
#include "platform/framework_allocator.h"
#include "platform/platform.h"
#include "plugin/plugin_base.h"

namespace Kolm::Client {
namespace {

// What the next test plugin does in Start, and what it saw.
struct Script {
    bool startResult = true;
    std::vector<std::string> subscribeOnStart;
    std::vector<std::string> unsubscribeOnStart;
    int starts = 0;
    int destroyed = 0;
    std::string userAgent;
    std::uint32_t clientWord = 0;
};
Script gScript;

class TestPlugin : public PluginBase {
  public:
    ~TestPlugin() override { ++gScript.destroyed; }
    bool Start() override {
        ++gScript.starts;
        gScript.userAgent = UserAgent();
        gScript.clientWord = ClientWord();
        for (const std::string& uri : gScript.subscribeOnStart) {
            Subscribe(uri);
        }
        for (const std::string& uri : gScript.unsubscribeOnStart) {
            Unsubscribe(uri);
        }
        return gScript.startResult;
    }
};

void ZC_HOST_CALL TestEntry(PluginLoadRecord* record) {
    LoadPlugin<TestPlugin>(record, "zun-clubs", kBackendPluginType);
}

void Collect(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

// The host calls about resource events, leaving out the three service-proxy events every plugin
// subscribes at Init.
std::vector<Host::RecordedSubscription> ResourceSubscriptions(
    const std::vector<Host::RecordedSubscription>& all) {
    std::vector<Host::RecordedSubscription> resources;
    for (const Host::RecordedSubscription& subscription : all) {
        if (subscription.kind == HOST_EVENT_KIND_RESOURCE) {
            resources.push_back(subscription);
        }
    }
    return resources;
}

std::vector<Host::RecordedUnsubscription> ResourceUnsubscriptions(const Host::RecordingHost& host) {
    std::vector<Host::RecordedUnsubscription> resources;
    for (const Host::RecordedUnsubscription& unsubscription : host.Unsubscriptions()) {
        if (unsubscription.name.rfind("OnServiceProxy", 0) != 0) {
            resources.push_back(unsubscription);
        }
    }
    return resources;
}

class PluginLifecycleTest : public ::testing::Test {
  protected:
    void SetUp() override { gScript = Script(); }
    Host::TestHost host_{TestEntry};
};

TEST_F(PluginLifecycleTest, AcceptsHostsOfPluginApi18AndAnswersWithItsOwnVersion) {
    const std::uint32_t versions[][3] = {{18, 0, 0}, {18, 0, 7}, {18, 3, 0}};
    for (const auto& version : versions) {
        ASSERT_TRUE(host_.Load(version[0], version[1], version[2]))
            << version[0] << "." << version[1] << "." << version[2];
        // Copies: the record is packed, and its fields may not be bound to references.
        const PluginLoadRecord record = host_.LoadRecord();
        EXPECT_EQ(std::uint32_t{record.versionMajor}, 18u);
        EXPECT_EQ(std::uint32_t{record.versionMinor}, 0u);
        EXPECT_EQ(std::uint32_t{record.versionPatch}, 0u);
        EXPECT_STREQ(static_cast<const char*>(record.shortName), "zun-clubs");
        const PluginCallbacks callbacks = *record.callbacks;
        EXPECT_TRUE(callbacks.Init != nullptr);
        EXPECT_TRUE(callbacks.Shutdown != nullptr);
        EXPECT_TRUE(callbacks.GetMemoryStats != nullptr);
        host_.Shutdown();
    }
    EXPECT_EQ(gScript.destroyed, 3);
}

TEST_F(PluginLifecycleTest, RefusesOtherMajorVersionsWithTheAssertionReport) {
    Logger& logger = Logger::AddReference();
    std::vector<std::string> lines;
    logger.StdErrTarget().RedirectOutput(Collect, &lines);
    logger.DetachTarget(logger.DebuggerConsoleTarget());
    char thread[32];
    std::snprintf(
        thread, sizeof(thread), "%p",
        reinterpret_cast<void*>(static_cast<std::uintptr_t>(Platform::CurrentThreadId())));
    const std::string prefix = logger.ExecutableName() + "(" + thread + "):  ERROR| ";

    const std::uint32_t versions[][3] = {{17, 9, 9}, {19, 0, 0}};
    for (const auto& version : versions) {
        PluginLoadRecord initial{};
        initial.versionMajor = version[0];
        initial.versionMinor = version[1];
        initial.versionPatch = version[2];
        initial.callbacks = reinterpret_cast<const PluginCallbacks*>(0x1111);
        initial.instance = reinterpret_cast<void*>(0x2222);
        initial.shortName = "left alone";
        initial.apiDescription = reinterpret_cast<const HostApiDescription*>(0x4444);
        EXPECT_FALSE(host_.Load(initial));
        const PluginLoadRecord record = host_.LoadRecord();
        EXPECT_TRUE(record.callbacks == initial.callbacks);
        EXPECT_TRUE(record.instance == initial.instance);
        EXPECT_STREQ(static_cast<const char*>(record.shortName), "left alone");
        EXPECT_TRUE(record.apiDescription == initial.apiDescription);
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  prefix + "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: "
                           "zun-clubs which supports plugin API 18.0.0 is not compatible with "
                           "core's plugin API 17.9.9\n",
                  prefix + "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: "
                           "zun-clubs which supports plugin API 18.0.0 is not compatible with "
                           "core's plugin API 19.0.0\n"}));
    EXPECT_EQ(gScript.destroyed, 2);
    Logger::ReleaseReference();
}

TEST_F(PluginLifecycleTest, InitRoutesLoggingToTheHostAndBuildsTheUserAgent) {
    ASSERT_TRUE(host_.Load(18, 2, 0));
    ASSERT_TRUE(host_.Init());
    EXPECT_EQ(gScript.starts, 1);
    EXPECT_EQ(gScript.userAgent, "KolmClient/18.2.0 (zun-clubs)");
    EXPECT_EQ(gScript.clientWord, host_.Host().ClientWord());

    Log(kLogOkay, kLogGroupGen, "zun-clubs: %s", "enabled");
    Log(kLogError, kLogGroupXtr, "never seen");
    EXPECT_EQ(host_.Host().LogLines(),
              (std::vector<Host::RecordedLogLine>{{kLogOkay, "zun-clubs: enabled"}}));
    ASSERT_NE(Logger::Current(), nullptr);
    EXPECT_FALSE(Logger::Current()->StdErrTarget().IsAttached());
}

TEST_F(PluginLifecycleTest, StartResultIsInitsResult) {
    gScript.startResult = false;
    ASSERT_TRUE(host_.Load());
    EXPECT_FALSE(host_.Init());
    EXPECT_EQ(gScript.starts, 1);
}

TEST_F(PluginLifecycleTest, SecondInitIsRefusedWithoutStartingAgain) {
    ASSERT_TRUE(host_.Load());
    ASSERT_TRUE(host_.Init());
    EXPECT_FALSE(host_.Init());
    EXPECT_EQ(gScript.starts, 1);
    const std::vector<Host::RecordedLogLine> lines = host_.Host().LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, kLogError);
    EXPECT_EQ(lines[0].line, "zun-clubs: Init called a second time; ignored");
}

TEST_F(PluginLifecycleTest, InitWithoutHostContextFails) {
    ASSERT_TRUE(host_.Load());
    const PluginLoadRecord& record = host_.LoadRecord();
    EXPECT_EQ(record.callbacks->Init(record.instance, nullptr), 0);
    const HostContext empty{nullptr, 7};
    EXPECT_EQ(record.callbacks->Init(record.instance, &empty), 0);
    EXPECT_EQ(gScript.starts, 0);
    EXPECT_TRUE(host_.Init());  // a proper Init afterwards still works
}

TEST_F(PluginLifecycleTest, ShutdownAfterThreeSubscribesUnsubscribesOnce) {
    gScript.subscribeOnStart = {"/zun-clubs/v1/clubs/membership", "/zun-clubs/v1/clubs/membership",
                                "/zun-clubs/v1/clubs/membership"};
    ASSERT_TRUE(host_.Load());
    ASSERT_TRUE(host_.Init());
    const std::vector<Host::RecordedSubscription> subscriptions =
        ResourceSubscriptions(host_.Host().Subscriptions());
    ASSERT_EQ(subscriptions.size(), 1u);
    EXPECT_EQ(subscriptions[0].name, "OnJsonApiEvent_zun-clubs_v1_clubs");
    EXPECT_EQ(subscriptions[0].clientWord, host_.Host().ClientWord());
    EXPECT_EQ(subscriptions[0].kind, static_cast<std::uint32_t>(HOST_EVENT_KIND_RESOURCE));
    EXPECT_TRUE(subscriptions[0].userData == host_.LoadRecord().instance);

    host_.Shutdown();
    EXPECT_EQ(ResourceUnsubscriptions(host_.Host()),
              (std::vector<Host::RecordedUnsubscription>{
                  {"OnJsonApiEvent_zun-clubs_v1_clubs", host_.Host().ClientWord()}}));
    EXPECT_TRUE(host_.Host().ActiveSubscriptions().empty());  // service-proxy events too
    EXPECT_EQ(gScript.destroyed, 1);
}

TEST_F(PluginLifecycleTest, UnsubscribeDropsTheHostSubscriptionOnlyAtZero) {
    gScript.subscribeOnStart = {"/zun-login/v1/session", "/zun-login/v1/session",
                                "/zun-clubs/v1/clubs/view"};
    gScript.unsubscribeOnStart = {"/zun-login/v1/session", "/zun-clubs/v1/clubs/view",
                                  "/never/subscribed/at/all"};
    ASSERT_TRUE(host_.Load());
    ASSERT_TRUE(host_.Init());
    EXPECT_EQ(ResourceUnsubscriptions(host_.Host()),
              (std::vector<Host::RecordedUnsubscription>{
                  {"OnJsonApiEvent_zun-clubs_v1_clubs", host_.Host().ClientWord()}}));
    const std::vector<Host::RecordedSubscription> active =
        ResourceSubscriptions(host_.Host().ActiveSubscriptions());
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0].name, "OnJsonApiEvent_zun-login_v1_session");
}

TEST_F(PluginLifecycleTest, ShutdownOfANeverStartedPluginCallsNoHostOperation) {
    ASSERT_TRUE(host_.Load());
    host_.Shutdown();
    EXPECT_EQ(gScript.destroyed, 1);
    EXPECT_TRUE(host_.Host().Unsubscriptions().empty());
    EXPECT_TRUE(host_.Host().LogLines().empty());
}

TEST_F(PluginLifecycleTest, SeveralInstancesRunOneAfterAnotherInOneProcess) {
    for (int round = 0; round < 3; ++round) {
        Host::TestHost host(TestEntry, 100 + round);
        ASSERT_TRUE(host.Load());
        ASSERT_TRUE(host.Init());
        Log(kLogWarn, kLogGroupDbg, "round %d", round);
        EXPECT_EQ(
            host.Host().LogLines(),
            (std::vector<Host::RecordedLogLine>{{kLogWarn, "round " + std::to_string(round)}}));
        host.Shutdown();
        EXPECT_EQ(Logger::Current(), nullptr);  // the last reference went with the plugin
    }
    EXPECT_EQ(gScript.starts, 3);
    EXPECT_EQ(gScript.destroyed, 3);
}

TEST_F(PluginLifecycleTest, OverlongLogLineReachesTheHostCut) {
    ASSERT_TRUE(host_.Load());
    ASSERT_TRUE(host_.Init());
    const std::string huge(5000, 'q');
    Log(kLogError, kLogGroupDbg, "%s", huge.c_str());
    const std::vector<Host::RecordedLogLine> lines = host_.Host().LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].line, std::string(4095, 'q'));
}

TEST_F(PluginLifecycleTest, NullLoadRecordIsIgnored) {
    TestEntry(nullptr);
    EXPECT_EQ(gScript.destroyed, 0);
}

TEST_F(PluginLifecycleTest, EventsOfSubscribedNamesReachTheResourceDispatcher) {
    gScript.subscribeOnStart = {"/zun-login/v1/session"};
    ASSERT_TRUE(host_.Load());
    ASSERT_TRUE(host_.Init());
    auto* plugin = static_cast<PluginBase*>(host_.LoadRecord().instance);
    std::vector<std::string> seen;
    plugin->SetResourceDispatcher(std::make_shared<HostEventHandler>(
        [&seen](const HostEventDelivery& event) { seen.push_back(event.eventName); }));
    HostValue payload{};
    EXPECT_EQ(host_.Host().DeliverEvent("OnJsonApiEvent_zun-login_v1_session", payload), 1);
    EXPECT_EQ(host_.Host().DeliverEvent("OnJsonApiEvent_zun-other_v1_x", payload), 0);
    EXPECT_EQ(seen, std::vector<std::string>{"OnJsonApiEvent_zun-login_v1_session"});
}

std::uint64_t Counter(const PluginMemoryStatsRecord& stats, int index) {
    return stats.words[2 * index] | (std::uint64_t{stats.words[2 * index + 1]} << 32);
}

TEST_F(PluginLifecycleTest, MemoryStatsAreConsistentAndNeverDecrease) {
    ASSERT_TRUE(host_.Load());
    const PluginMemoryStatsRecord first = host_.MemoryStats();
    void* block = FrameworkAlloc(1000);
    const PluginMemoryStatsRecord second = host_.MemoryStats();
    FrameworkFree(block);
    const PluginMemoryStatsRecord third = host_.MemoryStats();
    for (const PluginMemoryStatsRecord* stats : {&first, &second, &third}) {
        EXPECT_EQ(std::uint32_t{stats->words[12]}, 0u);
        EXPECT_EQ(std::uint32_t{stats->words[13]}, 0u);
        EXPECT_GE(Counter(*stats, 0), Counter(*stats, 2) - Counter(*stats, 4));
        EXPECT_GT(Counter(*stats, 3), 0u);  // the plugin itself lives on the framework heap
    }
    for (int counter = 0; counter < 6; ++counter) {
        EXPECT_LE(Counter(first, counter), Counter(second, counter)) << counter;
        EXPECT_LE(Counter(second, counter), Counter(third, counter)) << counter;
    }
    EXPECT_GE(Counter(second, 2) - Counter(first, 2), 1000u);
    EXPECT_EQ(Counter(second, 3), Counter(first, 3) + 1);
    EXPECT_EQ(Counter(third, 5), Counter(second, 5) + 1);

    const PluginLoadRecord& record = host_.LoadRecord();
    record.callbacks->GetMemoryStats(record.instance, nullptr);  // must not write anywhere
}

}  // namespace
}  // namespace Kolm::Client
