// The process-wide libyaml binding is made once even when the first parses race each other.
// Its own executable, so that no earlier test has loaded the library already.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "formats/yaml.h"
#include "formats/yaml_library.h"

namespace Kolm {
namespace {

TEST(YamlLibraryThreads, FirstParsesOnManyThreadsShareOneBinding) {
    constexpr int kThreads = 8;
    std::atomic<bool> start{false};
    std::atomic<int> parsed{0};
    std::vector<const YamlLibrary*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            while (!start.load()) {
                std::this_thread::yield();
            }
            BindingResult result = ParseYaml("id: " + std::to_string(i) + "\nlist: [a, b]\n");
            if (result.Succeeded() && result.value.Find("id").GetUnsigned(99) == unsigned(i)) {
                parsed.fetch_add(1);
            }
            seen[i] = &YamlLibrary::Instance();
        });
    }
    start.store(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(parsed.load(), kThreads);
    for (const YamlLibrary* library : seen) {
        EXPECT_EQ(library, seen[0]);
    }
}

}  // namespace
}  // namespace Kolm
