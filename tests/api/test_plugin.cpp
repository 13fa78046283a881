// A plugin library of its own for the API tests: a PluginBase whose RegisterApi registers the
// test endpoints, exported as load_api_test_plugin.
#include "plugin/host_boundary.h"
#include "plugin/plugin_base.h"
#include "tests/api/test_endpoints.h"

namespace {

class ApiTestPlugin final : public Kolm::Client::PluginBase {
  public:
    void RegisterApi() override { Kolm::ApiTest::RegisterTestApi(GetApiRegistry(), &handlers_); }
    bool Start() override { return true; }

  private:
    Kolm::ApiTest::TestHandlers handlers_;
};

}  // namespace

#if defined(_WIN32)
#define ZC_TEST_PLUGIN_EXPORT __declspec(dllexport)
#else
#define ZC_TEST_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZC_TEST_PLUGIN_EXPORT void ZC_HOST_CALL load_api_test_plugin(PluginLoadRecord* record) {
    Kolm::Client::LoadPlugin<ApiTestPlugin>(record, "api-test", "backend");
}
