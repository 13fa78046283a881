// The process-wide libyaml binding is made once, on the first parse, even when the first parses
// race each other. Its own executable, so that nothing has loaded the library before the test.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "formats/yaml.h"
#include "formats/yaml_library.h"

namespace Kolm {
namespace {

// libyaml's parse function as the process has it loaded; null while the library is not loaded.
// Looking it up does not load the library.
void* LoadedParseFunction() {
#if defined(_WIN32)
    HMODULE module = GetModuleHandleA(YamlLibrary::DefaultFileName());
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, "yaml_parser_parse"))
                             : nullptr;
#else
    void* handle = dlopen(YamlLibrary::DefaultFileName(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return nullptr;
    }
    void* function = dlsym(handle, "yaml_parser_parse");
    dlclose(handle);  // only the reference RTLD_NOLOAD added
    return function;
#endif
}

TEST(YamlLibraryThreads, TheFirstParsesOnManyThreadsLoadOneBinding) {
    ASSERT_EQ(LoadedParseFunction(), nullptr) << "libyaml was loaded before the first parse";

    constexpr int kThreads = 8;
    constexpr int kParsesPerThread = 20;
    std::atomic<bool> start{false};
    std::atomic<int> parsed{0};
    std::vector<const YamlLibrary*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            while (!start.load()) {
                std::this_thread::yield();
            }
            // Every thread asks for the binding while the others may be making it.
            seen[i] = &YamlLibrary::Instance();
            for (int n = 0; n < kParsesPerThread; ++n) {
                BindingResult result = ParseYaml("id: " + std::to_string(i) + "\nlist: [a, b]\n");
                if (result.Succeeded() && result.value.Find("id").GetUnsigned(99) == unsigned(i)) {
                    parsed.fetch_add(1);
                }
            }
        });
    }
    start.store(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(parsed.load(), kThreads * kParsesPerThread);
    for (const YamlLibrary* library : seen) {
        EXPECT_EQ(library, seen[0]);
    }
    // The one binding is to the library the process now has loaded.
    ASSERT_NE(LoadedParseFunction(), nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(seen[0]->parserParse), LoadedParseFunction());
}

}  // namespace
}  // namespace Kolm
